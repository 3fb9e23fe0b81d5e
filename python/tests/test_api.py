# SPDX-License-Identifier: MIT
"""What the Python layer adds to the library: frames built from keywords, their properties,
equality, hashing, repr and pickling, the documented exceptions, and the type stub."""
import ast
import doctest
import itertools
import pickle
import re
import shutil
import subprocess
from pathlib import Path

import pytest

import cantext
from cantext import Frame

SOURCE = Path(__file__).resolve().parents[2]

# text, the same frame from keywords, and its properties in the order of PROPERTIES
FRAMES = [
    ("123#DEADBEEF", dict(id=0x123, data=b"\xde\xad\xbe\xef"),
     (0x123, 0x123, False, False, False, False, 0, 4, b"\xde\xad\xbe\xef")),
    (b"12345678#11.22", dict(id=0x12345678, is_extended=True, data=[0x11, 0x22]),
     (0x92345678, 0x12345678, True, False, False, False, 0, 2, b"\x11\x22")),
    ("245#R5", dict(id=0x245, is_remote=True, len=5),
     (0x40000245, 0x245, False, True, False, False, 0, 5, b"")),
    ("20000004#0004", dict(can_id=0x20000004, data=bytearray(b"\x00\x04")),
     (0x20000004, 4, False, False, True, False, 0, 2, b"\x00\x04")),
    ("100##5112233", dict(id=0x100, is_fd=True, flags=5, data=b"\x11\x22\x33"),
     (0x100, 0x100, False, False, False, True, 5, 3, b"\x11\x22\x33")),
    ("800#11", dict(can_id=0x800, data=b"\x11"),  # a standard identifier beyond 11 bits
     (0x800, 0x800, False, False, False, False, 0, 1, b"\x11")),
]
PROPERTIES = ["can_id", "id", "is_extended", "is_remote", "is_error", "is_fd", "flags", "len", "data"]


@pytest.mark.parametrize("text, keywords, expected", FRAMES, ids=[str(row[0]) for row in FRAMES])
def test_frame_from_text_and_keywords(text, keywords, expected):
    frame = cantext.parse(text)
    assert tuple(getattr(frame, name) for name in PROPERTIES) == expected
    built = Frame(**keywords)
    assert built == frame and hash(built) == hash(frame) and Frame(text) == frame
    assert eval(repr(frame), {"Frame": Frame}) == frame
    assert pickle.loads(pickle.dumps(frame)) == frame
    assert str(frame) == frame.compact()


def test_frames_differing_anywhere_are_unequal():
    texts = ["123#11", "123#12", "123#1100", "124#11", "00000123#11", "123##011", "123##111", "123#R1", "123#R2"]
    frames = [cantext.parse(t) for t in texts]
    assert all(a != b for a, b in itertools.combinations(frames, 2))
    assert len(set(frames)) == len(texts)
    assert frames[0] != "123#11" and frames[0] != texts[0].encode()


def test_a_remote_request_has_no_data():
    a, b = cantext.parse("40000123#1122"), cantext.parse("40000123#3344")
    assert a == b and hash(a) == hash(b) and (a.data, a.len) == (b"", 2)
    assert a == Frame(can_id=0xC0000123, len=2) and eval(repr(a), {"Frame": Frame}) == a


def test_explain_holds_any_separator_whole():
    every_class = cantext.parse("200001FF#FFFFFFFFFFFFFFFF")
    sep = " <" + "-" * 40 + "> "
    assert every_class.explain(sep) == every_class.explain("\n\t").replace("\n\t", sep)
    assert every_class.explain().count(",") > 9
    assert cantext.parse("123#11").explain() == ""


BAD = [
    (lambda: cantext.parse("123#1"), ValueError, "not a CAN frame: '123#1'"),
    (lambda: cantext.parse(b"123#DEADBEEF\n"), ValueError, r"b'123#DEADBEEF\n'"),
    (lambda: cantext.parse(""), ValueError, "''"),
    (lambda: Frame("123##"), ValueError, "'123##'"),
    (lambda: cantext.parse(0x123), TypeError, "str or bytes, not int"),
    (lambda: Frame(id=0x800), ValueError, "0x800"),
    (lambda: Frame(id=0x20000000, is_extended=True), ValueError, "0x1FFFFFFF"),
    (lambda: Frame(can_id=1 << 32), ValueError, "can_id"),
    (lambda: Frame(can_id=0x123, is_extended=True), TypeError, "either can_id or id"),
    (lambda: Frame(id="123"), TypeError, "id must be an int"),
    (lambda: Frame(data=bytes(9)), ValueError, "9 bytes"),
    (lambda: Frame(is_fd=True, data=bytes(65)), ValueError, "65 bytes"),
    (lambda: Frame(data="DEADBEEF"), TypeError, "bytes-like"),
    (lambda: Frame(data=None), TypeError, "NoneType"),
    (lambda: Frame(data=[256]), ValueError, "range(0, 256)"),
    (lambda: Frame(flags=1), ValueError, "is_fd=True"),
    (lambda: Frame(is_remote=True, data=b"\x01"), ValueError, "no data"),
    (lambda: Frame(is_remote=True, is_fd=True), ValueError, "remote"),
    (lambda: Frame(is_remote=True, len=9), ValueError, "len"),
    (lambda: Frame(data=b"\x01", len=2), ValueError, "len"),
    (lambda: cantext.parse("2000000C#00").explain("\0"), ValueError, "NUL"),
    (lambda: cantext.hex_to_bytes("ABC"), ValueError, "'ABC'"),
    (lambda: cantext.hex_to_bytes("0102", 1), ValueError, "'0102'"),
    (lambda: cantext.hex_to_bytes("0G"), ValueError, "'0G'"),
    (lambda: cantext.hex_to_bytes(""), ValueError, "''"),
    (lambda: cantext.hex_to_bytes("00", 0), ValueError, "size"),
    (lambda: cantext.dlc_to_len(16), ValueError, "dlc"),
    (lambda: cantext.len_to_dlc(65), ValueError, "length"),
    (lambda: cantext.len_to_dlc(-1), ValueError, "length"),
]


@pytest.mark.parametrize("call, error, quoted", BAD, ids=[row[2] for row in BAD])
def test_bad_input_raises(call, error, quoted):
    with pytest.raises(error, match=re.escape(quoted)):
        call()


def test_hex_to_bytes_fills_the_field():
    assert cantext.hex_to_bytes("0a0B") == b"\x0a\x0b"
    assert cantext.hex_to_bytes(b"01", 3) == b"\x01\x00\x00"


def test_stub_lists_what_the_module_has():
    module = cantext._cantext
    tree = ast.parse(Path(module.__file__).with_name("_cantext.pyi").read_text())
    names = {node.target.id for node in tree.body if isinstance(node, ast.AnnAssign)}
    names |= {node.name for node in tree.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    assert names == {name for name in dir(module) if not name.startswith("__")} | {"__version__"}
    public = {name for name in names if not name.startswith("_")}
    assert set(cantext.__all__) == public | set(cantext.log.__all__)
    frame_stub = next(node for node in tree.body if isinstance(node, ast.ClassDef))
    members = {node.name for node in frame_stub.body if not node.name.startswith("_")}
    assert members == {name for name in dir(Frame) if not name.startswith("_")}
    assert Path(cantext.__file__).with_name("py.typed").exists()


def test_the_readme_installs_what_the_guide_needs_and_ignores_its_environment():
    readme = (SOURCE / "README.md").read_text()
    python_section = readme[readme.index("\n## Python\n"):]
    python_section = python_section[:python_section.find("\n## ", 1)]

    def packages(text):
        return {name for line in re.findall(r"apt-get install ([^\n#]+)", text) for name in line.split()}

    assert packages((SOURCE / "docs" / "python.md").read_text()) <= packages(python_section)
    environment = re.search(r"-m venv \S+ (\S+)", python_section)[1]
    if shutil.which("git") is None:
        pytest.skip("git is not installed")
    ignored = subprocess.run(["git", "-C", SOURCE, "check-ignore", "-q", f"{environment}/bin/python"])
    if ignored.returncode == 128:
        pytest.skip("not a git work tree")
    assert ignored.returncode == 0, f"{environment}/ is not in .gitignore"


def test_documented_examples():
    # The README's Python section and the whole Python guide.
    readme = (SOURCE / "README.md").read_text()
    start = readme.index("\n## Python\n")
    end = readme.find("\n## ", start + 1)
    section = readme[start:end] + (SOURCE / "docs" / "python.md").read_text()
    blocks = re.findall(r"```pycon\n(.*?)```", section, re.S)
    examples = doctest.DocTestParser().get_doctest("".join(blocks), {}, "README", None, 0)
    assert len(examples.examples) > 15
    result = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS).run(examples)
    assert result.failed == 0
