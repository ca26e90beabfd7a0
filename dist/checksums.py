#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes SHA256SUMS into the kit's build folder, in the form `sha256sum -c` reads.

It lists, by paths relative to that folder, every file at its top level that the build system
did not write for itself (the kit's zip and its checksum, the packages beside it, the Linux
library: whatever `make dist` puts there), then every file inside the given zips at the top
(the kit's: its DLLs, programs and import libraries one by one), under its name in the zip. The
kit's build folder holds the unpacked kit under the same names, and so does a folder the zip was
unpacked in, so `sha256sum -c` checks them there. Each part is in byte order of the names, so
the same files always give the same list.

    checksums.py DIST_FOLDER [ZIP...]
"""
import hashlib
import os
import re
import sys
import zipfile

SUMS = "SHA256SUMS"
# What CMake, CTest and Ninja keep at the top of a build folder, and the Wine decision
# (cmake/QuorilWine.cmake): none of it ships.
BUILD_SYSTEM = re.compile(r"\..*|CMakeCache\.txt|.*\.cmake|.*\.ninja|.*\.tcl|wine\.env|" + SUMS)


def digest_of(stream):
    digest = hashlib.sha256()
    for block in iter(lambda: stream.read(1 << 20), b""):
        digest.update(block)
    return digest.hexdigest()


def checksums(dist, zips):
    """(digest, name) of every artefact, in the order of the list."""
    top = sorted(entry.name for entry in os.scandir(dist)
                 if entry.is_file() and not BUILD_SYSTEM.fullmatch(entry.name))
    for name in top:
        with open(os.path.join(dist, name), "rb") as stream:
            yield digest_of(stream), name
    for zip_name in zips:
        with zipfile.ZipFile(os.path.join(dist, zip_name)) as archive:
            members = sorted(info.filename for info in archive.infolist() if not info.is_dir())
            for member in members:
                with archive.open(member) as stream:
                    yield digest_of(stream), member


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    dist = argv[1]
    lines = [f"{digest}  {name}\n" for digest, name in checksums(dist, argv[2:])]
    with open(os.path.join(dist, SUMS), "w", encoding="utf-8", newline="\n") as stream:
        stream.writelines(lines)
    print(f"{os.path.join(dist, SUMS)}: {len(lines)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
