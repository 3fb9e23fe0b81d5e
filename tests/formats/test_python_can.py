# SPDX-License-Identifier: MIT
"""Cross-checks with python-can: files it writes in the three formats read to the same frames
with cantext, and files cantext writes read to the same frames with python-can.  Where
python-can's own reading or writing loses something (docs/formats.md lists each case), the
comparison leaves that part out and a test below shows the loss, so that a python-can that
mends it is noticed."""
import os
import subprocess

import pytest

can = pytest.importorskip("can")

# The cantext command's convert, as ctest passes it.
if not os.environ.get("CANTEXT_COMMAND"):
    pytest.skip("CANTEXT_COMMAND is not set (ctest sets it)", allow_module_level=True)
CONVERT = [os.environ["CANTEXT_COMMAND"], "convert"]
START = 1700000000.123456


def frames():
    """Frames of every kind on three channels, received and transmitted, 1 ms and more apart."""
    out = []
    t = START
    for i in range(48):
        kind = i % 6
        common = dict(timestamp=round(t, 6), channel=i % 3, is_rx=i % 4 != 1)
        if kind == 0:
            m = can.Message(arbitration_id=0x100 + i, is_extended_id=False, data=bytes(range(i % 9)), **common)
        elif kind == 1:
            m = can.Message(arbitration_id=0x1234500 + i, is_extended_id=True, data=bytes([i] * 8), **common)
        elif kind == 2:
            m = can.Message(arbitration_id=0x200 + i, is_remote_frame=True, dlc=i % 9, **common)
        elif kind == 3:
            m = can.Message(is_error_frame=True, arbitration_id=0, dlc=0, **common)
        else:
            length = [1, 8, 12, 16, 24, 32, 48, 64][i % 8]
            m = can.Message(arbitration_id=0x300 + i, is_extended_id=kind == 5, is_fd=True,
                            bitrate_switch=i % 2 == 0, error_state_indicator=i % 3 == 0,
                            data=bytes((i + k) & 0xFF for k in range(length)), **common)
        out.append(m)
        t += 0.001 + i * 0.0001013
    return out


def log_line(m):
    """The capture log's line for a message, as cantext writes it."""
    if m.is_error_frame:
        frame = "20000080#0000000000000000"
    else:
        ident = f"{m.arbitration_id:08X}" if m.is_extended_id else f"{m.arbitration_id:03X}"
        if m.is_remote_frame:
            frame = f"{ident}#R{m.dlc}" if m.dlc else f"{ident}#R"
        elif m.is_fd:
            flags = (1 if m.bitrate_switch else 0) | (2 if m.error_state_indicator else 0)
            frame = f"{ident}##{flags:X}{m.data.hex().upper()}"
        else:
            frame = f"{ident}#{m.data.hex().upper()}"
    return f"({m.timestamp:.6f}) can{m.channel} {frame} {'R' if m.is_rx else 'T'}"


def convert(path, to):
    done = subprocess.run(CONVERT + ["--to", to, str(path)], capture_output=True, text=True, check=False)
    assert done.stderr == ""
    assert done.returncode == 0
    return done.stdout


def read_log_text(text):
    """(seconds, channel, frame, direction) of each line of a capture log."""
    out = []
    for line in text.splitlines():
        f = line.split()
        out.append((float(f[0][1:-1]), f[1], f[2], f[3] if len(f) > 3 else ""))
    return out


def write_with_python_can(path, messages):
    with can.Logger(str(path)) as logger:
        for m in messages:
            logger.on_message_received(m)


def offsets(times):
    return [round(t - times[0], 6) for t in times]


@pytest.fixture(autouse=True)
def utc(monkeypatch):
    # python-can writes the ASC header's wall-clock time in the process's zone; cantext reads it
    # as UTC unless told otherwise.
    monkeypatch.setenv("TZ", "UTC")
    import time

    time.tzset()


# (a) python-can writes, cantext reads.

def test_log_written_by_python_can(tmp_path):
    messages = frames()
    write_with_python_can(tmp_path / "f.log", messages)
    got = read_log_text(convert(tmp_path / "f.log", "log"))
    assert len(got) == len(messages)
    for m, (t, channel, frame, direction) in zip(messages, got):
        expected = log_line(m).split()
        assert t == m.timestamp
        if m.is_error_frame:
            # python-can writes error frames without channel, data or direction.
            assert frame == "20000080#"
            continue
        assert channel == expected[1]
        # python-can writes a remote request without its length.
        assert frame == (expected[2].split("#R")[0] + "#R" if m.is_remote_frame else expected[2])
        assert direction == expected[3]


def test_asc_written_by_python_can(tmp_path):
    messages = frames()
    write_with_python_can(tmp_path / "f.asc", messages)
    got = read_log_text(convert(tmp_path / "f.asc", "log"))
    assert len(got) == len(messages)
    # python-can's header holds the first time to the millisecond, the lines' times count from the
    # first frame: every time is off by the first's fraction of a millisecond, the offsets exact.
    assert offsets([t for t, *_ in got]) == offsets([m.timestamp for m in messages])
    assert 0 <= messages[0].timestamp - got[0][0] < 0.001
    for m, (t, channel, frame, direction) in zip(messages, got):
        expected = log_line(m).split()
        if m.is_error_frame:
            # python-can writes error frames on its default channel, without direction.
            assert (channel, frame, direction) == ("can0", expected[2], "")
            continue
        assert (channel, frame, direction) == tuple(expected[1:4])


def test_trc_written_by_python_can(tmp_path):
    messages = frames()
    write_with_python_can(tmp_path / "f.trc", messages)
    got = read_log_text(convert(tmp_path / "f.trc", "log"))
    # python-can writes only classic data frames in TRC; its start time is no start time (see the
    # docs), so only the offsets compare.
    kept = [m for m in messages if not (m.is_fd or m.is_remote_frame or m.is_error_frame)]
    assert len(got) == len(kept)
    assert offsets([t for t, *_ in got]) == offsets([m.timestamp for m in kept])
    for m, (t, channel, frame, direction) in zip(kept, got):
        assert (channel, frame, direction) == tuple(log_line(m).split()[1:4])


# (b) cantext writes, python-can reads.

def cantext_writes(tmp_path, to):
    messages = frames()
    source = tmp_path / "source.log"
    source.write_text("".join(log_line(m) + "\n" for m in messages))
    target = tmp_path / f"out.{to}"
    target.write_text(convert(source, to), newline="")
    return messages, list(can.LogReader(str(target)))


def same_frame(m, r):
    assert r.is_error_frame == m.is_error_frame
    if m.is_error_frame:
        return
    assert (r.arbitration_id, r.is_extended_id, r.is_remote_frame, r.is_fd, r.is_rx) == (
        m.arbitration_id, m.is_extended_id, m.is_remote_frame, m.is_fd, m.is_rx)
    assert r.dlc == m.dlc
    if not m.is_remote_frame:
        assert bytes(r.data) == bytes(m.data)
    if m.is_fd:
        assert (r.bitrate_switch, r.error_state_indicator) == (m.bitrate_switch, m.error_state_indicator)


def test_log_read_by_python_can(tmp_path):
    messages, read = cantext_writes(tmp_path, "log")
    assert len(read) == len(messages)
    for m, r in zip(messages, read):
        same_frame(m, r)
        assert r.timestamp == m.timestamp
        if not m.is_error_frame:  # python-can reads error frames without a channel
            assert r.channel == f"can{m.channel}"


def test_asc_read_by_python_can(tmp_path):
    messages, read = cantext_writes(tmp_path, "asc")
    assert len(read) == len(messages)
    # python-can gives an ASC file's times from its start, which cantext puts at the first
    # frame's millisecond.
    assert [round(r.timestamp, 6) for r in read] == [round(m.timestamp - 1700000000.123, 6) for m in messages]
    for m, r in zip(messages, read):
        same_frame(m, r)
        assert r.channel == m.channel


def test_trc_read_by_python_can(tmp_path):
    messages, read = cantext_writes(tmp_path, "trc")
    # python-can reads only classic data frames of TRC 2.1, and bus N as its channel N.
    kept = [m for m in messages if not (m.is_fd or m.is_remote_frame or m.is_error_frame)]
    assert len(read) == len(kept)
    assert offsets([r.timestamp for r in read]) == offsets([m.timestamp for m in kept])
    for m, r in zip(kept, read):
        same_frame(m, r)
        assert r.channel == m.channel + 1


def test_python_can_reads_an_empty_can_fd_frame_as_remote(tmp_path):
    # Shown, so that a python-can that mends it is noticed and the docs follow.
    source = tmp_path / "source.log"
    source.write_text("(1700000000.000000) can0 123##1 R\n")
    target = tmp_path / "out.asc"
    target.write_text(convert(source, "asc"))
    (r,) = can.LogReader(str(target))
    assert r.is_fd and r.is_remote_frame
    assert convert(target, "log") == "(1700000000.000000) can0 123##1 R\n"
