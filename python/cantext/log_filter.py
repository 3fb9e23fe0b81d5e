# SPDX-License-Identifier: MIT
"""Which frames of a log are kept: read_log's ids, channels, errors_only and no_errors, with the
meaning of the commands' --id, --channel, --errors-only and --no-errors, as the reader's filter
while reading and as a NumPy mask over a Log's columns (Log.select)."""

import numbers

import numpy as np

from ._cantext import CAN_EFF_FLAG, CAN_EFF_MASK, CAN_ERR_FLAG, CAN_SFF_MASK, _FrameFilter


def frame_filter(ids=None, channels=None, errors_only=False, no_errors=False):
    """The reader's filter for these arguments; None where it would keep every frame."""
    if ids is None and channels is None and not errors_only and not no_errors:
        return None
    return _FrameFilter(_id_list(ids), _channel_list(channels), bool(errors_only), bool(no_errors))


def _id_list(ids):
    """ids as the comma-separated items --id takes: a str of them, or an iterable of str items
    and ints.  An int below 0x800 is a standard identifier, one up to 0x1FFFFFFF an extended
    one (an extended identifier below 0x800 is written "00000123")."""
    if ids is None:
        return ""
    if isinstance(ids, (str, numbers.Integral)):
        ids = [ids]
    items = [_id_item(item) for item in ids]
    if not items:
        raise ValueError("ids is empty: None keeps every identifier")
    return ",".join(items)


def _id_item(item):
    if isinstance(item, str):
        return item
    if isinstance(item, numbers.Integral) and not isinstance(item, bool):
        if 0 <= item <= CAN_SFF_MASK:
            return f"{item:03X}"
        if CAN_SFF_MASK < item <= CAN_EFF_MASK:
            return f"{item:08X}"
        raise ValueError(f"an identifier is 0..0x1FFFFFFF, not {item:#x}")
    raise TypeError(f"an identifier is a str or an int, not {type(item).__name__}")


def _channel_list(channels):
    if channels is None:
        return ""
    if isinstance(channels, str):
        channels = [channels]
    names = list(channels)
    if not names:
        raise ValueError("channels is empty: None keeps every channel")
    for name in names:
        if not isinstance(name, str):
            raise TypeError(f"a channel name is a str, not {type(name).__name__}")
        if "," in name:
            raise ValueError(f"a channel name has no comma: {name!r}")
    return ",".join(names)


def kept_rows(log, kept):
    """The rows of a Log that the filter `kept` keeps, as a bool array: the reader's rule
    (frame_filter.cpp), item by item over whole columns."""
    can_id = log.can_id
    error = (can_id & CAN_ERR_FLAG) != 0
    mask = np.ones(len(can_id), dtype=bool)
    if kept.errors_only:
        mask &= error
    if kept.no_errors:
        mask &= ~error
    names = kept.channel_names()
    if names:
        codes = [code for code, name in enumerate(log.channels) if name in names]
        mask &= np.isin(log.channel, np.array(codes, dtype=log.channel.dtype))
    first, last, masks, inverted = kept.id_items()
    if len(first):
        extended = (can_id & CAN_EFF_FLAG) != 0
        # An identifier and its kind, as ranges compare them; an error frame matches none.
        plain = np.where(extended, can_id & np.uint32(CAN_EFF_FLAG | CAN_EFF_MASK),
                         can_id & np.uint32(CAN_SFF_MASK))
        any_item = np.zeros(len(can_id), dtype=bool)
        for low, high, bits, invert in zip(first.tolist(), last.tolist(), masks.tolist(),
                                           inverted.tolist()):
            if bits:
                any_item |= ((can_id & np.uint32(bits)) == (low & bits)) != invert
            else:
                any_item |= ~error & (plain >= low) & (plain <= high)
        mask &= any_item
    return mask
