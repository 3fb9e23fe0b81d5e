# SPDX-License-Identifier: MIT
"""Log.stats: one row per channel and identifier (and per channel and error class for error
frames), with the columns of the stats command, computed over whole columns: a Python step per
row of the result, none per frame."""

import numpy as np

from ._cantext import (CAN_EFF_FLAG, CAN_EFF_MASK, CAN_ERR_FLAG, CAN_SFF_MASK, NO_TIME,
                       _ERROR_CLASS_NAMES)

# The lengths a frame can have (by their length code), and each length's bit.
_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]
_LENGTH_BITS = np.zeros(65, dtype=np.uint16)
_LENGTH_BITS[_LENGTHS] = 1 << np.arange(16, dtype=np.uint16)

# The stats command's columns, its `id` text split into the number, its kind and the error
# class's name.
COLUMNS = ["channel", "id", "is_extended", "count", "first", "last", "mean_period", "min_period",
           "max_period", "rate", "lengths", "errors"]


def _lengths_text(lengths):
    """The lengths as the command writes them: runs of consecutive ones as "first-last"."""
    parts, i = [], 0
    while i < len(lengths):
        j = i
        while j + 1 < len(lengths) and lengths[j + 1] == lengths[j] + 1:
            j += 1
        parts.append(f"{lengths[i]}-{lengths[j]}" if j > i else str(lengths[i]))
        i = j + 1
    return ",".join(parts)


def _entries(log):
    """(row, key) of every frame, and of every error class of each error frame.  The key sorts
    by channel name, then frames before error classes, standard before extended identifiers,
    then by identifier (or class bit)."""
    can_id = log.can_id.astype(np.int64)
    rank = np.empty(max(len(log.channels), 1), dtype=np.int64)
    rank[np.argsort(np.array(log.channels, dtype=object))] = np.arange(len(log.channels))
    channel = rank[log.channel] << 32
    error = (can_id & CAN_ERR_FLAG) != 0
    frames = np.flatnonzero(~error)
    extended = (can_id[frames] & CAN_EFF_FLAG) != 0
    ident = np.where(extended, can_id[frames] & CAN_EFF_MASK, can_id[frames] & CAN_SFF_MASK)
    rows = [frames]
    keys = [channel[frames] | (extended.astype(np.int64) << 30) | ident]
    errors = np.flatnonzero(error)
    for bit in range(len(_ERROR_CLASS_NAMES)):
        with_class = errors[(can_id[errors] >> bit) & 1 != 0]
        rows.append(with_class)
        keys.append(channel[with_class] | (1 << 31) | (1 << bit))
    return np.concatenate(rows), np.concatenate(keys)


def _per_group(out, values, runs, reduce, run_groups):
    """`out` with reduce over each run of `values` (they begin at `runs`) in its group's place."""
    if len(runs):
        out[run_groups] = reduce.reduceat(values, runs)
    return out


def log_stats(log):
    import pandas as pd

    rows, keys = _entries(log)
    order = np.argsort(keys, kind="stable")  # stable: each group's rows in the log's order
    rows, keys = rows[order], keys[order]
    starts = _run_starts(keys)
    group_keys = keys[starts]
    count = np.diff(np.r_[starts, len(keys)])
    group = np.repeat(np.arange(len(starts)), count)

    # Times: those of rows whose first field is a time, in the log's order within a group.
    time = log.time[rows]
    timed = time != NO_TIME
    t, g = time[timed], group[timed]
    n = len(starts)
    first = np.full(n, NO_TIME, dtype=np.int64)
    last = np.full(n, NO_TIME, dtype=np.int64)
    if len(t):
        first_at = _run_starts(g)
        last_at = np.r_[first_at[1:], len(t)] - 1
        first[g[first_at]], last[g[first_at]] = t[first_at], t[last_at]
    # Periods: between a group's consecutive timed frames.
    same = g[1:] == g[:-1]
    period, period_group = (t[1:] - t[:-1])[same], g[1:][same]
    runs = _run_starts(period_group)
    run_groups = period_group[runs]
    period_min = _per_group(np.full(n, NO_TIME), period, runs, np.minimum, run_groups)
    period_max = _per_group(np.full(n, NO_TIME), period, runs, np.maximum, run_groups)
    period_sum = _per_group(np.zeros(n, dtype=np.int64), period, runs, np.add, run_groups)
    period_count = np.zeros(n, dtype=np.int64)
    if len(runs):
        period_count[run_groups] = np.diff(np.r_[runs, len(period)])
    period_mean = np.full(n, NO_TIME, dtype=np.int64)
    with_periods = period_count > 0
    period_mean[with_periods] = period_sum[with_periods] // period_count[with_periods]

    # Lengths seen: a bit per length code in each group, each distinct set of them made a text
    # once.
    seen = _per_group(np.zeros(n, dtype=np.uint16), _LENGTH_BITS[log.len[rows]], starts,
                      np.bitwise_or, np.arange(n))
    masks, which = np.unique(seen, return_inverse=True)
    texts = np.array([_lengths_text([length for code, length in enumerate(_LENGTHS)
                                     if mask >> code & 1]) for mask in masks.tolist()] + [""],
                     dtype=object)
    # Frames a second over the group's time: one fewer than its timed frames, over its span.
    span = (last - first).astype(np.float64)
    rate = np.full(n, np.nan)
    rated = with_periods & (span > 0)
    rate[rated] = period_count[rated] * 1e9 / span[rated]

    is_error = (group_keys >> 31) & 1 != 0
    ident = group_keys & ((1 << 30) - 1)
    error_names = np.array([""] + list(_ERROR_CLASS_NAMES), dtype=object)
    return pd.DataFrame({
        "channel": pd.Categorical.from_codes(group_keys >> 32, sorted(log.channels)),
        "id": ident.astype(np.uint32),
        "is_extended": ((group_keys >> 30) & 1).astype(bool),
        "count": count.astype(np.int64),
        "first": first.view("datetime64[ns]"),
        "last": last.view("datetime64[ns]"),
        "mean_period": period_mean.view("timedelta64[ns]"),
        "min_period": period_min.view("timedelta64[ns]"),
        "max_period": period_max.view("timedelta64[ns]"),
        "rate": rate,
        "lengths": texts[which.reshape(-1)],
        "errors": error_names[np.where(is_error, _bit_number(ident) + 1, 0)],
    }, columns=COLUMNS)


def _run_starts(values):
    """Where each run of equal values of a sorted array begins."""
    return np.flatnonzero(np.r_[True, values[1:] != values[:-1]]) if len(values) else \
        np.zeros(0, dtype=np.intp)


def _bit_number(single_bits):
    """The number of the one bit set in each value (0 for 1)."""
    return np.log2(np.maximum(single_bits, 1)).astype(np.int64)
