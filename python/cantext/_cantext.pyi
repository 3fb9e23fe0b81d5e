# SPDX-License-Identifier: MIT
# Types of the compiled module; the package cantext re-exports these names.
import os
from typing import Any, BinaryIO, Optional, Union, overload

import numpy as np

__version__: str

CAN_EFF_FLAG: int
CAN_RTR_FLAG: int
CAN_ERR_FLAG: int
CAN_SFF_MASK: int
CAN_EFF_MASK: int
CAN_ERR_MASK: int
CAN_MAX_DLEN: int
CANFD_MAX_DLEN: int
CANFD_BRS: int
CANFD_ESI: int
CANFD_FDF: int
NO_TIME: int

_Text = Union[str, bytes, bytearray, memoryview]

class Frame:
    @overload
    def __init__(self, text: _Text) -> None: ...
    @overload
    def __init__(
        self,
        *,
        can_id: Optional[int] = None,
        id: Optional[int] = None,
        is_extended: Optional[bool] = None,
        is_remote: Optional[bool] = None,
        is_error: Optional[bool] = None,
        is_fd: bool = False,
        flags: int = 0,
        len: Optional[int] = None,
        data: Union[bytes, bytearray, memoryview, list[int], tuple[int, ...]] = b"",
    ) -> None: ...
    @property
    def can_id(self) -> int: ...
    @property
    def id(self) -> int: ...
    @property
    def is_extended(self) -> bool: ...
    @property
    def is_remote(self) -> bool: ...
    @property
    def is_error(self) -> bool: ...
    @property
    def is_fd(self) -> bool: ...
    @property
    def flags(self) -> int: ...
    @property
    def len(self) -> int: ...
    @property
    def data(self) -> bytes: ...
    def long(
        self, *, binary: bool = False, swap: bool = False, ascii: bool = True, align: bool = True
    ) -> str: ...
    def compact(self, *, dots: bool = False) -> str: ...
    def explain(self, sep: Optional[str] = None) -> str: ...
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

def parse(text: _Text) -> Frame: ...
def dlc_to_len(dlc: int) -> int: ...
def len_to_dlc(length: int) -> int: ...
def hex_to_bytes(text: _Text, size: Optional[int] = None) -> bytes: ...

class _LogReader:
    def __init__(
        self, source: Union[str, "os.PathLike[Any]", BinaryIO, bytes, bytearray, memoryview],
        keep_going: bool = False,
    ) -> None: ...
    def read(self, max_lines: int = -1) -> tuple[
        np.ndarray, np.ndarray, np.ndarray, np.ndarray, np.ndarray, np.ndarray, np.ndarray,
        np.ndarray, np.ndarray, np.ndarray, list[str], np.ndarray, list[str]
    ]: ...

def _payloads(log: Any) -> list[bytes]: ...
def _messages(
    cls: type, slots: tuple[Any, ...], channels: list[Any], log: Any, start: int, stop: int
) -> list[Any]: ...
