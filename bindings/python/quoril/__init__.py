# SPDX-License-Identifier: MIT
"""What the Quoril library tells about this machine.

None stands for no answer. Every call asks the library afresh, one export call for each
(display_adapter_subsystem_vendors walks the adapters with one call per index); nothing is kept.
The raw exports are in quoril.native.

On Windows, board_product, board_product_and_manufacturer and optical_drive_captions answer
None on a thread that is already in COM's multithreaded apartment: the library refuses those
questions there. Python's own threads are in no apartment unless a module put them in one.
"""

import struct
from ctypes import c_uint16, create_string_buffer

from . import native

__all__ = [
    "board_product", "board_product_and_manufacturer", "optical_drive_captions",
    "drive_caption", "cpu_brand_contains", "display_adapter_subsystem_vendor",
    "display_adapter_subsystem_vendors", "has_bluray_drive",
]

# A board value: at most 255 units and the terminator.
_BOARD_UNITS = 256
# The whole caption list: ten captions of at most 255 units, each with "\r\n", then the
# terminator (the library's minimum of 2560 units could leave the tenth out).
_CAPTION_LIST_UNITS = 10 * (255 + 2) + 1
_CAPTION_UNITS = 256
_VENDOR_BYTES = 5
# The adapter index is a signed 32-bit integer; ctypes would wrap a larger one silently.
_INDEXES = range(-2**31, 2**31)


def _units(count):
    return (c_uint16 * count)()


def _text(buffer):
    units = buffer[:]
    length = units.index(0) if 0 in units else len(units)
    return struct.pack("<%dH" % length, *units[:length]).decode("utf-16-le", "surrogatepass")


def _text_or_none(buffer):
    return _text(buffer) or None


def _wide(text):
    # The library takes zero-terminated text: a text holding a zero would be cut short there and
    # answer for another text.
    if "\0" in text:
        raise ValueError("text holds a zero character")
    data = text.encode("utf-16-le", "surrogatepass")
    count = len(data) // 2
    return (c_uint16 * (count + 1))(*struct.unpack("<%dH" % count, data))


def board_product():
    """The system board's product; None when there is none or the query failed."""
    product = _units(_BOARD_UNITS)
    return _text_or_none(product) if native.fnGetPID(product) == 1 else None


def board_product_and_manufacturer():
    """(product, manufacturer) of the system board, each None when there is none."""
    product, manufacturer = _units(_BOARD_UNITS), _units(_BOARD_UNITS)
    if native.fnGetWMIInfo(product, manufacturer) != 1:
        return (None, None)
    return (_text_or_none(product), _text_or_none(manufacturer))


def optical_drive_captions():
    """The optical drives' captions in listing order (at most ten): an empty list when there is
    no drive, None when they could not be listed."""
    buffer = _units(_CAPTION_LIST_UNITS)
    if native.fnListDriverCaption(buffer, _CAPTION_LIST_UNITS) != 1:
        return None
    # Every caption is followed by "\r\n", so the last piece is always empty.
    return _text(buffer).split("\r\n")[:-1]


def drive_caption(drive):
    """The caption of the first optical drive whose name ("D:") occurs in `drive`, letter case
    aside; None when there is none."""
    caption = _units(_CAPTION_UNITS)
    if native.fnGetDriveCaptionW(_wide(drive), caption, _CAPTION_UNITS) != 1:
        return None
    return _text_or_none(caption)


def cpu_brand_contains(text):
    """Whether the processor's brand string contains `text` (as UTF-8, case-sensitive)."""
    if "\0" in text:
        raise ValueError("text holds a zero character")
    return native.fnVoIsCPU(text.encode("utf-8")) == 1


def display_adapter_subsystem_vendor(index):
    """The PCI subsystem vendor of display adapter `index` (four characters, or "" when its
    identifier has none); None past the last adapter."""
    if index not in _INDEXES:
        return None
    vendor = create_string_buffer(_VENDOR_BYTES)
    if native.fnGetSVID(index, vendor) != 1:
        return None
    return vendor.value.decode("ascii", "replace")


def display_adapter_subsystem_vendors():
    """The subsystem vendor of every display adapter, in the library's order."""
    vendors = []
    for index in range(2**31):
        vendor = display_adapter_subsystem_vendor(index)
        if vendor is None:
            break
        vendors.append(vendor)
    return vendors


def has_bluray_drive():
    """Whether some optical drive reads Blu-ray media. Blocks while each drive answers."""
    return native.hasBDOdd() == 1
