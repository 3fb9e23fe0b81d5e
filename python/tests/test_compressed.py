# SPDX-License-Identifier: MIT
"""read_log of compressed captures: each compression, from a path, from bytes and from a file
object, reads as the plain capture does, or, where this build lacks the compression, raises
ValueError saying so; faults in the compressed data raise ValueError naming them."""
import gzip
import lzma
import os
import re
import shutil
import subprocess

import pytest

import cantext
from test_library_output import program, run
from test_log import SmallReads, rows_of

# The compressions this build reads, as CMake chose them.
BUILT = set(filter(None, os.environ.get("CANTEXT_COMPRESSIONS", "").split(",")))


def zstd(data):
    if shutil.which("zstd") is None:
        pytest.fail("no zstd program to make the test's input (Debian package zstd)")
    return subprocess.run(["zstd", "-q", "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout


PACKERS = {"gzip": gzip.compress, "xz": lambda data: lzma.compress(data, preset=1), "zstd": zstd}

# (name, compression, pieces packed apart and joined, what is done to the bytes, the fault)
CASES = [
    ("gzip", "gzip", 1, None, None),
    ("gzip_two_members", "gzip", 2, None, None),
    ("xz", "xz", 1, None, None),
    ("zstd", "zstd", 1, None, None),
    ("zstd_two_frames", "zstd", 2, None, None),
    ("gzip_cut_short", "gzip", 1, lambda b: b[:-4], "the gzip data is cut short"),
    ("gzip_magic_then_garbage", "gzip", 1, lambda b: b[:2] + b"not compressed\n",
     "corrupt gzip data: unknown compression method"),
]

SOURCES = {
    "path": lambda path: path,
    "bytes": lambda path: path.read_bytes(),
    "small reads": lambda path: SmallReads(path.read_bytes()),
}


@pytest.fixture(scope="module")
def plain(tmp_path_factory):
    """A log of every kind of frame, several of the reader's blocks long (and more than the
    pieces a thread decompresses ahead hold at once), and its rows."""
    path = tmp_path_factory.mktemp("compressed") / "plain.log"
    path.write_text(run([program("CANTEXT_MAKE_LOG"), "30000", "5"]))
    return path, rows_of(cantext.read_log(path))


@pytest.mark.parametrize("source", SOURCES, ids=str)
@pytest.mark.parametrize("name, kind, pieces, change, fault", CASES, ids=[c[0] for c in CASES])
def test_read_log_decompresses(plain, tmp_path, source, name, kind, pieces, change, fault):
    path, rows = plain
    text = path.read_bytes()
    cut = len(text) // pieces
    data = b"".join(PACKERS[kind](text[i * cut:None if i == pieces - 1 else (i + 1) * cut])
                    for i in range(pieces))
    data = change(data) if change else data
    packed = tmp_path / f"{name}.log.{kind}"
    packed.write_bytes(data)
    if kind not in BUILT:
        fault = f"compressed with {kind}, which this build of cantext cannot read"
    if fault is None:
        assert rows_of(cantext.read_log(SOURCES[source](packed))) == rows
        return
    shown = f"{packed}: " if source == "path" else ""
    with pytest.raises(ValueError, match=f"^{re.escape(shown + fault)}$"):
        cantext.read_log(SOURCES[source](packed))


@pytest.mark.parametrize("source", SOURCES, ids=str)
def test_a_bad_line_stops_the_reading_ahead(plain, tmp_path, source):
    # The reading ends at the second line while most of the file is still to be decompressed.
    if "zstd" not in BUILT:
        pytest.skip("this build reads no zstd")
    path, _ = plain
    packed = tmp_path / "bad.log.zst"
    lines = path.read_bytes().split(b"\n", 1)
    packed.write_bytes(zstd(lines[0] + b"\nnot a frame\n" + lines[1]))
    with pytest.raises(ValueError, match="^line 2: "):
        cantext.read_log(SOURCES[source](packed))


# (file name, format given, compression, its magic number, the format written)
WRITES = [
    ("out.log.gz", None, "gzip", b"\x1f\x8b", "log"),
    ("out.asc.xz", None, "xz", b"\xfd7zXZ\x00", "asc"),
    ("out.trc.zst", None, "zstd", b"\x28\xb5\x2f\xfd", "trc"),
    ("out.gz", "asc", "gzip", b"\x1f\x8b", "asc"),
]


@pytest.mark.parametrize("name, given, kind, magic, format", WRITES, ids=[w[0] for w in WRITES])
def test_log_write_compresses_by_the_suffix(plain, tmp_path, name, given, kind, magic, format):
    log = cantext.read_log(plain[0])
    packed = tmp_path / name
    if kind not in BUILT:
        with pytest.raises(ValueError, match=f"compressed with {kind}, which this build of "
                                             "cantext cannot write$"):
            log.write(packed, given)
        return
    log.write(packed, given)
    log.write(tmp_path / f"plain.{format}")
    assert packed.read_bytes().startswith(magic)
    reader = cantext._cantext._LogReader(packed)
    back = cantext.Log(reader.read())
    assert reader.format == format
    assert rows_of(back) == rows_of(cantext.read_log(tmp_path / f"plain.{format}"))
