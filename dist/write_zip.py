#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a zip whose bytes depend on the listed files' contents alone.

The entries come in the order given, each with the same time (the build's SOURCE_DATE_EPOCH,
written as the zip's local date and time of UTC, so the builder's time zone does not enter), the
same owner-free Unix permissions (0755 for Windows programs and libraries, 0644 for everything
else) and no extra fields, which would carry owners and further times. Folders are not entries of
their own: unpacking makes them.

    write_zip.py --time SECONDS ZIP FOLDER MEMBER...

Each MEMBER is a path relative to FOLDER and is stored under that name.
"""
import argparse
import os
import sys
import time
import zipfile

# The earliest time a zip entry can hold.
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)
EXECUTABLE_SUFFIXES = (".dll", ".exe")


def entry_time(seconds):
    return max(ZIP_EPOCH, tuple(time.gmtime(seconds)[:6]))


def write_zip(path, folder, members, seconds):
    when = entry_time(seconds)
    temporary = path + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for member in members:
            info = zipfile.ZipInfo(member, date_time=when)
            info.create_system = 3  # Unix, so that the permissions below are read
            mode = 0o755 if member.lower().endswith(EXECUTABLE_SUFFIXES) else 0o644
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, member), "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--time", type=int, required=True, help="seconds since 1970 (UTC)")
    parser.add_argument("zip")
    parser.add_argument("folder")
    parser.add_argument("members", nargs="+")
    arguments = parser.parse_args()
    write_zip(arguments.zip, arguments.folder, arguments.members, arguments.time)
    return 0


if __name__ == "__main__":
    sys.exit(main())
