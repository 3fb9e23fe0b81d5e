# SPDX-License-Identifier: MIT
import math
import pickle
import random
from pathlib import Path

import numpy as np
import pytest

import cantext
from cantext import dbc

DATA = Path(__file__).resolve().parents[2] / "tests" / "dbc" / "data"
FILES = ["features.dbc", "extended_mux.dbc"]


@pytest.fixture(scope="module")
def features():
    return dbc.load_file(DATA / "features.dbc")


def random_frames(db, rng, count):
    """Random payloads of random messages, multiplexers mostly on values that select something."""
    frames = []
    for _ in range(count):
        message = rng.choice(db.messages)
        data = bytearray(rng.getrandbits(8) for _ in range(message.length))
        for signal in message.signals:
            if signal.is_multiplexer and signal.byte_order == "little_endian" and rng.random() < 0.8:
                data[signal.start // 8] = rng.choice([0, 1, 2, 3, 5, 7, 11, 16, 17, 34])
        frames.append((message, bytes(data)))
    return frames


@pytest.mark.parametrize("name", FILES)
def test_encode_gives_back_what_decode_gave(name):
    db = dbc.load_file(DATA / name)
    for message, data in random_frames(db, random.Random(1), 500):
        for scaling in (True, False):
            values = db.decode_message(message.name, data, scaling=scaling)
            again = db.encode_message(message.name, values, scaling=scaling)
            back = db.decode_message(message.name, again, scaling=scaling)
            assert back.keys() == values.keys()
            # Random float bits hold NaNs, which encode to NaN but compare unequal.
            assert all(back[k] == v or v != v and back[k] != back[k] for k, v in values.items())


# (message, data, keywords, expected): value types follow the file's scale and offset.
DECODED = [
    ("EngineData", "1027320FE30180FF", {},
     {"EngineSpeed": 2500.0, "CoolantTemp": 10, "Torque": 127.0, "Gear": "Drive",
      "Throttle": 48 * 0.1, "Flags": 255}),
    ("EngineData", "1027320FE30180FF", {"decode_choices": False}, {"Gear": 3}),
    ("EngineData", "1027320FE30180FF", {"scaling": False},
     {"EngineSpeed": 10000, "CoolantTemp": 50, "Torque": 254, "Gear": "Drive", "Throttle": 48}),
    ("Multiplexed", "0012345600020080", {}, {"Page": 0, "Level": 6675.0, "Always": -128}),
    ("Measurements", "0000C03F400921FB54442D1801000000", {},
     {"Voltage": 1.5, "Current": math.pi, "Status": 1}),
]


@pytest.mark.parametrize("message, data, keywords, expected", DECODED)
def test_decode_message_values_and_types(features, message, data, keywords, expected):
    payload = bytes.fromhex(data)
    values = features.decode_message(message, payload, **keywords)
    for name, value in expected.items():
        assert values[name] == value and type(values[name]) is type(value), name


def test_decode_of_page_one_selects_its_signals(features):
    values = features.decode_message(768, bytes.fromhex("0112345600020080"))
    assert set(values) == {"Page", "Pressure", "Alarm", "Always"}
    assert values["Alarm"] == "Fault"


ERRORS = [
    (lambda db: db.decode_message(0x555, bytes(8)), KeyError),
    (lambda db: db.decode_message("Nothing", bytes(8)), KeyError),
    (lambda db: db.decode_message(256, bytes(7)), ValueError),
    (lambda db: db.get_message_by_frame_id(0x18FEF100 | 0x40000000), KeyError),
    (lambda db: db.encode_message(256, {"EngineSpeed": 1}), ValueError),
    (lambda db: db.encode_message(256, {"Nothing": 1}), KeyError),
    (lambda db: db.encode_message(768, {"Page": 0, "Level": 1e9, "Always": 0}), ValueError),
    (lambda db: db.encode_message(768, {"Page": 1, "Pressure": 0, "Alarm": "Loud",
                                        "Always": 0}), ValueError),
    (lambda db: db.encode_message(768, {"Page": 256, "Always": 0}, scaling=False), ValueError),
]


@pytest.mark.parametrize("call, error", ERRORS)
def test_errors(features, call, error):
    with pytest.raises(error):
        call(features)


def test_load_errors_name_the_place(tmp_path):
    with pytest.raises(ValueError, match=r"^<string>:2:10: a message has at most 64 bytes"):
        dbc.load_string("\nBO_ 1 A: 65 X\n")
    path = tmp_path / "bad.dbc"
    path.write_bytes(b"BO_ 1 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n")
    with pytest.raises(ValueError, match=r"bad\.dbc:3:2: signal name 'S' is used twice"):
        dbc.load_file(path)
    with pytest.raises(OSError):
        dbc.load_file(tmp_path / "missing.dbc")


def test_lookups_and_definitions(features):
    body = features.get_message_by_frame_id(0x18FEF100)
    assert body is features.get_message_by_frame_id(0x18FEF100 | cantext.CAN_EFF_FLAG)
    assert body is features.get_message_by_name("BodyStatus")
    assert (body.is_extended_frame, body.length, body.cycle_time) == (True, 8, 100)
    engine = features.get_message_by_name("EngineData")
    assert engine.comment == "Engine state, every 10 ms"
    torque = engine.get_signal_by_name("Torque")
    assert (torque.byte_order, torque.is_signed, torque.scale, torque.unit) == (
        "big_endian", True, 0.5, "Nm")
    assert engine.get_signal_by_name("Gear").choices == {0: "Park", 1: "Reverse", 2: "Neutral",
                                                         3: "Drive"}
    assert features.get_message_by_name("LongFD").is_fd


def log_of(frames, rng):
    lines = []
    for i, (message, data) in enumerate(frames):
        can_id = f"{message.frame_id:08X}" if message.is_extended_frame else f"{message.frame_id:03X}"
        body = ("##0" if message.length > 8 else "#") + data.hex()
        lines.append(f"({1000 + i}.000001) can{rng.randrange(2)} {can_id}{body}\n")
    lines.append("(5.0) can0 7FF#00\n(5.1) can0 100#0011\n")  # unknown, then too short
    return cantext.read_log("".join(lines).encode())


@pytest.mark.parametrize("name", FILES)
@pytest.mark.parametrize("scaling", [True, False])
def test_decode_log_agrees_with_decode_message(name, scaling):
    db = dbc.load_file(DATA / name)
    rng = random.Random(5)
    frames = random_frames(db, rng, 2000)
    log = log_of(frames, rng)
    columns = db.decode_log(log, scaling=scaling)
    assert sum(len(c) for c in columns.values()) == len(frames)
    seen = dict.fromkeys(columns, 0)
    for row, (message, data) in enumerate(frames):
        decoded = db.decode_message(message.name, data, decode_choices=False, scaling=scaling)
        c = columns[message.name]
        k = seen[message.name]
        seen[message.name] += 1
        assert c.time[k] == log.time[row] and c.channel[k] == log.channel[row]
        for signal in message.signals:
            value = c[signal.name][k]
            if signal.name not in decoded:
                assert np.isnan(value), signal.name
                continue
            expected = decoded[signal.name]
            if signal.choices and scaling:  # the column holds the choice's raw code
                expected = db.decode_message(message.name, data, False, False)[signal.name]
            assert value == expected or (np.isnan(value) and np.isnan(expected)), signal.name
        integer_columns = [s.name for s in message.signals
                           if not s.is_float and not s.multiplexer
                           and (not scaling or s.choices or isinstance(s.scale, int))]
        assert all(c[n].dtype.kind in "iu" for n in integer_columns)


def test_to_pandas_makes_choices_categories(features):
    pytest.importorskip("pandas")
    log = cantext.read_log(b"(1.0) can0 300#0112345600020080\n(2.0) can1 300#0012345600000080\n"
                           b"(3.0) can1 300#0112345600030080\n")
    frame = features.decode_log(log)["Multiplexed"].to_pandas()
    assert frame["Alarm"].astype(object).tolist()[::2] == ["Fault", "3"]
    assert frame["Alarm"].isna().tolist() == [False, True, False]
    assert frame["Always"].astype(str).tolist() == ["-128"] * 3
    assert frame["channel"].astype(str).tolist() == ["can0", "can1", "can1"]
    assert str(frame["time"].dtype) == "datetime64[ns]"


def test_a_database_pickles_as_its_text(features):
    # As a process of a pool or a Dask cluster receives it.
    again = pickle.loads(pickle.dumps(features))
    data = bytes.fromhex("1027320FE30180FF")
    assert again.decode_message("EngineData", data) == features.decode_message("EngineData", data)
    assert [m.name for m in again.messages] == [m.name for m in features.messages]
