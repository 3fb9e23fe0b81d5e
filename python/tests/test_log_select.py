# SPDX-License-Identifier: MIT
"""Frames kept by identifier, channel and error while reading (read_log in one and in parts) and
by Log.select, against a model of each case written as a predicate on the frame."""
import numpy as np
import pytest

import cantext
from cantext.log import Log, frame_filter
from test_library_output import program, run

EFF = cantext.CAN_EFF_FLAG

# Lines that the cases below keep, among the generated log's.
EXTRA = b"".join(b"(1.0) can%d %s#11\n" % (i % 3, ident) for i, ident in enumerate(
    [b"123", b"7E5", b"7EF", b"7F0", b"18FEF1AB", b"18FEF200", b"00000123", b"100", b"1FF"] * 3))

# (arguments, which frames they keep): f a Frame, ch its channel name.
CASES = [
    (dict(ids="123"), lambda f, ch: not f.is_error and not f.is_extended and f.id == 0x123),
    (dict(ids="00000123"), lambda f, ch: not f.is_error and f.is_extended and f.id == 0x123),
    (dict(ids="7E0-7EF"), lambda f, ch: not f.is_error and not f.is_extended and 0x7E0 <= f.id <= 0x7EF),
    (dict(ids="18FEF100:1FFFFF00"), lambda f, ch: f.is_extended and f.id & 0x1FFFFF00 == 0x18FEF100),
    (dict(ids="~100:700"), lambda f, ch: f.can_id & (0x700 | EFF) != 0x100),
    (dict(ids=[0x123, 0x18FEF1AB, "7F0"]),
     lambda f, ch: not f.is_error and (f.id, f.is_extended) in {(0x123, False), (0x18FEF1AB, True), (0x7F0, False)}),
    (dict(channels="can1"), lambda f, ch: ch == "can1"),
    (dict(channels=["can2", "can0"], ids="100-1FF"),
     lambda f, ch: ch != "can1" and not f.is_error and not f.is_extended and 0x100 <= f.id <= 0x1FF),
    (dict(errors_only=True), lambda f, ch: f.is_error),
    (dict(no_errors=True, channels="can0"), lambda f, ch: not f.is_error and ch == "can0"),
]


@pytest.fixture(scope="module")
def text():
    return run([program("CANTEXT_MAKE_LOG"), "5000", "9"]).encode().replace(b"can1", b"can2", 500) + EXTRA


@pytest.mark.parametrize("arguments, keeps", CASES, ids=[str(a) for a, _ in CASES])
def test_reading_and_select_keep_the_frames_the_model_keeps(text, arguments, keeps):
    whole = cantext.read_log(text)
    expected = np.array([keeps(frame, frame.channel) for frame in whole])
    assert 0 < expected.sum() < len(whole)
    selected = whole.select(**arguments)
    kept = frame_filter(**arguments)
    read = [cantext.read_log(text, **arguments)] + [
        Log(cantext._cantext._LogReader(text, False, None, kept).read(parts=parts)) for parts in (2, 5)]
    for log in [selected] + read:
        for name in ("time", "can_id", "len", "data", "direction"):
            assert np.array_equal(getattr(log, name), getattr(whole, name)[expected]), name
        assert log.channel_names().tolist() == whole.channel_names()[expected].tolist()


BAD_ARGUMENTS = [
    (dict(ids="12"), ValueError, "ids '12': an identifier is 3 or 8 hex digits"),
    (dict(ids="7EF-7E0"), ValueError, "an identifier is 3 or 8 hex digits"),
    (dict(ids="~123"), ValueError, "items are ID, ID-ID, ID:MASK or ~ID:MASK"),
    (dict(ids=[]), ValueError, "ids is empty"),
    (dict(ids=0x20000000), ValueError, "an identifier is 0..0x1FFFFFFF"),
    (dict(ids=[1.5]), TypeError, "not float"),
    (dict(channels="a,b".split(",") + ["c,d"]), ValueError, "no comma"),
    (dict(channels="x" * 33), ValueError, "1 to 32 characters"),
    (dict(errors_only=True, no_errors=True), ValueError, "keep nothing"),
]


@pytest.mark.parametrize("arguments, error, message", BAD_ARGUMENTS)
def test_bad_filters_raise(arguments, error, message):
    for call in (lambda: cantext.read_log(b"", **arguments), lambda: cantext.read_log(b"").select(**arguments)):
        with pytest.raises(error, match=message):
            call()
