#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes a Windows binary ready to ship, the same whoever builds it and however it is signed.

It is padded with zero bytes to a multiple of 8 bytes, its checksum rewritten, as Authenticode
signing does before it appends the signature: a signed file without its signature is then this
one, byte for byte (a file whose length is a multiple of 8 already keeps its bytes). Its
permissions become 0755, whatever the builder's umask, since packages record them.

    ship_pe.py FILE...
"""
import os
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


def ship(path):
    os.chmod(path, 0o755)
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
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for name in sys.argv[1:]:
        ship(name)
