# SPDX-License-Identifier: MIT
"""Many capture logs, read and decoded, as Dask DataFrames: a partition per file, large log-format
files split at line breaks, so that the same code runs on the cores of one machine or on a
cluster.  Nothing is read until the graph is computed."""

import collections.abc
import functools
import glob
import inspect
import mmap
import os
import re
import uuid
import weakref

try:
    import dask
    from dask.dataframe.core import new_dd_object
    from dask.blockwise import BlockwiseDepDict
    from dask.highlevelgraph import HighLevelGraph, MaterializedLayer
    from dask.layers import DataFrameIOLayer
    from dask.sizeof import sizeof
except ImportError as error:
    raise ImportError("cantext.dask needs Dask: apt-get install python3-dask") from error

import numpy as np
import pandas as pd

from . import dbc as _dbc
from ._cantext import dlc_to_len, len_to_dlc
from .log import Log, read_log

__all__ = ["BLOCKSIZE", "Messages", "read_logs"]

# About 1.4 million lines of 48 bytes: a partition of 100 to 300 MB once read (docs/scale.md).
BLOCKSIZE = 64 * 2**20

# The first bytes of gzip, xz and zstd data: such a file is read whole, whatever its name says.
_COMPRESSED = (b"\x1f\x8b", b"\xfd7zXZ\x00", b"\x28\xb5\x2f\xfd")
# read_log's message for a bad line, whose number is made the file's own in a part of it.
_BAD_LINE = re.compile(r"line (\d+): (.*)", re.S)
# Pieces in which the line breaks before a part are counted.
_COUNT_PIECE = 1 << 24
# Whether to_pandas takes data= ("columns", "bytes" or None); one that does not gives bytes.
_DATA_FORMS = "data" in inspect.signature(Log.to_pandas).parameters


class Messages(collections.abc.Mapping):
    """read_logs' result with dbc=: a mapping of message name to Dask DataFrame, each made when
    it is first taken (its metadata costs a pandas table), and bad_lines."""

    def __init__(self, names, make, bad_lines):
        self._names = dict.fromkeys(names)
        self._made = {}
        self._make = make
        self.bad_lines = bad_lines

    def __getitem__(self, name):
        if name not in self._made:
            if name not in self._names:
                raise KeyError(name)
            self._made[name] = self._make(name)
        return self._made[name]

    def __iter__(self):
        return iter(self._names)

    def __len__(self):
        return len(self._names)

    def __repr__(self):
        return f"<cantext.dask.Messages: {len(self)} messages>"


def read_logs(paths, format=None, dbc=None, ids=None, channels=None, blocksize=BLOCKSIZE,
              keep_going=False, data="bytes", errors_only=False, no_errors=False, timezone=None):
    """Capture logs read with read_log as one Dask DataFrame of frames, or, with dbc=, decoded
    with Database.decode_log into a Dask DataFrame per message.

    paths is a directory (its files, by name), a glob pattern ("captures/*.log"), one path, or
    a list of paths.  format, ids, channels, errors_only, no_errors, timezone and keep_going are
    passed to read_log for every file (an unknown timezone raises ValueError at once).
    dbc is a DBC file's path or a Database (cantext.dbc.load_file); it is read now, for the
    tables' columns.

    Returns a dask.dataframe.DataFrame with the columns of Log.to_pandas(data=data), time_text
    always among them (a categorical: NaN where the first field is a time), and file (a
    categorical of the path the row comes from); data="columns" gives all of data0 to data63
    (each partition has the same columns), "bytes" one column of bytes objects, None none; or, with dbc, a Messages mapping of message name to a Dask
    DataFrame with the columns of MessageColumns.to_pandas() and file, for every message
    decode_log can give (those without frames are empty).  Categoricals have unknown categories
    (each file has its own channels); the rows keep the files' order and each file's order.

    A partition is a file; a file of the log format (format="log", or a name ending in .log)
    larger than blocksize bytes is read in parts of about blocksize, split at line breaks
    (blocksize=None: never).  Other files (ASC, TRC, compressed ones) are read whole.  Only the
    sizes of the files are looked at now; they are read when the graph is computed.

    A bad line raises ValueError "PATH: line N: ...", N the line's number in its file; with
    keep_going=True bad lines are skipped and the result's bad_lines, a Dask DataFrame of file
    and line, lists them (computed with the result, it shares its reading).
    """
    options = tuple(_read_options(format, ids, channels, keep_going, errors_only, no_errors,
                                  timezone).items())
    if data not in ("bytes", "columns", None) or data != "bytes" and not _DATA_FORMS:
        raise ValueError(f"data must be \"bytes\", \"columns\" or None, not {data!r}"
                         if _DATA_FORMS else "this cantext's Log.to_pandas gives data as bytes only")
    files = _files(paths)
    db = _dbc.load_file(dbc) if isinstance(dbc, (str, bytes, os.PathLike)) else dbc
    token = uuid.uuid4().hex
    # A task per part, the tables of every message Dask DataFrame taken from its result: the
    # messages computed together read each part once.
    read = f"cantext-read-{token}"
    layer = {(read, i): (_read_part, path, part, count, blocksize, options, data,
                         None if db is None else read)
             for i, (path, part, count) in enumerate(_parts(files, format, blocksize))}
    parts = len(layer)
    if db is not None:
        layer[read] = db
    layer = MaterializedLayer(layer, annotations=_after_takers())
    bad_lines = _dataframe(f"cantext-bad-lines-{token}", (1,), read, layer, parts,
                           _meta(_bad_table([], "")))
    if db is None:
        frames = _dataframe(f"cantext-frames-{token}", (0,), read, layer, parts,
                            _frames_meta(data))
        frames.bad_lines = bad_lines
        return frames
    return Messages(_message_names(db), lambda name: _dataframe(
        f"cantext-{name}-{token}", (0, name), read, layer, parts, _meta(_template(db, name))),
        bad_lines)


def _after_takers():
    """The read tasks' annotations: a priority below the tasks that take from a part.  A
    distributed scheduler runs every ready task by priority, and Dask's own order would read every
    part before it takes the second message from the first: a worker would hold every part it has
    read at once (a decoded part is about 90 bytes a frame).  Taken first, each part is let go as
    soon as its messages are.  A priority the caller set with dask.annotate is kept, one below."""
    annotations = dict(dask.config.get("annotations", {}))
    priority = annotations.get("priority", 0)
    if isinstance(priority, (int, float)):
        annotations["priority"] = priority - 1
    return annotations


def _parts(files, format, blocksize):
    for path in files:
        count = _part_count(path, format, blocksize)
        for part in range(count):
            yield path, part, count


def _dataframe(name, keys, read, layer, parts, meta):
    """A Dask DataFrame of the table at keys in the result of each task of the read layer."""
    # A layer of Dask's input kind: what is done to each partition next runs in the same task.
    picks = DataFrameIOLayer(name, None, BlockwiseDepDict({(i,): (read, i) for i in range(parts)},
                                                          produces_keys=True),
                             functools.partial(_pick, keys=keys))
    graph = HighLevelGraph({read: layer, name: picks}, {read: set(), name: {read}})
    return new_dd_object(graph, name, meta, (None,) * (parts + 1))


def _read_options(format, ids, channels, keep_going, errors_only, no_errors, timezone):
    options = {name: value for name, value in (("format", format), ("ids", ids),
                                               ("channels", channels), ("timezone", timezone),
                                               ("errors_only", errors_only or None),
                                               ("no_errors", no_errors or None))
               if value is not None}
    known = inspect.signature(read_log).parameters
    missing = [name for name in options if name not in known]
    if missing:
        raise TypeError(f"this cantext's read_log takes no {', '.join(missing)}")
    if timezone is not None:
        read_log(b"", timezone=timezone)  # an unknown zone fails here, not in every task
    options["keep_going"] = keep_going
    return options


def _files(paths):
    if isinstance(paths, (str, os.PathLike)):
        path = os.fspath(paths)
        if os.path.isdir(path):
            found = [os.path.join(path, name) for name in sorted(os.listdir(path))]
            found = [name for name in found if os.path.isfile(name)]
        elif not os.path.exists(path) and glob.has_magic(path):
            found = sorted(glob.glob(path))
        else:
            # A path that is not there yet may be by the time the graph is computed.
            found = [path]
    else:
        found = [os.fspath(path) for path in paths]
    if not found:
        raise FileNotFoundError(f"no files in {paths!r}")
    return found


def _part_count(path, format, blocksize):
    if not blocksize or not (format == "log" or format is None and path.lower().endswith(".log")):
        return 1
    try:
        size = os.path.getsize(path)
    except OSError:
        return 1
    return max(1, -(-size // blocksize))


def _read_part(path, part, count, blocksize, options, data, db):
    """Part `part` of `count` of a file: its table (a dict of them with db) and its bad lines."""
    log = _read_range(path, part, count, blocksize, dict(options))
    bad = _bad_table(log.bad_lines, path)
    if db is None:
        return _frames_table(log, path, data), bad
    return _Decoded(db.decode_log(log), path, db), bad


class _Decoded:
    """A part's columns of each message.  Each message's table is made by the task that takes it
    (a table costs more than the decoding): computing some messages makes only theirs."""

    __slots__ = ("columns", "path", "db")

    def __init__(self, columns, path, db):
        self.columns, self.path, self.db = columns, path, db

    def __getitem__(self, name):
        if name in self.columns:
            columns = self.columns[name]._pandas_columns()
            columns["file"] = _file_column(self.path, len(self.columns[name]))
            return pd.DataFrame(columns, copy=False)
        return _template(self.db, name).copy()

    def nbytes(self):
        return sum(c.time.nbytes + c.channel.nbytes + sum(v.nbytes for v in c.signals.values())
                   for c in self.columns.values())


# The scheduler keeps the tasks that take from a part where the part is, by its size.
sizeof.register(_Decoded)(_Decoded.nbytes)


def _pick(part, keys):
    for key in keys:
        part = part[key]
    return part


def _read_range(path, part, count, blocksize, options):
    if count == 1:
        return _read(path, path, options, lambda: 0)
    with open(path, "rb") as f:
        size = os.fstat(f.fileno()).st_size
        if size == 0 or f.read(6).startswith(_COMPRESSED):
            return _read(path if part == 0 else b"", path, options, lambda: 0)
        with mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
            start = _line_start(m, part * blocksize)
            end = len(m) if part == count - 1 else _line_start(m, (part + 1) * blocksize)
            view = memoryview(m)[start:max(start, end)]
            try:
                return _read(view, path, options, lambda: _lines_before(m, start))
            finally:
                view.release()


def _line_start(m, offset):
    """Where the first line that starts at or after offset starts."""
    if offset <= 0:
        return 0
    newline = m.find(b"\n", offset - 1)
    return len(m) if newline < 0 else newline + 1


def _lines_before(m, end):
    # Counted only for a part that has bad lines: the common case reads nothing before its part.
    return sum(m[at:min(at + _COUNT_PIECE, end)].count(b"\n")
               for at in range(0, end, _COUNT_PIECE))


def _read(source, path, options, lines_before):
    try:
        log = read_log(source, **options)
    except ValueError as error:
        bad = _BAD_LINE.fullmatch(str(error))
        if bad is None:
            raise ValueError(f"{path}: {error}") from None
        raise ValueError(f"{path}: line {int(bad[1]) + lines_before()}: {bad[2]}") from None
    if len(log.bad_lines):
        log.bad_lines = log.bad_lines + lines_before()
    return log


def _file_column(path, rows):
    # The templates' tables have no file: no category.
    return pd.Categorical.from_codes(np.full(rows, 0 if path else -1, np.int8),
                                     dtype=_categories_of(path))


@functools.lru_cache(maxsize=256)
def _categories_of(path):
    # A part makes a table per message: pandas checks the categories once.
    return pd.CategoricalDtype([path] if path else [])


def _with_file(table, path):
    table["file"] = _file_column(path, len(table))
    return table


def _frames_table(log, path, data):
    table = log.to_pandas(data=data) if _DATA_FORMS else log.to_pandas()
    if data == "columns":
        # Every byte's column, whatever the longest frame of the partition.
        width = sum(name.startswith("data") for name in table.columns)
        rest = pd.DataFrame(log.data[:, width:], columns=[f"data{k}" for k in range(width, 64)])
        table = pd.concat([table, rest], axis=1)
    # Present in every partition, whether or not a file has first fields that are not times.
    text = table.pop("time_text") if "time_text" in table else pd.Categorical.from_codes(
        np.full(len(table), -1, np.int8), [])
    table.insert(1, "time_text", pd.Categorical(text))
    return _with_file(table, path)


def _bad_table(lines, path):
    return pd.DataFrame({"file": _file_column(path, len(lines)),
                         "line": np.asarray(lines, dtype=np.int64)})


def _frames_meta(data):
    # The dtypes of a row read (pandas makes an empty column of bytes objects float64), the
    # categories of none.
    table = _frames_table(read_log(b"(0.0) can0 000#\n"), "", data).iloc[:0].copy()
    empty = _frames_table(read_log(b""), "", data)
    for name, column in table.items():
        if isinstance(column.dtype, pd.CategoricalDtype):
            table[name] = column.cat.set_categories(empty[name].cat.categories)
    return _meta(table)


# Dask's mark of categories known only once the data is read.
_UNKNOWN = pd.CategoricalDtype(["__UNKNOWN_CATEGORIES__"])


def _meta(table):
    # Categories that depend on the data (none in an empty read) are unknown to Dask.
    return _empty_table((name, _UNKNOWN if _no_categories(dtype) else dtype)
                        for name, dtype in table.dtypes.items())


def _no_categories(dtype):
    return isinstance(dtype, pd.CategoricalDtype) and len(dtype.categories) == 0


def _empty_table(dtypes):
    # Made of empty columns: pandas' astype of a table costs milliseconds, once per message.
    return pd.DataFrame({name: pd.Categorical.from_codes(np.empty(0, np.int8), dtype=dtype)
                         if isinstance(dtype, pd.CategoricalDtype) else np.empty(0, dtype)
                         for name, dtype in dtypes})


# Per database: its messages decoded from a frame of zeros each, and the empty tables made.
_SAMPLES = weakref.WeakKeyDictionary()


def _sample(db):
    """The columns of every message decode_log can give, decoded from a frame of zeros each: the
    tables' columns and dtypes then follow decode_log and to_pandas, whatever they become."""
    if db not in _SAMPLES:
        lines = []
        for m in db.messages:
            ident = f"{m.frame_id:08X}" if m.is_extended_frame else f"{m.frame_id:03X}"
            size = dlc_to_len(len_to_dlc(min(m.length, 64)))
            body = ("##0" if m.is_fd or size > 8 else "#") + "00" * size
            lines.append(f"(0.0) can0 {ident}{body}\n")
        _SAMPLES[db] = (db.decode_log(read_log("".join(lines).encode())), {})
    return _SAMPLES[db]


def _message_names(db):
    columns, _ = _sample(db)
    return [m.name for m in db.messages if m.name in columns]


def _template(db, name):
    """An empty table of the message, categories empty."""
    columns, tables = _sample(db)
    if name not in tables:
        empty = pd.CategoricalDtype([])
        tables[name] = _with_file(_empty_table(
            (column, empty if isinstance(dtype, pd.CategoricalDtype) else dtype)
            for column, dtype in columns[name].to_pandas().dtypes.items()), "")
    return tables[name]
