# SPDX-License-Identifier: MIT
"""Text forms of CAN and CAN FD frames.

Parses compact notation ("123#DEADBEEF") into frames and renders them in the long,
column-aligned form, back in compact notation, or, for error frames, in words, with the
routines of the cantext C++ library; reads capture logs (the log format, Vector ASC, PEAK TRC)
into NumPy columns (read_log) or python-can messages (iter_messages), and writes them
(Log.write).
"""

from ._cantext import (
    CAN_EFF_FLAG,
    CAN_EFF_MASK,
    CAN_ERR_FLAG,
    CAN_ERR_MASK,
    CAN_MAX_DLEN,
    CAN_RTR_FLAG,
    CAN_SFF_MASK,
    CANFD_BRS,
    CANFD_ESI,
    CANFD_FDF,
    CANFD_MAX_DLEN,
    NO_TIME,
    Frame,
    __version__,
    dlc_to_len,
    hex_to_bytes,
    len_to_dlc,
    parse,
)
from . import dbc
from .log import Log, LogFrame, iter_messages, read_log

__all__ = [
    "CAN_EFF_FLAG",
    "CAN_EFF_MASK",
    "CAN_ERR_FLAG",
    "CAN_ERR_MASK",
    "CAN_MAX_DLEN",
    "CAN_RTR_FLAG",
    "CAN_SFF_MASK",
    "CANFD_BRS",
    "CANFD_ESI",
    "CANFD_FDF",
    "CANFD_MAX_DLEN",
    "NO_TIME",
    "Frame",
    "Log",
    "LogFrame",
    "dlc_to_len",
    "hex_to_bytes",
    "iter_messages",
    "len_to_dlc",
    "parse",
    "read_log",
]
