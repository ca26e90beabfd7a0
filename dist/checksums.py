#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes SHA256SUMS into the kit's build folder, in the form `sha256sum -c` reads.

It lists the given artefacts, by their names in that folder (the kit's zip and its checksum, the
packages beside it, the Linux library), then every file inside the kit's zip under its name
there (its DLLs, programs and import libraries one by one). The kit's build folder holds the
unpacked kit under the same names, and so does a folder the zip was unpacked in, so
`sha256sum -c` checks them there. Each part is in byte order of the names, so the same files
always give the same list.

    checksums.py DIST_FOLDER KIT_ZIP ARTEFACT...
"""
import hashlib
import os
import sys
import zipfile

SUMS = "SHA256SUMS"


def digest_of(stream):
    digest = hashlib.sha256()
    for block in iter(lambda: stream.read(1 << 20), b""):
        digest.update(block)
    return digest.hexdigest()


def checksums(dist, kit_zip, artefacts):
    """(digest, name) of every artefact, in the order of the list."""
    for name in sorted(artefacts):
        with open(os.path.join(dist, name), "rb") as stream:
            yield digest_of(stream), name
    with zipfile.ZipFile(os.path.join(dist, kit_zip)) as archive:
        for member in sorted(info.filename for info in archive.infolist() if not info.is_dir()):
            with archive.open(member) as stream:
                yield digest_of(stream), member


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    dist = argv[1]
    lines = [f"{digest}  {name}\n" for digest, name in checksums(dist, argv[2], argv[3:])]
    with open(os.path.join(dist, SUMS), "w", encoding="utf-8", newline="\n") as stream:
        stream.writelines(lines)
    print(f"{os.path.join(dist, SUMS)}: {len(lines)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
