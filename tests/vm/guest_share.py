# SPDX-License-Identifier: MIT
"""Runs in the emulated PC (make test-guest): the host's folders guest.sh shares are found at
their own paths over the guest's own /tmp, the host's and writable.

    /usr/bin/python3 guest_share.py BUILD

BUILD is the repository's build folder; QUORIL_GUEST_SHARE names the folder under /tmp, with a
space and a comma in its name, that tests/harness/emulated_pc.py shared after writing its own path
into its file from-host.
"""
import os
import re
import sys


def problems(build, scratch):
    # /proc/mounts writes a space in a path as \040.
    with open("/proc/mounts", encoding="utf-8", errors="surrogateescape") as table:
        mounts = {re.sub(r"\\([0-7]{3})", lambda c: chr(int(c.group(1), 8)), f[1]): f[2]
                  for f in (line.split() for line in table)}
    if mounts.get("/tmp") != "tmpfs":
        yield f"/tmp is {mounts.get('/tmp', 'not a mount point')}, not the guest's own tmpfs"
    for folder in (build, scratch):
        if mounts.get(folder) != "9p":
            yield f"{folder} is {mounts.get(folder, 'not a mount point')}, not a 9p share"
            continue
        try:
            probe = os.path.join(folder, f".guest-share-{os.getpid()}")
            with open(probe, "w", encoding="utf-8") as written:
                written.write(folder)
            os.remove(probe)
            if folder == scratch:
                with open(os.path.join(folder, "from-host"), encoding="utf-8") as note:
                    if note.read().rstrip("\n") != scratch:
                        yield f"{scratch}/from-host does not hold what the host wrote"
        except OSError as error:
            yield f"{folder}: {error}"


def main():
    scratch = os.environ.get("QUORIL_GUEST_SHARE")
    if len(sys.argv) != 2 or not scratch or os.environ.get("QUORIL_GUEST") != "1":
        print("runs only in the emulated PC, as make test-guest starts it (QUORIL_GUEST_SHARE)")
        return 2
    found = list(problems(sys.argv[1], scratch))
    print("\n".join(found) or f"{sys.argv[1]} and {scratch} are the host's, at their own paths")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
