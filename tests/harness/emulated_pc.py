# SPDX-License-Identifier: MIT
"""What runs in the emulated PC (tests/vm/guest.sh), in one boot.

    emulated_pc.py job      the test vm.windows_job (make test-guest): boots the PC for the
                            tests that need it, each run through CTest inside it as on a machine
                            that runs them itself: both DLLs' pass-through channel against its
                            real optical drives (label drives); every 32-bit test under Wine
                            where this machine runs no 32-bit programs (windows.py says); the
                            check of the folders shared to it (label guest), one of them under
                            /tmp with a space and a comma in its name. Their results join the
                            other parts' in build/test-results, as guest-<tree>.xml.
    emulated_pc.py report   make run: quoril-info.exe's full report of each built DLL under
                            Wine, here or in the PC, where D: and E: are its two optical drives.
"""
import os
import subprocess
import sys
import tempfile
from pathlib import Path

import windows

ROOT, BUILD = windows.ROOT, windows.BUILD
GUEST = ["sh", str(ROOT / "tests/vm/guest.sh"), "--memory", "3072"]
DRIVES = "/dev/sr0 /dev/sr1"


def layer() -> list[str]:
    """The 32-bit Wine unpacked for the PC, where apt could not install it here."""
    if windows.LOADER["win32"].exists() or not (windows.WINE32_LAYER / ".version").exists():
        return []
    return ["--layer", str(windows.WINE32_LAYER)]


def ctest(run: str, tree: str, *selection: str) -> int:
    return subprocess.run(
        ["ctest", "--test-dir", str(BUILD / tree), "--output-on-failure", "-j",
         os.environ.get("CTEST_JOBS", "2"), "--output-junit",
         str(BUILD / "test-results" / f"guest-{run}.xml"), *selection]).returncode


def inside(share: str, win32: str) -> int:
    """The guest's part: win32 is where this machine placed 32-bit programs."""
    os.environ.update(QUORIL_WINE_CDROMS=DRIVES, QUORIL_GUEST_SHARE=share)
    runs = [("release", "release", "-L", "^guest$")]
    if win32 == "guest":
        runs += [("win32", "win32", "-L", "wine"), ("win32-test", "win32-test")]
        if (BUILD / "dist/CTestTestfile.cmake").exists():
            # The kit's programs were built, and the kit unpacked, outside: only runs are left.
            runs.append(("dist", "dist", "-L", "^win32$", "-FA", ".*"))
    else:
        runs.append(("win32-test", "win32-test", "-L", "^drives$"))
    runs.append(("win64-test", "win64-test", "-L", "^drives$"))
    failed = [run for run, *arguments in runs if ctest(run, *arguments) != 0]
    windows.stop()
    return 1 if failed else 0


def job() -> int:
    (BUILD / "test-results").mkdir(parents=True, exist_ok=True)
    # /tmp is the guest's own too, its shares mounted over it.
    with tempfile.TemporaryDirectory(prefix="quoril guest,", dir="/tmp") as scratch:
        Path(scratch, "from-host").write_text(scratch + "\n")
        return subprocess.run(
            [*GUEST, "--limit", "5400", *layer(), "--share", scratch, sys.executable, __file__,
             "inside", scratch, windows.where("win32")[0]], cwd=ROOT).returncode


def tool(arch: str) -> int:
    status = windows.run(arch, [str(BUILD / arch / "quoril-info.exe")])
    windows.stop()
    return status


def report() -> int:
    status = 0
    for arch in ("win64", "win32"):
        place, reason = windows.where(arch)
        print(f"== {arch} quoril.dll (build/{arch}) ==", flush=True)
        if place == "here":
            status |= tool(arch) != 0
        elif place == "guest":
            print(f"(in the emulated PC: {reason})", flush=True)
            status |= subprocess.run(
                [*GUEST, *layer(), "env", f"QUORIL_WINE_CDROMS={DRIVES}", sys.executable,
                 __file__, "tool", arch], cwd=ROOT).returncode != 0
        else:
            print(f"run: not run here: {reason}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    command = sys.argv[1:2]
    if command == ["job"]:
        sys.exit(job())
    if command == ["report"]:
        sys.exit(report())
    if command == ["tool"] and sys.argv[2:] in (["win32"], ["win64"]):
        sys.exit(tool(sys.argv[2]))
    if command == ["inside"] and len(sys.argv) == 4:
        sys.exit(inside(*sys.argv[2:]))
    sys.exit(__doc__)
