# SPDX-License-Identifier: MIT
"""read_log, iter_messages and Log.write on the log, ASC and TRC formats: round trips through
the writers, and cross-checks with python-can's writers and readers (the frames and the losses of
python-can's that tests/formats/test_python_can.py shows for the converter)."""
import importlib.util
import subprocess
import sys
from decimal import Decimal

import numpy as np
import pytest

import cantext
from test_library_output import SOURCE, program

sys.path.insert(0, str(SOURCE / "tests" / "formats"))
needs_can = pytest.mark.skipif(importlib.util.find_spec("can") is None, reason="python-can is not installed")
FORMATS = ["log", "asc", "trc"]
COLUMNS = ["time", "channel", "can_id", "flags", "len", "fd", "direction", "data"]

# Every kind of frame, times to the nanosecond; ASC writes an error frame without direction.
LOG = b"""(1700000000.123456) can0 123#11 R
(1700000000.123457) can1 18FEF100##1AABB T
(1700000000.223456789) can0 123#R8 T
(1700000000.323456) can2 20000080#0000000000000000
(1700000000.423456) can0 7FF##3 R
(1700000000.523456) can0 00000001# R
(1700000001.000000) can9 1FFFFFFF##0""" + b"11" * 64 + b" T\n"


@pytest.mark.parametrize("format", FORMATS)
def test_a_written_log_reads_back_to_the_same_columns(tmp_path, format):
    log = cantext.read_log(LOG)
    path = tmp_path / f"out.{format}"
    log.write(path)
    for back in (cantext.read_log(path), cantext.read_log(path.read_bytes(), format)):
        if format == "trc":  # TRC has a direction on every line
            back.direction[back.direction == b"R"] = log.direction[back.direction == b"R"]
        for name in COLUMNS:
            assert np.array_equal(getattr(back, name), getattr(log, name)), name
        assert back.channels == log.channels


# Bad lines of each format: ValueError with the line's number, the format's words and its text.
BAD_LINES = [
    ("asc", b"date Thu Nov 23 10:13:20.123 am 2023\nbase hex  timestamps absolute\n"
            b"   1.000000 1  123             Rx   d 2 11\n", "line 3: fewer data bytes than the length: "),
    ("asc", b"base hex  timestamps absolute\n   1.0 1  12G  Rx   d 1 11\n", "line 2: bad identifier: "),
    ("trc", b";$FILEVERSION=2.1\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n      1  0.1 DT  1  0123 Rx -  9    11\n",
     "line 3: fewer data bytes than the length: "),
    ("log", b"(1.0) can0 123#11\n(1.1) can0 123#1\n", "line 2: not a CAN frame: "),
]


@pytest.mark.parametrize("format, text, message", BAD_LINES)
def test_bad_lines_name_their_number_and_problem(format, text, message):
    with pytest.raises(ValueError, match="^" + message):
        cantext.read_log(text)
    log = cantext.read_log(text, keep_going=True)
    assert log.bad_lines.tolist() == [int(message.split()[1][:-1])]
    assert cantext._cantext._LogReader(text).format is None  # told by the first read only


def test_the_format_is_told_by_the_content_and_can_be_forced(tmp_path):
    log = cantext.read_log(LOG)
    log.write(tmp_path / "a.asc")
    text = (tmp_path / "a.asc").read_bytes()
    assert len(cantext.read_log(text)) == len(log)
    with pytest.raises(ValueError, match="line 1: not a CAN frame: 'date"):
        cantext.read_log(text, format="log")
    with pytest.raises(ValueError, match='format must be "log", "asc", "trc" or None'):
        cantext.read_log(text, format="blf")
    # ASC of more than 4 MiB, from a path: read in one, not in parts like a log.
    big = tmp_path / "big.asc"
    body = text[text.index(b"   0."):text.index(b"End")]
    big.write_bytes(text[:text.index(b"   0.")] + body * (5 * 2**20 // len(body)))
    assert len(cantext.read_log(big)) == len(log) * (5 * 2**20 // len(body))


# Headers' wall-clock start times read in a zone: every reader gives the epoch times of the
# command's --timezone (None: no option, UTC), in winter and in summer; an unknown zone is refused.
ZONES = [None, "UTC", "Europe/Berlin", "America/New_York", "CET-1CEST,M3.5.0,M10.5.0/3",
         "Nowhere/Atlantis"]


def dask_times(path, zone):
    cantext_dask = pytest.importorskip("cantext.dask")
    return cantext_dask.read_logs([str(path)], timezone=zone).compute()["time"].astype("int64") // 1000


READERS = {
    "read_log": lambda path, zone: cantext.read_log(path, timezone=zone).time // 1000,
    "read_log_bytes": lambda path, zone: cantext.read_log(path.read_bytes(), timezone=zone).time // 1000,
    "iter_messages": lambda path, zone: [round(m.timestamp * 10**6) for m in
                                         cantext.iter_messages(path, timezone=zone)],
    "dask": dask_times,
}


@pytest.mark.parametrize("reader", READERS)
@pytest.mark.parametrize("zone", ZONES)
def test_header_times_are_read_in_the_zone_the_command_reads_them(tmp_path, zone, reader):
    if reader == "iter_messages" and importlib.util.find_spec("can") is None:
        pytest.skip("python-can is not installed")
    command = [program("CANTEXT_COMMAND"), "convert", "--to", "log"]
    command += ["--timezone", zone] if zone else []
    for season, first in (("winter", 1673345600), ("summer", 1689156000)):
        for format in ("asc", "trc"):
            path = tmp_path / f"{season}.{format}"
            cantext.read_log(f"({first}.001000) can0 123#1400\n({first + 1}.5) can1 7FF#R".encode()
                             ).write(path)
            done = subprocess.run(command + [str(path)], capture_output=True, text=True)
            if zone == "Nowhere/Atlantis":
                assert done.returncode == 2 and "unknown time zone 'Nowhere/Atlantis'" in done.stderr
                with pytest.raises(ValueError, match="^unknown time zone 'Nowhere/Atlantis'$"):
                    READERS[reader](path, zone)
                continue
            expected = [int(Decimal(line.split()[0][1:-1]) * 10**6)
                        for line in done.stdout.splitlines()]
            assert len(expected) == 2
            assert list(READERS[reader](path, zone)) == expected, (season, format)


# (b) python-can writes, cantext reads; (c) cantext writes, python-can reads.  python-can writes
# only classic data frames in TRC, and neither a remote request's length, nor an error frame's
# channel, in the log format; its ASC header holds the start to the millisecond.


def python_can_kept(m, format):
    return format != "trc" or not (m.is_fd or m.is_remote_frame or m.is_error_frame)


def message_frame(m, log_text):
    """A message's frame as the log line written for it in the project's helper holds it."""
    return cantext.parse(log_text(m).split()[2])


@needs_can
@pytest.mark.parametrize("format", FORMATS)
def test_files_python_can_writes_read_to_the_same_frames(tmp_path, monkeypatch, format):
    from test_python_can import frames, log_line, write_with_python_can

    monkeypatch.setenv("TZ", "UTC")
    messages = frames()
    path = tmp_path / f"f.{format}"
    write_with_python_can(path, messages)
    kept = [m for m in messages if python_can_kept(m, format)]
    log = cantext.read_log(path)
    assert len(log) == len(kept)
    # python-can's TRC start time is no start time (docs/formats.md): offsets compare.
    offsets = (log.time - log.time[0]).tolist()
    assert offsets == [round((m.timestamp - kept[0].timestamp) * 1e6) * 1000 for m in kept]
    if format == "log":
        assert log.time.tolist() == [round(m.timestamp * 1e6) * 1000 for m in kept]
    for i, m in enumerate(kept):
        row = log[i]
        expected = message_frame(m, log_line)
        if m.is_error_frame:
            assert row.is_error
            continue
        if m.is_remote_frame and format == "log":
            expected = cantext.Frame(can_id=expected.can_id, len=0)
        assert (row, row.channel, row.direction) == (expected, f"can{m.channel}", "R" if m.is_rx else "T")
    # iter_messages gives what python-can's reader gives, where that reader is right.
    import can

    for ours, theirs in zip(cantext.iter_messages(path), can.LogReader(str(path))):
        if not theirs.is_error_frame:
            assert (ours.channel, ours.arbitration_id, ours.is_rx, bytes(ours.data)) == (
                theirs.channel, theirs.arbitration_id, theirs.is_rx, bytes(theirs.data))


@needs_can
@pytest.mark.parametrize("format", FORMATS)
def test_files_log_write_writes_python_can_reads_to_the_same_frames(tmp_path, monkeypatch, format):
    import can
    from test_python_can import frames, log_line, same_frame

    monkeypatch.setenv("TZ", "UTC")
    messages = frames()
    log = cantext.read_log("".join(log_line(m) + "\n" for m in messages).encode())
    path = tmp_path / f"out.{format}"
    log.write(path)
    kept = [m for m in messages if python_can_kept(m, format)]
    read = list(can.LogReader(str(path)))
    assert len(read) == len(kept)
    for m, r in zip(kept, read):
        same_frame(m, r)
        if not m.is_error_frame:  # python-can reads error frames without a channel
            assert r.channel == {"log": f"can{m.channel}", "asc": m.channel, "trc": m.channel + 1}[format]
    times = [r.timestamp for r in read]
    assert [round(t - times[0], 6) for t in times] == [round(m.timestamp - kept[0].timestamp, 6) for m in kept]
