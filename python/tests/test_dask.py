# SPDX-License-Identifier: MIT
"""cantext.dask against read_log and decode_log of each file in turn: whole files and files split
into parts, with Dask's local schedulers and with a two-worker cluster of processes; bad lines
named by file and line; nothing read before compute; the module without Dask."""
import gzip
import importlib.util
import os
import random
import re
import subprocess
import sys

import pytest

import cantext
from cantext import dbc
from test_dbc import DATA, random_frames
from test_library_output import program, run

dask = pytest.importorskip("dask")
pd = pytest.importorskip("pandas")
cantext_dask = pytest.importorskip("cantext.dask")
needs_distributed = pytest.mark.skipif(importlib.util.find_spec("distributed") is None,
                                       reason="python3-distributed is not installed")

# Parts of about 40 KB: each file of the fixture is read in several.
SMALL = 40_000


@pytest.fixture(scope="module")
def captures(tmp_path_factory):
    """Logs of every kind of frame, of frames of the database's messages with first fields of
    other shapes among them, and an empty one; and the database."""
    folder = tmp_path_factory.mktemp("captures")
    (folder / "a.log").write_text(run([program("CANTEXT_MAKE_LOG"), "3000", "2"]))
    db = dbc.load_file(DATA / "features.dbc")
    rng = random.Random(4)
    lines = []
    for i, (message, data) in enumerate(random_frames(db, rng, 3000)):
        ident = f"{message.frame_id:08X}" if message.is_extended_frame else f"{message.frame_id:03X}"
        first = f"({1000 + i}.5)" if i % 500 else f"{1000 + i}.5"
        lines.append(f"{first} can{i % 3} {ident}{'##0' if message.length > 8 else '#'}{data.hex()}\n")
    (folder / "b.log").write_text("".join(lines))
    (folder / "c.log").write_bytes(b"")
    return folder, db


def files_of(folder):
    return [str(folder / name) for name in ("a.log", "b.log", "c.log")]


def plain(table):
    """A table with categories as their values and a 0.. index, to compare with another."""
    table = table.reset_index(drop=True)
    for name, column in table.items():
        if isinstance(column.dtype, pd.CategoricalDtype):
            table[name] = column.astype(object).where(column.notna(), None)
    return table


def each_file(files, db=None, data="bytes", **options):
    """What read_logs gives, made by reading (and decoding) the files one after the other."""
    tables = {}
    for path in files:
        log = cantext.read_log(path, **options)
        decoded = db.decode_log(log) if db else {None: log}
        for name, columns in decoded.items():
            table = columns.to_pandas() if db else log.to_pandas(data=data if data != "columns"
                                                                 else None)
            if db is None and "time_text" not in table:
                table.insert(1, "time_text", None)
            if data == "columns" and db is None:
                table = table.assign(**{f"data{k}": log.data[:, k] for k in range(64)})
            tables.setdefault(name, []).append(table.assign(file=path))
    return {name: plain(pd.concat(parts)) for name, parts in tables.items()}


def same_as_each_file(result, files, db, compute, **options):
    expected = each_file(files, db, **options)
    tables = {None: result} if db is None else result
    got = dict(zip(tables, compute(*tables.values())))
    assert {n for n, t in got.items() if len(t)} == set(expected)
    for name, table in got.items():
        # The metadata Dask was given is what the partitions hold.
        assert list(table.dtypes.astype(str)) == list(tables[name].dtypes.astype(str)), name
        if name in expected:
            pd.testing.assert_frame_equal(plain(table), expected[name])


# (scheduler, blocksize): whole files, and parts of some lines up to a few thousand.
LOCAL = [("sync", None), ("threads", None), ("threads", SMALL), ("sync", 3000)]


@pytest.mark.parametrize("scheduler, blocksize", LOCAL)
@pytest.mark.parametrize("decode", [False, True], ids=["frames", "decoded"])
def test_equals_reading_each_file(captures, scheduler, blocksize, decode):
    folder, db = captures
    result = cantext_dask.read_logs(folder, dbc=db if decode else None, blocksize=blocksize)
    some = result if not decode else next(iter(result.values()))
    assert some.npartitions == 3 if blocksize is None else some.npartitions > 3 + 1000 // blocksize
    same_as_each_file(result, files_of(folder), db if decode else None,
                      lambda *tables: dask.compute(*tables, scheduler=scheduler))


# read_log's options, and the forms of the data, passed through.
OPTIONS = [{"data": "columns"}, {"data": None}, {"ids": "7E0-7EF,18000000:1F000000"},
           {"channels": "can1", "keep_going": True, "format": "log"}, {"errors_only": True},
           {"no_errors": True, "channels": ["can0", "can2"]}]


@pytest.mark.parametrize("options", OPTIONS, ids=lambda o: ",".join(f"{k}={v}" for k, v in o.items()))
def test_options_reach_read_log(captures, options):
    folder, _ = captures
    result = cantext_dask.read_logs(folder, blocksize=SMALL, **options)
    same_as_each_file(result, files_of(folder), None, dask.compute, **options)


def test_asc_and_compressed_files_are_read_whole(captures, tmp_path):
    folder, _ = captures
    cantext.read_log(folder / "a.log").write(tmp_path / "a.asc")
    packed = gzip.compress((folder / "a.log").read_bytes())
    (tmp_path / "packed.log").write_bytes(packed)
    if "gzip" not in os.environ.get("CANTEXT_COMPRESSIONS", "gzip").split(","):
        pytest.skip("this build reads no gzip")
    files = [str(tmp_path / "a.asc"), str(tmp_path / "packed.log")]
    result = cantext_dask.read_logs(files, blocksize=1000)
    # The ASC file is not split; the compressed one is, by its name, and read whole by its part 0.
    assert result.npartitions == 1 + -(-len(packed) // 1000)
    same_as_each_file(result, files, None, dask.compute)


def test_parts_start_at_line_breaks_only(tmp_path):
    # CR LF, blank lines, a line read in pieces, no line break at the end; parts of every size
    # from a byte to more than the text, so that parts start at every place and some are empty.
    text = (b"(1.0) can0 123#11\r\n\n(1.5) can1 1F334455#R\n(2.0) can0 7FF#" + b"A" * 600 +
            b"\n  \n(3.0) can0 001#0102")
    path = tmp_path / "odd.log"
    path.write_bytes(text)
    log = cantext.read_log(path, keep_going=True)
    expected = plain(log.to_pandas(data="bytes").assign(file=str(path)))
    for blocksize in range(1, len(text) + 2, 23):
        result = cantext_dask.read_logs(path, blocksize=blocksize, keep_going=True)
        frames, bad = dask.compute(result, result.bad_lines, scheduler="sync")
        pd.testing.assert_frame_equal(plain(frames).drop(columns="time_text"), expected)
        assert bad.line.tolist() == log.bad_lines.tolist(), blocksize


def with_bad_lines(folder, numbers, into):
    """a.log with the lines of those numbers made bad, in the folder into; its path."""
    lines = (folder / "a.log").read_bytes().splitlines(keepends=True)
    for n in numbers:
        lines[n - 1] = b"(1.0) can0 12#ZZ\n" if n % 2 else b"fewer than\n"
    path = into / f"bad{len(numbers)}.log"
    path.write_bytes(b"".join(lines))
    return str(path)


@pytest.mark.parametrize("blocksize", [None, SMALL])
def test_bad_lines_name_their_file_and_line(captures, blocksize, tmp_path):
    folder, _ = captures
    path = with_bad_lines(folder, [2901], tmp_path)
    message = rf"^{re.escape(path)}: line 2901: not a CAN frame: '\(1.0\) can0 12#ZZ'$"
    with pytest.raises(ValueError, match=message):
        cantext_dask.read_logs([path], blocksize=blocksize).compute()
    path = with_bad_lines(folder, [1, 1000, 2000, 2001, 2999], tmp_path)
    result = cantext_dask.read_logs([files_of(folder)[1], path], blocksize=blocksize, keep_going=True)
    frames, bad = dask.compute(result, result.bad_lines)
    assert plain(bad).values.tolist() == [[path, n] for n in (1, 1000, 2000, 2001, 2999)]
    assert len(frames) == 3000 + 2995


def test_nothing_is_read_before_compute(captures, tmp_path):
    folder, db = captures
    later = tmp_path / "later.log"
    frames = cantext_dask.read_logs([files_of(folder)[0], later])
    decoded = cantext_dask.read_logs([later], dbc=DATA / "features.dbc")
    later.write_bytes((folder / "b.log").read_bytes())
    same_as_each_file(frames, [files_of(folder)[0], str(later)], None, dask.compute)
    same_as_each_file(decoded, [str(later)], db, dask.compute)


def test_import_without_dask():
    # None in sys.modules makes an import fail as if the package were not there.
    code = ("import sys; sys.modules['dask'] = None; import cantext; print(cantext.read_log(b''))\n"
            "try:\n import cantext.dask\nexcept ImportError as e: print(e)")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout.splitlines()[1] == "cantext.dask needs Dask: apt-get install python3-dask"


@pytest.fixture(scope="module")
def cluster():
    from distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as local, Client(local, timeout=60) as client:
        yield client


@needs_distributed
@pytest.mark.parametrize("blocksize", [None, SMALL])
def test_on_a_cluster_of_two_processes(captures, cluster, blocksize, tmp_path):
    folder, db = captures

    def compute(*tables):  # bounded in time, should a worker hang
        return [future.result(timeout=120) for future in cluster.compute(list(tables))]

    same_as_each_file(cantext_dask.read_logs(folder, blocksize=blocksize), files_of(folder), None,
                      compute)
    same_as_each_file(cantext_dask.read_logs(folder, dbc=db, blocksize=blocksize),
                      files_of(folder), db, compute)
    path = with_bad_lines(folder, [2500], tmp_path)
    with pytest.raises(ValueError, match=rf"^{re.escape(path)}: line 2500: fewer than three fields"):
        cluster.compute(cantext_dask.read_logs(path, blocksize=blocksize)).result(timeout=120)


@pytest.mark.parametrize("priority", [None, 5])
def test_parts_are_read_after_what_takes_from_them(captures, priority):
    # A distributed scheduler runs ready tasks by priority: the graph it gets, optimized, must
    # rank every read below the tasks that take from the parts, or a worker reads every part
    # before it lets one go.
    folder, db = captures
    with dask.annotate(**({} if priority is None else {"priority": priority})):
        messages = cantext_dask.read_logs(folder, dbc=db, blocksize=SMALL)
        sizes = [messages[name].index.size for name in list(messages)[:2]]
    graph = dask.base.collections_to_dsk(sizes, optimize_graph=True)
    ranks = {}
    for layer in graph.layers.values():
        for key in layer:
            ranks[key] = (layer.annotations or {}).get("priority", 0)
    reads = {rank for key, rank in ranks.items() if "cantext-read" in str(key)}
    others = {rank for key, rank in ranks.items() if "cantext-read" not in str(key)}
    assert reads == {(priority or 0) - 1} and others == {priority or 0}
