# SPDX-License-Identifier: MIT
"""What the Quoril library tells about this machine.

None stands for a value that is not there. A query the library reports it could not run raises
QuorilError, an OSError naming the export. Every call asks the library afresh, one export call
for each (display_adapter_subsystem_vendors walks the adapters with one call per index); nothing
is kept. The raw exports are in quoril.native.

On Windows, board_product, board_product_and_manufacturer and optical_drive_captions raise
QuorilError on a thread that is already in COM's multithreaded apartment: the library refuses
those questions there. Python's own threads are in no apartment unless a module put them in one.
"""

import struct
from ctypes import Array, c_uint16, create_string_buffer
from typing import List, Optional, Tuple

from . import _header, native

__all__ = [
    "QuorilError", "board_product", "board_product_and_manufacturer", "optical_drive_captions",
    "drive_caption", "cpu_brand_contains", "display_adapter_subsystem_vendor",
    "display_adapter_subsystem_vendors", "has_bluray_drive",
]

__version__: str = _header.VERSION

# The adapter index is a signed 32-bit integer; ctypes would wrap a larger one silently.
_INDEXES = range(-2**31, 2**31)


class QuorilError(OSError):
    """The library answered that a query failed; `export` is the export's name."""

    def __init__(self, export: str) -> None:
        super().__init__("%s failed" % export)
        self.export = export


def _units(count: int) -> "Array[c_uint16]":
    return (c_uint16 * count)()


def _text(buffer: "Array[c_uint16]") -> str:
    units = buffer[:]
    length = units.index(0) if 0 in units else len(units)
    return struct.pack("<%dH" % length, *units[:length]).decode("utf-16-le", "surrogatepass")


def _text_or_none(buffer: "Array[c_uint16]") -> Optional[str]:
    return _text(buffer) or None


def _check(answer: int, export: str) -> None:
    if answer != 1:
        raise QuorilError(export)


def _text_argument(value: object, name: str) -> str:
    if not isinstance(value, str):
        raise TypeError("%s must be str, not %s" % (name, type(value).__name__))
    # The library takes zero-terminated text: a text holding a zero would be cut short there and
    # answer for another text.
    if "\0" in value:
        raise ValueError("%s holds a zero character" % name)
    return value


def _wide(text: str) -> "Array[c_uint16]":
    data = text.encode("utf-16-le", "surrogatepass")
    count = len(data) // 2
    return (c_uint16 * (count + 1))(*struct.unpack("<%dH" % count, data))


def board_product() -> Optional[str]:
    """The system board's product; None when there is none."""
    product = _units(_header.BOARD_TEXT_UNITS)
    _check(native.fnGetPID(product), "fnGetPID")
    return _text_or_none(product)


def board_product_and_manufacturer() -> Tuple[Optional[str], Optional[str]]:
    """(product, manufacturer) of the system board, each None when there is none."""
    product, manufacturer = _units(_header.BOARD_TEXT_UNITS), _units(_header.BOARD_TEXT_UNITS)
    _check(native.fnGetWMIInfo(product, manufacturer), "fnGetWMIInfo")
    return (_text_or_none(product), _text_or_none(manufacturer))


def optical_drive_captions() -> List[str]:
    """The optical drives' captions in listing order (at most ten); empty when there is none."""
    # Room for the whole list: the library's minimum size could leave the tenth caption out.
    buffer = _units(_header.CAPTION_LIST_WHOLE_UNITS)
    _check(native.fnListDriverCaption(buffer, len(buffer)), "fnListDriverCaption")
    # Every caption is followed by "\r\n", so the last piece is always empty.
    return _text(buffer).split("\r\n")[:-1]


def drive_caption(drive: str) -> Optional[str]:
    """The caption of the first optical drive whose name ("D:") occurs in `drive`, letter case
    aside; None when there is none (the library does not tell that from a failed query)."""
    wide = _wide(_text_argument(drive, "drive"))
    caption = _units(_header.CAPTION_UNITS)
    if native.fnGetDriveCaptionW(wide, caption, len(caption)) != 1:
        return None
    return _text_or_none(caption)


def cpu_brand_contains(text: str) -> bool:
    """Whether the processor's brand string contains `text` (as UTF-8, case-sensitive)."""
    return bool(native.fnVoIsCPU(_text_argument(text, "text").encode("utf-8")) == 1)


def display_adapter_subsystem_vendor(index: int) -> Optional[str]:
    """The PCI subsystem vendor of display adapter `index` (four characters, or "" when its
    identifier has none); None past the last adapter (the library does not tell that from a
    failed query)."""
    # bool is an int to Python, but no index.
    if not isinstance(index, int) or isinstance(index, bool):
        raise TypeError("index must be int, not %s" % type(index).__name__)
    if index not in _INDEXES:
        return None
    vendor = create_string_buffer(_header.VENDOR_BYTES)
    if native.fnGetSVID(index, vendor) != 1:
        return None
    return vendor.value.decode("ascii", "replace")


def display_adapter_subsystem_vendors() -> List[str]:
    """The subsystem vendor of every display adapter, in the library's order."""
    vendors: List[str] = []
    for index in _INDEXES[2**31:]:
        vendor = display_adapter_subsystem_vendor(index)
        if vendor is None:
            break
        vendors.append(vendor)
    return vendors


def has_bluray_drive() -> bool:
    """Whether some optical drive reads Blu-ray media. Blocks while each drive answers."""
    return bool(native.hasBDOdd() == 1)
