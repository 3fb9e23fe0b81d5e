# SPDX-License-Identifier: MIT
"""Capture logs (the log's "(seconds.fraction) channel frame" lines, Vector ASC, PEAK TRC) read
as NumPy columns, as a pandas DataFrame, or as python-can messages, and written back."""

import os
import types

import numpy as np

from ._cantext import (CAN_EFF_FLAG, CAN_EFF_MASK, CAN_ERR_FLAG, CAN_RTR_FLAG, CAN_SFF_MASK,
                       CANFD_BRS, CANFD_ESI, NO_TIME, Frame, _LogReader, _messages, _payloads,
                       _write_log)
from .log_filter import frame_filter, kept_rows

__all__ = ["Log", "LogFrame", "iter_messages", "read_log"]

# Rows handed to python-can at a time: the columns of a batch stay small next to the messages.
_MESSAGE_BATCH = 65536
# Messages made at a time (see iter_messages).
_OBJECT_BATCH = 256
# The fields of a can.Message, in the order iter_messages gives them.
_MESSAGE_FIELDS = ("timestamp", "arbitration_id", "is_extended_id", "is_remote_frame",
                   "is_error_frame", "channel", "dlc", "data", "is_fd", "is_rx", "bitrate_switch",
                   "error_state_indicator")


class LogFrame(Frame):
    """A frame of a Log (log[i]) with the row's time (int nanoseconds, NO_TIME where the first
    field is not a time), channel name and direction ("R", "T" or ""); equal to any Frame of the
    same contents."""

    def __repr__(self):
        return (f"LogFrame({Frame.__repr__(self)}, time={self.time}, channel={self.channel!r}, "
                f"direction={self.direction!r})")


# The suffixes that Log.write compresses by (the command's -o takes the same).
_COMPRESSED_SUFFIXES = (".gz", ".xz", ".zst")

# Log.to_pandas's direction: the codes of b"", b"R" and b"T", by the byte.
_DIRECTIONS = ["", "R", "T"]
_DIRECTION_CODES = np.zeros(256, dtype=np.int8)
_DIRECTION_CODES[ord("R")], _DIRECTION_CODES[ord("T")] = 1, 2


class Log:
    """A capture log as columns of equal length, one row per frame (see read_log).

    len(log) is its rows; log[i] is row i as a LogFrame; a slice, a boolean mask or an array
    of row numbers gives a Log of those rows; iterating gives each row's LogFrame."""

    __slots__ = ("time", "time_text", "channel", "channels", "can_id", "flags", "len", "fd",
                 "direction", "data", "bad_lines")
    _COLUMNS = ("time", "channel", "can_id", "flags", "len", "fd", "direction", "data")

    def __init__(self, batch):
        (self.time, self.channel, self.can_id, self.flags, self.len, self.fd, self.direction,
         self.data, odd_rows, _, odd_texts, self.bad_lines, channels) = batch
        self.channels = list(channels)
        self.time_text = None
        if odd_texts:
            self.time_text = np.full(len(self.time), None, dtype=object)
            self.time_text[odd_rows] = odd_texts

    def __len__(self):
        return len(self.time)

    def __repr__(self):
        return (f"<cantext.Log: {len(self)} frames on {self.channels!r}, "
                f"{len(self.bad_lines)} bad lines skipped>")

    def __getitem__(self, key):
        if isinstance(key, (int, np.integer)):
            return self._frame(int(key))
        rows = object.__new__(Log)
        for name in self._COLUMNS:
            setattr(rows, name, getattr(self, name)[key])
        rows.time_text = None if self.time_text is None else self.time_text[key]
        rows.channels, rows.bad_lines = list(self.channels), self.bad_lines
        return rows

    def __iter__(self):
        for i in range(len(self)):
            yield self._frame(i)

    def _frame(self, i):
        if not -len(self) <= i < len(self):
            raise IndexError(f"row {i} of a Log of {len(self)}")
        can_id, length = int(self.can_id[i]), int(self.len[i])
        remote = can_id & CAN_RTR_FLAG != 0
        frame = LogFrame(can_id=can_id, is_fd=bool(self.fd[i]), flags=int(self.flags[i]),
                         len=length if remote else None,
                         data=b"" if remote else self.data[i, :length].tobytes())
        frame.time = int(self.time[i])
        frame.channel = self.channels[self.channel[i]]
        frame.direction = self.direction[i].decode()
        return frame

    def channel_names(self):
        """The channel of every row as str (an object array)."""
        return np.array(self.channels, dtype=object)[self.channel]

    def select(self, ids=None, channels=None, errors_only=False, no_errors=False):
        """The rows that read_log with these arguments would have kept, as a Log: the same
        filter, applied to the columns with NumPy."""
        kept = frame_filter(ids, channels, errors_only, no_errors)
        return self[:] if kept is None else self[kept_rows(self, kept)]

    def write(self, path, format=None):
        """Write the rows to the file at path as a capture of format "log", "asc" or "trc"
        (by default the one its suffix names: .log, .asc or .trc), in C++ without the GIL.
        A path ending in .gz, .xz or .zst is written compressed with gzip, xz or zstd, as
        cantext convert -o does, the format then named by the suffix before (capture.asc.gz);
        where this build lacks that compression's library, ValueError says so.
        Times are written with 6 digits of fraction, 9 where a time has nanoseconds; the
        channel names as they are in the log format, as 1-based numbers in ASC and TRC ("can0"
        is 1, as python-can maps them).  A row whose time is NO_TIME is written with its
        time_text in the log format, and raises ValueError in the others (no file is left)."""
        if format is None:
            name, suffix = os.path.splitext(os.fspath(path))
            if suffix in _COMPRESSED_SUFFIXES:
                suffix = os.path.splitext(name)[1]
            format = suffix.lstrip(".").lower()
            if format not in ("log", "asc", "trc"):
                raise ValueError(f"no format given, and the suffix of {os.fspath(path)!r} names "
                                 "none of log, asc and trc")
        _write_log(self, path, format)

    def to_pandas(self, data="columns"):
        """The log as a pandas DataFrame (pandas is imported only now), one column per value,
        none of them a Python object per row but time_text and data="bytes":

        - time: datetime64[ns] (NaT where the first field is not a time; time_text then
          follows it, the field's text in those rows);
        - channel: categorical of the channel names;
        - id (uint32, without the flag bits; an error frame's classes), is_extended,
          is_remote, is_error, is_fd, brs, esi (bool), len (uint8);
        - direction: categorical of "", "R" and "T";
        - the data: data="columns" gives data0, data1, ... (uint8), as many as the longest
          frame has bytes (zero past len); data="bytes" one column data of bytes objects (len
          of them, none for a remote request); data=None none.
        """
        import pandas as pd

        can_id = self.can_id
        columns = {"time": self.time.view("datetime64[ns]")}
        if self.time_text is not None:
            columns["time_text"] = self.time_text
        extended = (can_id & CAN_EFF_FLAG) != 0
        columns.update(
            channel=pd.Categorical.from_codes(self.channel, self.channels),
            id=can_id & np.where(extended | ((can_id & CAN_ERR_FLAG) != 0),
                                 np.uint32(CAN_EFF_MASK), np.uint32(CAN_SFF_MASK)),
            is_extended=extended, is_remote=(can_id & CAN_RTR_FLAG) != 0,
            is_error=(can_id & CAN_ERR_FLAG) != 0, is_fd=self.fd,
            brs=(self.flags & CANFD_BRS) != 0, esi=(self.flags & CANFD_ESI) != 0, len=self.len,
            direction=pd.Categorical.from_codes(_DIRECTION_CODES[self.direction.view(np.uint8)],
                                                _DIRECTIONS))
        if data == "bytes":
            columns["data"] = _payloads(self)
        elif data == "columns":
            width = int(self.len.max()) if len(self) else 0
            columns.update((f"data{k}", self.data[:, k]) for k in range(width))
        elif data is not None:
            raise ValueError(f'data must be "columns", "bytes" or None, not {data!r}')
        return pd.DataFrame(columns, copy=False)

    def stats(self):
        """A pandas DataFrame of one row per channel and identifier, and per channel and error
        class of the error frames (each class an error frame has counts once), sorted by
        channel name, frames before error classes, standard before extended identifiers, then
        by identifier: channel, id (without the flag bits; an error row's class bit),
        is_extended, count, first and last (datetime64, of its first and last frame in the
        log's order), mean_period, min_period, max_period (timedelta64[ns] between its
        consecutive frames, the mean rounded down; NaT for one frame), lengths (the lengths
        seen, as "0,8"), errors (the class name of an error row, "" for frames).  Rows whose
        first field is not a time count, but have no place in the times."""
        from .log_stats import log_stats

        return log_stats(self)


def read_log(source, format=None, *, keep_going=False, ids=None, channels=None,
             errors_only=False, no_errors=False, timezone=None):
    """Read a whole capture log: the log's "(seconds.fraction) channel frame" lines (the frame
    in compact notation, "123#DEADBEEF", "123##1AABB", "123#R"; see cantext.parse), Vector ASC
    or PEAK TRC (versions 1.0 to 2.1).

    source is a path (str or path-like), a binary file object (read in blocks through its
    readinto, or read), or a bytes-like object holding the log.  format is "log", "asc" or
    "trc", or None for the format that the first 128 KiB show (an ASC or TRC header; else the
    log).  The reading runs in C++ without the GIL (a file object's calls take it), in blocks:
    the text is never held whole.  A log-format file or bytes of 4 MiB and more is read in
    parts split at line breaks, on a thread for each processor that no other work keeps busy
    (where there are two or more); the result is that of one reading.  ASC and TRC are read in
    one (their headers say how to read the lines after them).

    ids, channels, errors_only and no_errors keep only some frames, while reading, with the
    meaning of the commands' --id, --channel, --errors-only and --no-errors: ids is a str of
    comma-separated items or a list of them: "123" (3 hex digits: a standard identifier),
    "18FEF100" (8: an extended one), "7E0-7EF" (a range), "18FEF100:1FFFFF00" (an identifier
    and a mask, matching as the kernel's CAN filters do), "~100:700" (the identifiers that do
    not match); an int below 0x800 is a standard identifier, one up to 0x1FFFFFFF an extended
    one.  channels is a name or a list of names.  A frame is kept when it matches any of the
    ids, is on one of the channels, and is (errors_only) or is not (no_errors) an error frame.

    timezone is the zone of the wall-clock start time that ASC and TRC headers give without
    one, as the command's --timezone takes it: None for UTC, a name of the time zone database
    ("Europe/Berlin") or a POSIX rule ("CET-1CEST,M3.5.0,M10.5.0/3"); a name that is neither
    raises ValueError.  Each reading has its own zone (the process's TZ is left alone).

    Returns a Log, whose attributes are NumPy arrays of one row per frame, the same for every
    format (ASC and TRC channel N is "can{N-1}", their times made epoch times with the start
    their headers give, read in timezone):

    - time: int64, the first field "(seconds.fraction)" as exact nanoseconds.  Where the first
      field has another shape (no parentheses, no fraction, more than 9 fraction digits, a
      sign, beyond int64), time is NO_TIME (int64's least value, NaT as datetime64) and
      time_text holds the field's text; time_text is None when every first field is a time,
      else an object array with the text in those rows and None in the others.
    - channel: codes into the list channels of the names in the order they first appear
      (uint8, or uint16 / uint32 for more than 256 / 65536 names); channel_names() gives
      the names of every row.
    - can_id (uint32): the identifier with the CAN_*_FLAG bits, as Frame.can_id.
    - flags (uint8): the CAN FD flags (CANFD_BRS, CANFD_ESI, ...), 0 for a classic frame.
    - len (uint8): data bytes; for a remote request the requested length.
    - fd (bool): a CAN FD frame.
    - direction (S1): b"R" (received) or b"T" (transmitted) where the line says so (a log's
      fourth field, ASC's and TRC's Rx and Tx), b"" elsewhere.
    - data (uint8, n x 64): the data bytes, zero after len (and for a remote request).
    - bad_lines (int64): the numbers (1 for the first line) of the lines skipped with
      keep_going.

    len(log) is the number of rows; log.to_pandas() makes a pandas DataFrame.  Texts that are
    not UTF-8 are decoded with "surrogateescape", so that no byte is lost.  In the log format,
    other fourth fields, and any after, are ignored, blank lines (white space only) skipped; a
    line longer than 517 bytes is read in pieces of 518, each a line of its own with the line's
    number.  ASC and TRC lines that hold no frame (headers, comments, events, other buses) are
    passed over.

    A bad line (in a log, fewer than three fields, one that starts with a NUL byte among them,
    or a third that is not a frame; in ASC and TRC, a frame line that is wrong) raises
    ValueError naming its number, what is wrong and its text; with keep_going=True it is skipped
    and its number listed in bad_lines.  A path that cannot be opened or read raises OSError, a
    file object's exception passes through; nothing is returned then.  Ctrl-C while it reads a
    path raises KeyboardInterrupt (a regular file read in parts takes it once it is read).
    """
    if isinstance(format, bool):  # read_log(source, keep_going) before format came second
        format, keep_going = None, format
    kept = frame_filter(ids, channels, errors_only, no_errors)
    return Log(_LogReader(source, keep_going, format, kept, timezone).read())


def iter_messages(source, format=None, *, keep_going=False, ids=None, channels=None,
                  errors_only=False, no_errors=False, timezone=None):
    """Yield the frames of a capture log as python-can messages (can.Message; python-can is
    imported only now), as python-can's own reader of these logs gives them, for every line it
    reads correctly: timestamp (float seconds), channel (an int where the name is digits),
    arbitration_id, is_extended_id, is_remote_frame, is_error_frame, is_fd, bitrate_switch,
    error_state_indicator, dlc (the length in bytes, the requested one for a remote request),
    data (a bytearray), and is_rx (False where the direction field is "T").  Error frames are
    is_error_frame with their error classes as arbitration_id and their data; CAN FD flag
    digits A-F and "." separators are read.

    The arguments are as for read_log, which reads the log here too (every format), in batches of
    65536 lines: a bad line raises ValueError when its batch is reached, after the messages
    before that batch.  A first field that is not "(seconds.fraction)" gives the timestamp
    float() makes of the text within its parentheses; where float() cannot, the line is a bad
    one too (ValueError naming it, or skipped with keep_going).
    """
    import can

    make = _message_maker(can.Message)
    if isinstance(format, bool):  # iter_messages(source, keep_going) before format came second
        format, keep_going = None, format
    reader = _LogReader(source, keep_going, format,
                        frame_filter(ids, channels, errors_only, no_errors), timezone)
    channels = []
    while True:
        batch = reader.read(_MESSAGE_BATCH)
        log = Log(batch)
        if len(log) == 0:
            return
        channels.extend(_channel_value(name, reader.format)
                        for name in log.channels[len(channels):])
        odd_rows, odd_lines, odd_texts = batch[8:11]
        odd_times = {row: _seconds_of_text(text, line, keep_going)
                     for row, line, text in zip(odd_rows.tolist(), odd_lines.tolist(), odd_texts)}
        # A few hundred at a time: the interpreter's garbage collection looks at every object
        # alive when it runs, which made batches of 65536 messages four times as slow to make.
        for start in range(0, len(log), _OBJECT_BATCH):
            stop = min(start + _OBJECT_BATCH, len(log))
            messages = make(channels, log, start, stop)
            if odd_times:
                for row in range(start, stop):
                    if row in odd_times:
                        messages[row - start].timestamp = odd_times[row]
                messages = [m for m in messages if m.timestamp is not None]
            yield from messages


class _Fields:
    """The fields of a message, where can.Message cannot be made as iter_messages makes it."""

    __slots__ = _MESSAGE_FIELDS


def _message_maker(message):
    """What makes the messages of rows [start, stop) of a Log.  Where can.Message is a class of
    exactly the fields as slots, they are set directly, to the values its __init__ would set
    for them as keywords (data as a bytearray): that call alone would cost more than the rest
    of iter_messages together.  Any other can.Message is called with the fields as keywords."""
    if set(getattr(message, "__slots__", ())) - {"__weakref__"} == set(_MESSAGE_FIELDS):
        slots = tuple(vars(message).get(name) for name in _MESSAGE_FIELDS)
        if all(isinstance(slot, types.MemberDescriptorType) for slot in slots):
            return lambda channels, log, start, stop: _messages(message, slots, channels, log,
                                                                start, stop)
    slots = tuple(vars(_Fields)[name] for name in _MESSAGE_FIELDS)

    def by_keywords(channels, log, start, stop):
        return [message(**{name: getattr(fields, name) for name in _MESSAGE_FIELDS})
                for fields in _messages(_Fields, slots, channels, log, start, stop)]

    return by_keywords


def _seconds_of_text(text, line, keep_going):
    """The timestamp of a first field that is not "(seconds.fraction)"; None for a line to skip."""
    inner = text[1:-1] if text.startswith("(") and text.endswith(")") else text
    try:
        return float(inner)
    except ValueError:
        if keep_going:
            return None
        raise ValueError(f"line {line}: not a time in seconds: {text!r}") from None


def _channel_value(name, format):
    """The channel as python-can's reader of the format gives it: a log's name (an int where it
    is digits), ASC's channel number less one, TRC's bus number ("can0" is ASC's and TRC's 1)."""
    if format != "log" and name.startswith("can") and name[3:].isdecimal():
        return int(name[3:]) + (1 if format == "trc" else 0)
    return int(name) if name.isdecimal() else name
