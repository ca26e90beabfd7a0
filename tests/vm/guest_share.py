# SPDX-License-Identifier: MIT
"""Runs in the emulated PC (make test-guest, tests/vm/windows_job.sh): the host's folders that
guest.sh shares are found at their own paths, over the guest's own memory-backed /tmp.

    /usr/bin/python3 guest_share.py BUILD

BUILD is the repository's build folder; QUORIL_GUEST_SHARE names a folder under /tmp with a space
and a comma in its name, which cmake/run-guest-tests.sh made, wrote its own path into (from-host)
and shared too. Each must be a 9p mount point at its own path, the host's folder (the scratch
folder's file is there) and writable.
"""
import os
import re
import sys


def mounts():
    """The guest's mount points and their file system types; /proc/mounts escapes a space as
    \\040 (and a tab, a line break and a backslash likewise)."""
    found = {}
    with open("/proc/mounts", encoding="utf-8", errors="surrogateescape") as table:
        for line in table:
            fields = line.split()
            point = re.sub(r"\\([0-7]{3})", lambda code: chr(int(code.group(1), 8)), fields[1])
            found[point] = fields[2]
    return found


def problems(build, scratch):
    table = mounts()
    if table.get("/tmp") != "tmpfs":
        yield f"/tmp is {table.get('/tmp', 'not a mount point')}, not the guest's own tmpfs"
    for folder in (build, scratch):
        if table.get(folder) != "9p":
            yield f"{folder} is {table.get(folder, 'not a mount point')}, not a 9p share"
            continue
        probe = os.path.join(folder, f".guest-share-probe-{os.getpid()}")
        try:
            with open(probe, "w", encoding="utf-8") as written:
                written.write(folder)
            with open(probe, encoding="utf-8") as read:
                if read.read() != folder:
                    yield f"{folder}: what was written there does not read back"
            os.remove(probe)
        except OSError as error:
            yield f"{folder} is not writable: {error}"
    try:
        with open(os.path.join(scratch, "from-host"), encoding="utf-8") as note:
            if note.read().rstrip("\n") != scratch:
                yield f"{scratch}/from-host does not hold what the host wrote"
    except OSError as error:
        yield f"{scratch} does not show the host's folder: {error}"


def main():
    scratch = os.environ.get("QUORIL_GUEST_SHARE")
    if len(sys.argv) != 2 or not scratch or os.environ.get("QUORIL_GUEST") != "1":
        print("runs only in the emulated PC, as make test-guest starts it (QUORIL_GUEST_SHARE)")
        return 2
    found = list(problems(sys.argv[1], scratch))
    for problem in found:
        print(problem)
    if not found:
        print(f"{sys.argv[1]} and {scratch} are the host's, at their own paths")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
