# SPDX-License-Identifier: MIT
"""read_log against the library's parser on every line of a generated log, from every kind of
source; iter_messages against python-can's reader; odd fields, bad lines and bad sources."""
import importlib.util
import io
import os
import re
import signal
import subprocess
import sys
import time

import numpy as np
import pytest

import cantext
from cantext import log as cantext_log
from test_library_output import SOURCE, program, run

COLUMNS = ["time", "channel", "can_id", "flags", "len", "fd", "direction", "data"]
needs_can = pytest.mark.skipif(importlib.util.find_spec("can") is None, reason="python-can is not installed")


def expected_rows(lines):
    """Each line's row as the library's parser and Python's integers make it."""
    rows = []
    for line in lines:
        first, channel, text = line.split()[:3]
        frame = cantext.parse(text)
        time = re.fullmatch(r"\((\d{1,10})\.(\d{1,9})\)", first)
        ns = int(time[1]) * 10**9 + int(time[2].ljust(9, "0")) if time else cantext.NO_TIME
        ns = cantext.NO_TIME if ns >= 2**63 else ns
        rows.append((ns, channel, frame.can_id, frame.flags, frame.len, frame.is_fd,
                     frame.data.ljust(64, b"\0")))
    return rows


def rows_of(log):
    columns = [log.time.tolist(), log.channel_names().tolist(), log.can_id.tolist(),
               log.flags.tolist(), log.len.tolist(), log.fd.tolist(), [row.tobytes() for row in log.data]]
    return list(zip(*columns))


@pytest.fixture(scope="module")
def generated(tmp_path_factory):
    """A log of every kind of frame, several of the reader's blocks long."""
    path = tmp_path_factory.mktemp("log") / "generated.log"
    path.write_text(run([program("CANTEXT_MAKE_LOG"), "20000", "5"]))
    return path


class SmallReads(io.RawIOBase):
    """A file object whose reads return at most 1000 bytes."""

    def __init__(self, data):
        self.data = io.BytesIO(data)

    def readinto(self, buffer):
        return self.data.readinto(memoryview(buffer)[:1000])


class ReadOnly:
    """A file object with read but no readinto."""

    def __init__(self, data):
        self.read = io.BytesIO(data).read


SOURCES = {
    "str": str,
    "Path": lambda path: path,
    "bytes": lambda path: path.read_bytes(),
    "memoryview": lambda path: memoryview(bytearray(path.read_bytes())),
    "open rb": lambda path: open(path, "rb"),
    "BytesIO": lambda path: io.BytesIO(path.read_bytes()),
    "small reads": lambda path: SmallReads(path.read_bytes()),
    "read only": lambda path: ReadOnly(path.read_bytes()),
}


@pytest.mark.parametrize("source", SOURCES.values(), ids=SOURCES.keys())
def test_read_log_matches_the_parser_on_every_line(generated, source):
    log = cantext.read_log(source(generated))
    lines = generated.read_text().splitlines()
    assert len(log) == len(lines) and log.bad_lines.size == 0 and log.time_text is None
    assert rows_of(log) == expected_rows(lines)
    assert log.channels == ["can0", "can1"] or log.channels == ["can1", "can0"]
    assert log.channel.dtype == np.uint8 and log.data.shape == (len(lines), 64)


PANDAS_COLUMNS = ["time", "channel", "id", "is_extended", "is_remote", "is_error", "is_fd", "brs",
                  "esi", "len", "direction"]


def test_to_pandas_has_the_columns():
    log = cantext.read_log((SOURCE / "examples" / "sample.log").read_bytes())
    frame = log.to_pandas(data="bytes")
    assert list(frame.columns) == PANDAS_COLUMNS + ["data"] and len(frame) == len(log) == 40
    assert frame.time.astype("int64").tolist() == log.time.tolist()
    assert frame.channel.astype(str).tolist() == log.channel_names().tolist()
    assert frame.data.tolist() == [cantext.parse(line.split()[2]).data for line in
                                   (SOURCE / "examples" / "sample.log").read_text().splitlines()]


# First fields and channel names of other shapes: the time, or NO_TIME and the text kept.
ODD_FIELDS = [
    (b"(0.5) can0 001#", 500_000_000, None),
    (b"(9223372036.854775807) can0 001#", 2**63 - 1, None),
    (b"(9223372036.854775808) can0 001#", None, "(9223372036.854775808)"),
    (b"(1700000000) can0 001#", None, "(1700000000)"),
    (b"1700000000.5 can0 001#", None, "1700000000.5"),
    (b"(1.1234567890) can0 001#", None, "(1.1234567890)"),
    (b"(12345678901.5) can0 001#", None, "(12345678901.5)"),
    (b"(-1.5) can0 001#", None, "(-1.5)"),
    (b"(1.) can0 001#", None, "(1.)"),
    (b"(1.5x) can0 001#", None, "(1.5x)"),
    (b"(1.5) " + b"c" * 400 + b" 001#", 1_500_000_000, None),
    (b"(1.5) can\xff 001#", 1_500_000_000, None),
    # After a time, one of the same size and seconds, and some that differ from it a little.
    (b"(1700000000.25) can0 001#", 1_700_000_000_250_000_000, None),
    (b"(1700000000.26) can0 001#", 1_700_000_000_260_000_000, None),
    (b"(1700000000.2x) can0 001#", None, "(1700000000.2x)"),
    (b"(1700000000.27( can0 001#", None, "(1700000000.27("),
    (b"(1700000001.28) can0 001#", 1_700_000_001_280_000_000, None),
    (b"(1700000001.2) can0 001#", 1_700_000_001_200_000_000, None),
]


def test_odd_first_fields_and_channel_names_are_kept():
    log = cantext.read_log(b"\n".join(line for line, _, _ in ODD_FIELDS) + b"\n\n \n")
    assert log.time.tolist() == [cantext.NO_TIME if t is None else t for _, t, _ in ODD_FIELDS]
    assert log.time_text.tolist() == [text for _, _, text in ODD_FIELDS]
    assert log.channel_names().tolist() == [line.split()[1].decode(errors="surrogateescape")
                                            for line, _, _ in ODD_FIELDS]
    assert log.to_pandas().time_text.tolist() == log.time_text.tolist()


def test_channel_names_of_every_length_in_any_order():
    # Names of 1 to 30 bytes (those of up to 8 and of 9 to 16 are compared as words), at random.
    rng = np.random.default_rng(3)
    names = [chr(ord("a") + size % 26) * size for size in range(1, 31)]
    order = [names[i] for i in rng.integers(0, len(names), 20_000)]
    log = cantext.read_log("".join(f"(1.0) {name} 001#\n" for name in order).encode())
    assert log.channel_names().tolist() == order


@needs_can
def test_times_of_every_width_to_nanoseconds_and_seconds():
    # Seconds of 1 to 10 digits and fractions of 1 to 9: exact nanoseconds, and the timestamps
    # float() makes of the text.
    rng = np.random.default_rng(7)
    firsts = [f"({rng.integers(10**(s - 1) if s > 1 else 0, 10**s)}.{rng.integers(0, 10**f):0{f}d})"
              for s in range(1, 11) for f in range(1, 10) for _ in range(40)]
    text = "".join(f"{first} can0 001#\n" for first in firsts).encode()
    assert rows_of(cantext.read_log(text)) == expected_rows(text.decode().splitlines())
    assert [m.timestamp for m in cantext.iter_messages(text)] == [float(first[1:-1]) for first in firsts]


def test_direction_fields():
    lines = [b"001#11 R\r", b"001#11\r", b"001#11 TX", b"001#11 T\0R", b"001#11 \0T", b"001#11  T"]
    log = cantext.read_log(b"".join(b"(1.0) can0 " + line + b"\n" for line in lines)[:-1])
    assert log.direction.tolist() == [b"R", b"", b"", b"T", b"", b"T"]


def test_a_remote_request_has_a_row_of_zeros():
    log = cantext.read_log(b"(1.0) can0 40000123#1122\n(1.0) can0 123#R\n" * 2)
    assert not log.data.any() and log.len.tolist() == [2, 0, 2, 0]


def test_many_channel_names_widen_the_codes():
    log = cantext.read_log("".join(f"(1.0) c{i} 001#\n" for i in range(300)).encode())
    assert log.channel.dtype == np.uint16 and log.channel.tolist() == list(range(300))


# Lines python-can's reader raises on: read as the parser reads them, or reported bad.
REJECTED_BY_PYTHON_CAN = [
    ("(1.0) can0 123##A1122", True),
    ("(1.0) can0 123##F", True),
    ("(1.0) can0 123#11.22.33", True),
    ("(1.0) can0 123##1.11.22", True),
    ("(1.0) can0 123#R8_F", True),
    ("(1.0) can0 123#11 extra", True),
    ("(1.0) can0 123#11 \tT", True),
    ("(1.0) can0 123#00_9", False),
    ("(1.0) can0", False),
    ("# a comment", False),
]


@needs_can
def test_lines_python_can_rejects_are_read_or_reported(tmp_path):
    import can

    lines = [line for line, _ in REJECTED_BY_PYTHON_CAN]
    log = cantext.read_log("\n".join(lines).encode(), keep_going=True)
    assert log.bad_lines.tolist() == [n for n, (_, read) in enumerate(REJECTED_BY_PYTHON_CAN, 1) if not read]
    assert rows_of(log) == expected_rows(line for line, read in REJECTED_BY_PYTHON_CAN if read)
    assert log.direction.tolist() == [b"T" if line.endswith("T") else b"" for line, read in REJECTED_BY_PYTHON_CAN if read]
    for line in lines:
        with pytest.raises(ValueError):
            list(python_can_messages(can, line + "\n", tmp_path))


def python_can_messages(can, text, folder):
    path = folder / "python_can.log"
    path.write_text(text)
    return can.LogReader(str(path))


def message_fields(m):
    return (m.timestamp, m.channel, m.arbitration_id, m.is_extended_id, m.is_remote_frame,
            m.is_error_frame, m.is_fd, m.bitrate_switch, m.error_state_indicator, m.dlc,
            type(m.data), bytes(m.data), m.is_rx)


# Lines of shapes the generated log lacks, which python-can reads correctly.
MORE_LINES = ["(1.5) 0 123#11", "(1700000000) can0 7FF#", "(0.123456789) vcan0 123#R5",
              "(-1.5) 12 12345678#R", "(1.25) can0 123##9", "(1.5) can0 123#11 R", "(1.5) can0 123#R T",
              "(1.5) can0 123##1  T"]


@needs_can
@pytest.mark.parametrize("message_class", ["can.Message", "a subclass, called with keywords"])
def test_iter_messages_equal_python_cans_on_what_it_reads(generated, monkeypatch, tmp_path, message_class):
    import can

    if message_class != "can.Message":
        monkeypatch.setattr(can, "Message", type("Message", (can.Message,), {}))

    # python-can stops at CAN FD flag digits A-F and "." separators: those lines are left out.
    lines = [line for line in generated.read_text().splitlines()
             if "." not in line.split()[2] and not re.search("##[A-F]", line)] + MORE_LINES
    text = "\n".join(lines) + "\n"
    monkeypatch.setattr(cantext_log, "_MESSAGE_BATCH", 777)  # batches meet in the log
    ours = list(cantext.iter_messages(text.encode()))
    theirs = list(python_can_messages(can, text, tmp_path))
    assert len(ours) == len(theirs) == len(lines) > 15000
    frames = [cantext.parse(line.split()[2]) for line in lines]
    compared = 0
    for m, reference, frame in zip(ours, theirs, frames):
        assert isinstance(m, can.Message)
        if frame.is_error:  # python-can reads these as data frames
            assert (m.is_error_frame, m.arbitration_id, bytes(m.data)) == (True, frame.id, frame.data)
            continue
        assert message_fields(m) == message_fields(reference)
        compared += 1
    assert compared > 0.9 * len(lines)


@needs_can
def test_iter_messages_skips_bad_lines_and_bad_times_with_keep_going():
    text = b"(1.0) can0 001#\n(x) can0 002#\nbad\n(1.5) can0 003#\n"
    assert [m.arbitration_id for m in cantext.iter_messages(text, keep_going=True)] == [1, 3]


BAD_INPUT = [
    (lambda: cantext.read_log(b"(1.0) can0 123#11\n(1.1) can0 123#1\n"), ValueError,
     "line 2: not a CAN frame: '(1.1) can0 123#1'"),
    (lambda: cantext.read_log(b"hello world\r\n"), ValueError,
     "line 1: fewer than three fields: 'hello world'"),
    pytest.param(lambda: list(cantext.iter_messages(b"(1.0) can0 123#11\nx y z\n")), ValueError,
                 "line 2: not a CAN frame: 'x y z'", marks=needs_can),
    pytest.param(lambda: list(cantext.iter_messages(b"(1.0) can0 123#11\n(x) can0 123#11\n")),
                 ValueError, "line 2: not a time in seconds: '(x)'", marks=needs_can),
    (lambda: cantext.read_log(b"\n \t\r\n\0(1.0) can0 123#11\n"), ValueError,
     r"line 3: fewer than three fields: '\x00(1.0) can0 123#11'"),
    (lambda: cantext.read_log("missing.log"), FileNotFoundError, "missing.log"),
    (lambda: cantext.read_log(SOURCE), IsADirectoryError, str(SOURCE)),
    (lambda: cantext.read_log(12), TypeError, "bytes-like, not int"),
    (lambda: cantext.read_log(open(SOURCE / "examples" / "sample.log")), TypeError, "binary mode"),
    (lambda: cantext.read_log(io.BufferedReader(Failing())), OSError, "disk on fire"),
]


class Failing(io.RawIOBase):
    def readable(self):
        return True

    def readinto(self, buffer):
        raise OSError("disk on fire")


@pytest.mark.parametrize("call, error, message", BAD_INPUT)
def test_bad_input_raises(call, error, message):
    with pytest.raises(error, match=re.escape(message)):
        call()


# Ctrl-C while read_log reads a FIFO: one that has a line and then nothing, and one that a
# capture keeps full; the child has to end with KeyboardInterrupt either way.
@pytest.mark.parametrize("flowing", [False, True], ids=["waiting", "flowing"])
def test_ctrl_c_ends_a_read_of_a_pipe(tmp_path, flowing):
    fifo = tmp_path / "live"
    os.mkfifo(fifo)
    code = "import cantext, sys; print('reading', flush=True); cantext.read_log(sys.argv[1])"
    child = subprocess.Popen([sys.executable, "-c", code, str(fifo)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    lines = b"(1.0) can0 123#11\n" * (4096 if flowing else 1)
    with open(fifo, "wb", buffering=0) as capture:  # open once the child reads it
        capture.write(lines)
        assert child.stdout.readline() == "reading\n"
        time.sleep(0.3)
        child.send_signal(signal.SIGINT)
        give_up = time.monotonic() + 30
        while child.poll() is None and time.monotonic() < give_up:
            try:
                capture.write(lines) if flowing else time.sleep(0.05)
            except BrokenPipeError:
                break
        try:
            child.wait(timeout=5)
        except subprocess.TimeoutExpired:
            child.kill()
    _, err = child.communicate()
    assert child.returncode != -signal.SIGKILL, "read_log went on reading after Ctrl-C"
    assert child.returncode != 0 and err.rstrip().endswith("KeyboardInterrupt")


def test_ctrl_c_ends_a_read_that_never_ends():
    # Full blocks of NUL bytes, one long bad line, for ever.  The signal comes to another thread,
    # as when it comes while the reading one works between reads: no read is cut short by it.
    code = ("import cantext, signal, threading, time\n"
            "threading.Thread(target=time.sleep, args=(60,), daemon=True).start()\n"
            "signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT})\n"
            "print('reading', flush=True)\n"
            "cantext.read_log('/dev/zero', keep_going=True)\n")
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "reading\n"
    time.sleep(0.3)
    child.send_signal(signal.SIGINT)
    try:
        _, err = child.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        child.kill()
        _, err = child.communicate()
    assert child.returncode != -signal.SIGKILL, "read_log went on reading after Ctrl-C"
    assert err.rstrip().endswith("KeyboardInterrupt")


def test_other_threads_run_while_a_fifo_waits_for_its_writer(tmp_path):
    # The writer is a thread of the same process that opens its end once read_log waits in open().
    fifo = tmp_path / "live"
    os.mkfifo(fifo)
    code = ("import cantext, sys, threading, time\n"
            "def write():\n"
            "    time.sleep(0.3)\n"
            "    with open(sys.argv[1], 'wb') as capture:\n"
            "        capture.write(b'(1.0) can0 123#11\\n')\n"
            "threading.Thread(target=write).start()\n"
            "print(len(cantext.read_log(sys.argv[1])))\n")
    result = subprocess.run([sys.executable, "-c", code, str(fifo)], capture_output=True, text=True,
                            timeout=30)
    assert result.stdout == "1\n"


def test_keep_going_lists_each_bad_line_once():
    long_line = b"(1.2) can0 123#22 " + b"x" * 1200  # pieces: the frame, then two bad ones
    log = cantext.read_log(b"(1.0) can0 123#11\nbad\n\n\0\n" + long_line + b"\n(1.3) can0 001#\n",
                           keep_going=True)
    assert log.bad_lines.dtype == np.int64 and log.bad_lines.tolist() == [2, 4, 5]
    assert log.time.tolist() == [1_000_000_000, 1_200_000_000, 1_300_000_000]


def test_python_can_and_pandas_are_imported_only_when_asked():
    code = ("import sys, cantext; cantext.read_log(b'(1.0) can0 001#\\n');"
            "print('can' in sys.modules, 'pandas' in sys.modules)")
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert result.stdout.split() == ["False", "False"]


def _with_long_lines(count):
    """Short frames between lines of 1500 bytes and more (a frame, then pieces that are not),
    so that split points fall within long lines, the last one without a line break."""
    lines = [b"(1.%d) can0 %03X#11 " % (i, i) + b"x" * (1500 + 37 * i) + b"\n(2.0) can1 002#\n"
             for i in range(count)]
    return b"".join(lines) + b"(3.0) can0 003#33 " + b"y" * 2000


def _frames_in_pieces(text):
    """Pairs of lines joined into one line each, the second starting a piece, before the log:
    two frames read from one line, so that a part reads more rows than it has line breaks."""
    lines = text.split(b"\n")
    joined = [a.ljust(518) + b for a, b in zip(lines[0:-1:50], lines[1::50])]
    return b"\n".join(joined + lines)


# Logs read in parts on threads against one reading: rows, codes, texts, bad lines and errors.
IN_PARTS = {
    "generated": lambda text: text,
    "bad lines": lambda text: b"\n".join(line if i % 997 else b"1 2" for i, line in enumerate(text.split(b"\n"), 1)),
    "a bad line last": lambda text: text + b"\n(9.0) can0 12345678X#\n",
    "odd first fields": lambda text: b"\n".join(line for line, _, _ in ODD_FIELDS) * 500 + b"\n",
    "many channels": lambda text: "".join(f"(1.0) c{i * 7919 % 700} 001#\n" for i in range(3000)).encode(),
    "long lines": lambda text: _with_long_lines(60),
    "frames in pieces of long lines": lambda text: _frames_in_pieces(text),
}


def _read_or_error(source, keep_going, parts):
    try:
        return cantext_log.Log(cantext._cantext._LogReader(source, keep_going).read(parts=parts))
    except ValueError as e:
        return str(e)


@pytest.mark.parametrize("keep_going", [True, False])
@pytest.mark.parametrize("make", IN_PARTS.values(), ids=IN_PARTS.keys())
def test_reading_in_parts_equals_one_reading(generated, tmp_path, make, keep_going):
    text = make(generated.read_bytes())
    path = tmp_path / "parts.log"
    path.write_bytes(text)
    one = _read_or_error(text, keep_going, 1)
    if isinstance(one, str):
        assert one.startswith("line ")
    else:
        assert len(one) > 0
    for source in (text, str(path)):
        for count in (2, 3, 7):
            parts = _read_or_error(source, keep_going, count)
            assert type(parts) is type(one)
            if isinstance(one, str):
                assert parts == one
                continue
            for name in COLUMNS + ["bad_lines", "channels"]:
                assert np.array_equal(getattr(parts, name), getattr(one, name)), (count, name)
                assert np.asarray(getattr(parts, name)).dtype == np.asarray(getattr(one, name)).dtype
            assert (parts.time_text is None) == (one.time_text is None)
            if one.time_text is not None:
                assert parts.time_text.tolist() == one.time_text.tolist()


def test_a_large_log_is_read_in_parts_as_in_one(generated):
    text = generated.read_bytes() * 6  # over 4 MiB
    assert len(text) >= 4 << 20
    one, parts = (cantext_log.Log(cantext._cantext._LogReader(text).read(parts=p)) for p in (1, 0))
    assert all(np.array_equal(getattr(parts, name), getattr(one, name)) for name in COLUMNS)


def test_nothing_of_a_dropped_log_shows_in_the_next():
    """Columns take the memory of logs dropped before (read in parts and in one)."""
    for count in (30_000, 300_000):
        log = cantext.read_log((b"(1.0) can0 123##1" + b"AB" * 64 + b"\n") * count)
        del log
        log = cantext.read_log(b"(2.0) can1 7FF#\n" * count)
        assert (log.time == 2 * 10**9).all() and log.channels == ["can1"] and (log.channel == 0).all()
        assert not log.data.any() and not log.len.any() and not log.fd.any() and not log.flags.any()


class PieceReads(io.RawIOBase):
    """A file object whose reads give one piece (518 bytes) at most."""

    def __init__(self, data):
        self.data = io.BytesIO(data)

    def readable(self):
        return True

    def readinto(self, buffer):
        return self.data.readinto(memoryview(buffer)[:518])


# A frame that ends where a piece of a long line ends: the direction after it is in the next
# piece, which is a line of its own.  A NUL first: a bad line, not a blank one.
@pytest.mark.parametrize("text, direction, bad", [
    (b"(1.0) can0" + b" " * 502 + b"123#11 R\n", [b""], [1]),
    (b"\0(1.0) can0 123#11\n \n(1.0) can0 123#22 T\n", [b"T"], [1]),
])
def test_a_line_reads_alike_however_it_is_delivered(text, direction, bad):
    for source in (text, PieceReads(text)):
        log = cantext.read_log(source, keep_going=True)
        assert log.direction.tolist() == direction
        assert list(log.bad_lines) == bad
