# SPDX-License-Identifier: MIT
"""The module against what the C++ library's own programs print for the same frames: the filter
on a generated log and on the sample log, and the example programs."""
import os
import re
import subprocess
from pathlib import Path

import pytest

import cantext

SOURCE = Path(__file__).resolve().parents[2]

# long_views' rows and the keywords of Frame.long that give the same view.
VIEWS = [
    ("hex", {}),
    ("binary", {"binary": True}),
    ("swapped", {"swap": True}),
    ("aligned", {"align": True}),
    ("characters", {"ascii": True}),
]


def program(name):
    """A program of the build tree, as ctest passes it; outside ctest these tests are skipped."""
    variable, _, file = name.partition("/")
    where = os.environ.get(variable)
    if not where:
        pytest.skip(f"{variable} is not set (ctest sets it)")
    return str(Path(where, file))


def run(argv, stdin=""):
    return subprocess.run(argv, input=stdin.encode(), capture_output=True, check=True).stdout.decode()


@pytest.fixture(scope="module", params=["generated", "sample"])
def log_lines(request):
    if request.param == "generated":
        return run([program("CANTEXT_MAKE_LOG"), "20000", "7"]).splitlines()
    return (SOURCE / "examples" / "sample.log").read_text().splitlines()


def test_filter_prints_each_line_as_frame_long(log_lines):
    printed = run([program("CANTEXT_FILTER")], "\n".join(log_lines) + "\n").splitlines()
    assert len(printed) == len(log_lines)
    for line, expected in zip(log_lines, printed):
        first, second, text = line.split()
        frame = cantext.parse(text)
        assert f"{first}  {second}  {frame.long()}" == expected
        assert cantext.parse(frame.compact()) == frame
        assert cantext.parse(frame.compact(dots=True)) == frame


def test_long_views_example_prints_every_view(log_lines):
    texts = [line.split()[2] for line in log_lines]
    expected = []
    for text in texts:
        frame = cantext.parse(text)
        expected.append(text)
        for label, view in VIEWS:
            row = f"  {label:<10}  " + frame.long(**{"ascii": False, "align": False, **view})
            if label == "characters" and frame.is_error:
                row += "\n\t" + frame.explain("\n\t")
            expected.append(row)
    assert run([program("CANTEXT_EXAMPLES/long_views")], "\n".join(texts)) == "\n".join(expected) + "\n"


def test_explain_error_example():
    source = (SOURCE / "examples" / "explain_error.cpp").read_text()
    frame = cantext.parse(re.search(r'parse_frame_text\("([^"]+)"', source).group(1))
    expected = [frame.explain("; "), frame.long(ascii=False, align=False) + "\n\t" + frame.explain("\n\t")]
    assert run([program("CANTEXT_EXAMPLES/explain_error")]) == "\n".join(expected) + "\n"


def test_build_frame_example_frames_from_keywords():
    classic = cantext.Frame(id=0x123, data=bytes.fromhex("DEADBEEF"))
    fd = cantext.Frame(id=0x100, is_fd=True, flags=cantext.CANFD_BRS,
                       data=cantext.hex_to_bytes("000102030405060708090A0B"))
    expected = [
        classic.compact(),
        classic.compact(dots=True),
        cantext.Frame(id=0x18FEF100, is_extended=True, data=b"\xde\xad").compact(),
        cantext.Frame(id=0x245, is_remote=True, len=8).compact(),
        fd.compact(dots=True),
        f"{fd.compact()} reads back unchanged",
    ]
    assert run([program("CANTEXT_EXAMPLES/build_frame")]) == "\n".join(expected) + "\n"


def test_length_codes_example_tables():
    rows = [[int(n) for n in line.split()] for line in run([program("CANTEXT_EXAMPLES/length_codes")]).splitlines()
            if re.fullmatch(r"[\d ]+", line)]
    codes = [row for row in rows if len(row) == 2]
    payloads = [row for row in rows if len(row) == 3]
    assert [code for code, _ in codes] == list(range(16)) and payloads
    assert all(cantext.dlc_to_len(code) == size for code, size in codes)
    assert all((cantext.len_to_dlc(n), cantext.dlc_to_len(code)) == (code, sent) for n, code, sent in payloads)
