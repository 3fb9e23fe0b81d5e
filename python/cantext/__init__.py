# SPDX-License-Identifier: MIT
"""Text forms of CAN and CAN FD frames.

Parses compact notation ("123#DEADBEEF") into frames and renders them in the long,
column-aligned form, back in compact notation, or, for error frames, in words, with the
routines of the cantext C++ library.
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
    Frame,
    __version__,
    dlc_to_len,
    hex_to_bytes,
    len_to_dlc,
    parse,
)

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
    "Frame",
    "dlc_to_len",
    "hex_to_bytes",
    "len_to_dlc",
    "parse",
]
