# SPDX-License-Identifier: MIT
"""Capture logs ("(seconds.fraction) channel frame" lines) read as NumPy columns, as a pandas
DataFrame, or as python-can messages."""

import types

import numpy as np

from ._cantext import NO_TIME, _LogReader, _messages, _payloads

__all__ = ["Log", "iter_messages", "read_log"]

# Rows handed to python-can at a time: the columns of a batch stay small next to the messages.
_MESSAGE_BATCH = 65536
# Messages made at a time (see iter_messages).
_OBJECT_BATCH = 256
# The fields of a can.Message, in the order iter_messages gives them.
_MESSAGE_FIELDS = ("timestamp", "arbitration_id", "is_extended_id", "is_remote_frame",
                   "is_error_frame", "channel", "dlc", "data", "is_fd", "is_rx", "bitrate_switch",
                   "error_state_indicator")


class Log:
    """A capture log as columns of equal length, one row per frame (see read_log)."""

    __slots__ = ("time", "time_text", "channel", "channels", "can_id", "flags", "len", "fd",
                 "direction", "data", "bad_lines")

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

    def channel_names(self):
        """The channel of every row as str (an object array)."""
        return np.array(self.channels, dtype=object)[self.channel]

    def to_pandas(self):
        """The log as a pandas DataFrame (pandas is imported only now): time as datetime64[ns]
        (NaT where the first field is not a time; time_text then follows it), channel as a
        categorical of the names, can_id, flags, len, fd, direction as str ("R", "T" or ""),
        and data as the bytes of each frame (len of them, none for a remote request)."""
        import pandas as pd

        columns = {"time": self.time.view("datetime64[ns]")}
        if self.time_text is not None:
            columns["time_text"] = self.time_text
        columns["channel"] = pd.Categorical.from_codes(self.channel, self.channels)
        columns.update(can_id=self.can_id, flags=self.flags, len=self.len, fd=self.fd,
                       direction=self.direction.astype(str), data=_payloads(self))
        return pd.DataFrame(columns, copy=False)


def read_log(source, keep_going=False):
    """Read a whole capture log: one "(seconds.fraction) channel frame" line per frame, the frame
    in compact notation ("123#DEADBEEF", "123##1AABB", "123#R"; see cantext.parse).

    source is a path (str or path-like), a binary file object (read in blocks through its
    readinto, or read), or a bytes-like object holding the log.  The reading runs in C++ without
    the GIL (a file object's calls take it), in blocks: the text is never held whole.  A file
    or bytes of 4 MiB and more is read in parts split at line breaks, on a thread for each
    processor that no other work keeps busy (where there are two or more); the result is that
    of one reading.

    Returns a Log, whose attributes are NumPy arrays of one row per frame:

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
    - direction (S1): b"R" (received) or b"T" (transmitted) where a fourth field says so,
      b"" elsewhere.
    - data (uint8, n x 64): the data bytes, zero after len (and for a remote request).
    - bad_lines (int64): the numbers (1 for the first line) of the lines skipped with
      keep_going.

    len(log) is the number of rows; log.to_pandas() makes a pandas DataFrame.  Texts that are
    not UTF-8 are decoded with "surrogateescape", so that no byte is lost.  Other fourth
    fields, and any after, are ignored, blank lines (white space only) skipped; a line longer
    than 517 bytes is read in pieces of 518, each a line of its own with the line's number.

    A line with fewer than three fields (one that starts with a NUL byte among them), or whose
    third is not a frame, raises ValueError naming its number, what is wrong and its text; with
    keep_going=True it is skipped and its number listed in bad_lines.  A path that cannot be
    opened or read raises OSError, a file object's exception passes through; nothing is
    returned then.  Ctrl-C while it reads a path raises KeyboardInterrupt (a regular file read
    in parts takes it once it is read).
    """
    return Log(_LogReader(source, keep_going).read())


def iter_messages(source, keep_going=False):
    """Yield the frames of a capture log as python-can messages (can.Message; python-can is
    imported only now), as python-can's own reader of these logs gives them, for every line it
    reads correctly: timestamp (float seconds), channel (an int where the name is digits),
    arbitration_id, is_extended_id, is_remote_frame, is_error_frame, is_fd, bitrate_switch,
    error_state_indicator, dlc (the length in bytes, the requested one for a remote request),
    data (a bytearray), and is_rx (False where the direction field is "T").  Error frames are
    is_error_frame with their error classes as arbitration_id and their data; CAN FD flag
    digits A-F and "." separators are read.

    source and keep_going are as for read_log, which reads the log here too, in batches of
    65536 lines: a bad line raises ValueError when its batch is reached, after the messages
    before that batch.  A first field that is not "(seconds.fraction)" gives the timestamp
    float() makes of the text within its parentheses; where float() cannot, the line is a bad
    one too (ValueError naming it, or skipped with keep_going).
    """
    import can

    make = _message_maker(can.Message)
    reader = _LogReader(source, keep_going)
    channels = []
    while True:
        batch = reader.read(_MESSAGE_BATCH)
        log = Log(batch)
        if len(log) == 0:
            return
        channels.extend(_channel_value(name) for name in log.channels[len(channels):])
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


def _channel_value(name):
    # python-can's reader gives a channel of digits as an int.
    return int(name) if name.isdecimal() else name
