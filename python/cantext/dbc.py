# SPDX-License-Identifier: MIT
"""Signals of CAN frames, decoded with a DBC database: one frame at a time (decode_message,
encode_message) or a whole capture log at once into NumPy columns (decode_log)."""

import functools
import os

import numpy as np

from ._cantext import _load_dbc

__all__ = ["Database", "Message", "MessageColumns", "Signal", "load_file", "load_string"]


def load_file(path):
    """The database of a DBC file.  A file that cannot be read raises OSError; a bad database
    raises ValueError "PATH:LINE:COLUMN: what is wrong"."""
    with open(path, "rb") as f:
        text = f.read()
    return _database(text, os.fsdecode(path))


def load_string(text):
    """The database of a DBC file's text (str or bytes); ValueError as load_file, naming the
    text "<string>"."""
    if isinstance(text, str):
        text = text.encode("utf-8")
    return _database(bytes(text), "<string>")


def _database(text, name):
    db = Database(_load_dbc(text, name))
    db._source = (text, name)
    return db


@functools.lru_cache(maxsize=4)
def _unpickled(text, name):
    # A worker of a cluster receives the same database with every graph: parsed once.
    return _database(text, name)


class Signal:
    """A signal of a message: name, start (the start bit as the file writes it), length,
    byte_order ("little_endian" / "big_endian"), is_signed, is_float, scale, offset, minimum,
    maximum, unit, receivers, comment, choices (raw value -> name), is_multiplexer, multiplexer
    (the name of the signal that selects this one, or None) and multiplexer_ids (the values that
    select it)."""

    __slots__ = ("name", "start", "length", "byte_order", "is_signed", "is_float", "scale",
                 "offset", "minimum", "maximum", "unit", "receivers", "comment", "choices",
                 "is_multiplexer", "multiplexer", "multiplexer_ids", "_kind", "_integer")

    def __init__(self, d):
        for name in ("name", "start", "length", "byte_order", "scale", "offset", "minimum",
                     "maximum", "unit", "receivers", "comment", "choices", "is_multiplexer",
                     "multiplexer"):
            setattr(self, name, d[name])
        self._kind = d["kind"]
        self._integer = d["integer"]
        self.is_signed = self._kind in ("signed", "float", "double")
        self.is_float = self._kind in ("float", "double")
        self.multiplexer_ids = [value for low, high in d["multiplexer_ranges"]
                                for value in range(low, high + 1)] if self.multiplexer else None

    def __repr__(self):
        return f"<cantext.dbc.Signal {self.name}: {self.start}|{self.length} {self.byte_order}>"


class Message:
    """A message of the database: name, frame_id (without flag bits), is_extended_frame, is_fd,
    length (bytes), cycle_time (ms, or None), senders, comment and signals."""

    __slots__ = ("name", "frame_id", "is_extended_frame", "is_fd", "length", "cycle_time",
                 "senders", "comment", "signals", "_db")

    def __init__(self, d, db):
        for name in ("name", "frame_id", "is_extended_frame", "is_fd", "length", "cycle_time",
                     "senders", "comment"):
            setattr(self, name, d[name])
        self.signals = [Signal(s) for s in d["signals"]]
        self._db = db

    def get_signal_by_name(self, name):
        for signal in self.signals:
            if signal.name == name:
                return signal
        raise KeyError(name)

    def decode(self, data, decode_choices=True, scaling=True):
        return self._db.decode_message(self.name, data, decode_choices, scaling)

    def encode(self, values, scaling=True):
        return self._db.encode_message(self.name, values, scaling)

    def __repr__(self):
        return (f"<cantext.dbc.Message {self.name}: 0x{self.frame_id:X}"
                f"{' extended' if self.is_extended_frame else ''}, {self.length} bytes, "
                f"{len(self.signals)} signals>")


class Database:
    """A DBC database (see load_file): messages in the file's order, lookups, and decoding."""

    def __init__(self, native):
        self._native = native
        self._source = None
        self.messages = [Message(d, self) for d in native.definitions()]
        self._by_name = {m.name: m for m in self.messages}

    def __reduce__(self):
        # Pickled as the file's text, loaded again where it is unpickled (another process of a
        # multiprocessing pool or a Dask cluster): the parsed database is native memory.
        if self._source is None:
            raise TypeError("a Database made other than by load_file or load_string cannot be pickled")
        return _unpickled, self._source

    def __repr__(self):
        return f"<cantext.dbc.Database: {len(self.messages)} messages>"

    def get_message_by_name(self, name):
        """The message of that name; KeyError when there is none."""
        return self._by_name[name]

    def get_message_by_frame_id(self, frame_id):
        """The message of a frame id: a standard one first, else an extended one (only an
        extended one when frame_id has CAN_EFF_FLAG); KeyError when there is none."""
        return self.messages[self._native.message_index(frame_id)]

    def decode_message(self, frame_id_or_name, data, decode_choices=True, scaling=True):
        """The signals of one frame's data (bytes-like) as a dict of name to value, the signals
        present only (a multiplexed one where its multiplexer selects it).  A value is the raw
        value (scaling=False) or raw * scale + offset, an int where that is an integer (an integer
        signal whose scale and offset the file writes as integers), else a float; with
        decode_choices, the name of the raw value where it has one.  KeyError for an unknown
        message; ValueError for data shorter than the message."""
        return self._native.decode(frame_id_or_name, data, decode_choices, scaling)

    def encode_message(self, frame_id_or_name, values, scaling=True):
        """The data bytes of a message from a dict of signal name to value (a physical value, a
        raw one with scaling=False, or a choice's name).  Every signal present (as multiplexers
        select them) needs a value, others are ignored.  KeyError for an unknown message or
        signal name; ValueError for a missing value, an unknown choice or a value beyond the
        signal's bits."""
        return self._native.encode(frame_id_or_name, dict(values), scaling)

    def decode_log(self, log, scaling=True):
        """Every frame of a Log (cantext.read_log) that the database knows, decoded into columns:
        a dict of message name to MessageColumns, for the messages that have frames.  Frames
        shorter than their message, remote requests and error frames are left out.  The arrays
        of one call are views of one buffer, freed when the last of them goes: copy a column
        (.copy()) to keep it alone."""
        out = {}
        for index, time, channel, columns in self._native.decode_log(
                log.can_id, log.len, log.data, log.time, log.channel, scaling):
            message = self.messages[index]
            out[message.name] = MessageColumns(message, time, channel, log.channels, columns)
        return out


class MessageColumns:
    """The frames of one message in a log: time (int64 ns, as Log.time), channel (codes into
    channels), and signals, a dict of signal name to a NumPy array of one row per frame: int64
    (or uint64) where every value is an integer, else float64; a multiplexed signal's column is
    float64 with NaN where its multiplexer does not select it.  A signal with choices holds its
    raw values (the choices' codes); to_pandas() makes them categories."""

    __slots__ = ("message", "time", "channel", "channels", "signals")

    def __init__(self, message, time, channel, channels, columns):
        self.message = message
        self.time = time
        self.channel = channel
        self.channels = channels
        self.signals = {s.name: c for s, c in zip(message.signals, columns)}

    def __len__(self):
        return len(self.time)

    def __getitem__(self, name):
        return self.signals[name]

    def __repr__(self):
        return f"<cantext.dbc.MessageColumns {self.message.name}: {len(self)} frames>"

    def to_pandas(self):
        """A pandas DataFrame: time as datetime64[ns], channel as categories of the names, one
        column per signal, those with choices as categories of the choices' names (a value
        without one as its number's text)."""
        import pandas as pd

        return pd.DataFrame(self._pandas_columns(), copy=False)

    def _pandas_columns(self):
        # to_pandas' columns by name, for a table that has more (pandas makes a table with one
        # column more for less than it adds a column to one).
        import pandas as pd

        columns = {"time": self.time.view("datetime64[ns]"),
                   "channel": pd.Categorical.from_codes(self.channel.astype(np.int64),
                                                        self.channels)}
        for signal in self.message.signals:
            values = self.signals[signal.name]
            columns[signal.name] = _categories(values, signal.choices) if signal.choices else values
        return columns


def _categories(values, choices):
    import pandas as pd

    present = ~np.isnan(values) if values.dtype.kind == "f" else np.ones(len(values), bool)
    codes = np.full(len(values), -1, dtype=np.int64)
    distinct, inverse = np.unique(values[present], return_inverse=True)
    names = [choices.get(int(v), str(int(v))) for v in distinct]
    # Two raw values may share a name: one category for it.
    categories = list(dict.fromkeys(names))
    position = {name: i for i, name in enumerate(categories)}
    codes[present] = np.array([position[n] for n in names], dtype=np.int64)[inverse]
    return pd.Categorical.from_codes(codes, categories)
