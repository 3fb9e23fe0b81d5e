# SPDX-License-Identifier: MIT
"""The Log as a sequence (len, rows as LogFrames, slices, masks, iteration), its decoded pandas
columns and its statistics, each against the frames that cantext.parse makes of the lines."""
import numpy as np
import pytest

import cantext
from test_library_output import program, run

pd = pytest.importorskip("pandas")


@pytest.fixture(scope="module")
def lines():
    text = run([program("CANTEXT_MAKE_LOG"), "3000", "4"])
    # Directions, and times with nanoseconds, which the generator does not write.
    out = [line + " T" if i % 3 == 1 else line + " R" if i % 3 == 2 else line
           for i, line in enumerate(text.splitlines())]
    return out + ["(1700000000.123456789) can7 18FEF100##3AABB T"]


@pytest.fixture(scope="module")
def log(lines):
    return cantext.read_log("\n".join(lines).encode())


def expected_frame(line):
    first, channel, frame = line.split()[:3]
    direction = line.split()[3] if len(line.split()) > 3 else ""
    seconds, fraction = first[1:-1].split(".")
    return cantext.parse(frame), int(seconds) * 10**9 + int(fraction.ljust(9, "0")), channel, direction


def test_rows_are_frames_with_their_time_channel_and_direction(log, lines):
    assert len(log) == len(lines)
    for row, line in zip(log, lines):
        assert (row, row.time, row.channel, row.direction) == expected_frame(line)
    assert log[-1] == log[len(log) - 1] == cantext.parse("18FEF100##3AABB")
    with pytest.raises(IndexError):
        log[len(log)]


@pytest.mark.parametrize("key", [slice(10, 50, 3), slice(None, None, -1), "mask", [5, 2, 2]])
def test_slices_masks_and_row_lists_give_a_log_of_those_rows(log, lines, key):
    if key == "mask":
        key = log.fd & (log.channel == 0)
    part = log[key]
    rows = np.arange(len(lines))[key]
    assert [(f, f.time, f.channel, f.direction) for f in part] == [expected_frame(lines[i]) for i in rows]
    assert part.channels == log.channels and part.data.shape == (len(rows), 64)


@pytest.mark.parametrize("data", ["columns", "bytes", None])
def test_to_pandas_decodes_each_frame(log, data):
    df = log.to_pandas(data=data)
    frames = list(log)
    decoded = {"id": [f.id for f in frames], "is_extended": [f.is_extended for f in frames],
               "is_remote": [f.is_remote for f in frames], "is_error": [f.is_error for f in frames],
               "is_fd": [f.is_fd for f in frames], "brs": [bool(f.flags & cantext.CANFD_BRS) for f in frames],
               "esi": [bool(f.flags & cantext.CANFD_ESI) for f in frames], "len": [f.len for f in frames],
               "direction": [f.direction for f in frames], "channel": [f.channel for f in frames],
               "time": [f.time for f in frames]}
    for name, values in decoded.items():
        column = df[name].astype("int64") if name == "time" else df[name]
        assert column.tolist() == values, name
    assert df.direction.dtype == "category" and df.channel.dtype == "category"
    if data == "bytes":
        assert df.data.tolist() == [f.data for f in frames]
    elif data == "columns":
        width = max(f.len for f in frames)
        assert [c for c in df.columns if c.startswith("data")] == [f"data{k}" for k in range(width)]
        assert np.array_equal(df[[f"data{k}" for k in range(width)]].to_numpy(), log.data[:, :width])
    else:
        assert not any(c.startswith("data") for c in df.columns)


STATS_LOG = b"""(10.000) can1 123#11
(10.010) can1 123#1122
(10.030) can1 123#R
(10.000) can0 18FEF100#01
(10.100) can0 2000008C#0000000000000000
(10.500) can0 20000080#0000000000000000
(11.000) can0 18FEF100#02
(x) can0 18FEF100#03
"""
S, MS = 10**9, 10**6
NAT = None
STATS = [  # channel, id, is_extended, count, first, last, mean, min, max, lengths, errors
    ("can0", 0x18FEF100, True, 3, 10 * S, 11 * S, S, S, S, "1", ""),
    ("can0", 0x4, False, 1, 10 * S + 100 * MS, 10 * S + 100 * MS, NAT, NAT, NAT, "8", "controller-problem"),
    ("can0", 0x8, False, 1, 10 * S + 100 * MS, 10 * S + 100 * MS, NAT, NAT, NAT, "8", "protocol-violation"),
    ("can0", 0x80, False, 2, 10 * S + 100 * MS, 10 * S + 500 * MS, 400 * MS, 400 * MS, 400 * MS, "8", "bus-error"),
    ("can1", 0x123, False, 3, 10 * S, 10 * S + 30 * MS, 15 * MS, 10 * MS, 20 * MS, "0-2", ""),
]


def test_stats_has_a_row_per_channel_and_identifier_and_error_class():
    stats = cantext.read_log(STATS_LOG).stats()
    assert list(stats.columns) == ["channel", "id", "is_extended", "count", "first", "last", "mean_period",
                                   "min_period", "max_period", "rate", "lengths", "errors"]
    times = ["first", "last", "mean_period", "min_period", "max_period"]
    got = [tuple(None if name in times and pd.isna(v) else v.value if name in times else v
                 for name, v in row.items() if name != "rate") for _, row in stats.iterrows()]
    assert got == STATS


def test_stats_rows_are_the_stats_commands():
    import csv
    import io

    from test_library_output import program, run

    text = run([program("CANTEXT_COMMAND"), "stats", "--csv"], STATS_LOG.decode())
    command = [row for row in csv.DictReader(io.StringIO(text)) if row["id"] != "all"]
    stats = cantext.read_log(STATS_LOG).stats()

    def seconds(value):
        return "" if pd.isna(value) else f"{value.value // 10**9}.{value.value % 10**9 // 10**6:03d}"

    ours = [{"channel": r.channel,
             "id": r.errors or (f"{r.id:08X}" if r.is_extended else f"{r.id:03X}"),
             "count": str(r["count"]), "first": seconds(r["first"]), "last": seconds(r["last"]),
             "mean_period": seconds(r.mean_period), "min_period": seconds(r.min_period),
             "max_period": seconds(r.max_period),
             "rate": "" if pd.isna(r.rate) else f"{r.rate:.3f}", "lengths": r.lengths}
            for _, r in stats.iterrows()]
    assert ours == command


def test_stats_counts_every_frame_once_whatever_the_log(log):
    stats = log.stats()
    frames = stats[stats.errors == ""]
    assert frames["count"].sum() == (~log.to_pandas(data=None).is_error).sum()
    assert not frames.duplicated(["channel", "id", "is_extended"]).any()
    timed = stats.dropna(subset=["mean_period"])
    assert ((timed.min_period <= timed.mean_period) & (timed.mean_period <= timed.max_period)).all()
    assert (stats["count"] > 0).all() and ((stats["count"] > 1) == stats.mean_period.notna()).all()
