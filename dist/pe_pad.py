#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Pads a PE file with zero bytes to a multiple of 8 bytes and rewrites its checksum, as
Authenticode signing does before it appends the signature. The shipped binary is then the same
whether signed or not, but for the signature: without it a signed file is this one, byte for
byte. A file whose length is already a multiple of 8 is left as it is.

    pe_pad.py FILE
"""
import struct
import sys

ALIGNMENT = 8


def checksum(image, field):
    """The PE checksum: the file's 16-bit words, the checksum field left out, added with the
    carries folded back in, plus the file's length."""
    words = memoryview(image[:field] + b"\0\0\0\0" + image[field + 4:]).cast("H")
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def pad(path):
    with open(path, "rb") as stream:
        image = bytearray(stream.read())
    if len(image) % ALIGNMENT == 0:
        return
    image += bytes(-len(image) % ALIGNMENT)
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b"PE\0\0":
        sys.exit(f"{path} is not a PE file")
    field = pe_offset + 4 + 20 + 64  # the optional header's CheckSum, in both PE32 and PE32+
    struct.pack_into("<I", image, field, checksum(image, field))
    with open(path, "wb") as stream:
        stream.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    pad(sys.argv[1])
