# SPDX-License-Identifier: MIT
"""Where and how this machine runs Windows programs, decided each time one is run.

    windows.py --win32|--win64 PROGRAM [ARGUMENT...]   runs PROGRAM under Wine
    windows.py --where win32|win64                     says where such programs run, and why
    windows.py --stop                                  ends the servers of both Wine prefixes

A program runs in one of the project's own prefixes, never the user's ~/.wine: build/wineprefix
for 32-bit programs, build/wineprefix64 for 64-bit ones, each made on first use. Where its
architecture's programs do not run here, PROGRAM is not run: the script says "SKIPPED: REASON"
and exits with 77, and the reason says whether `make test-guest` runs it in the emulated PC
(emulated_pc.py) instead, or what is missing. 64-bit programs run wherever 64-bit Wine is
installed; 32-bit ones where 32-bit Wine is and the kernel runs 32-bit programs itself, else in
the emulated PC, whose kernel does. Inside the emulated PC (QUORIL_GUEST=1) the drives named by
QUORIL_WINE_CDROMS are the prefixes' CD-ROM drives from D: on."""
import fcntl
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from common import BUILD, SOURCE as ROOT

WINE = Path("/usr/lib/wine")
LOADER = {"win32": WINE / "wine", "win64": WINE / "wine64"}
PREFIX = {"win32": BUILD / "wineprefix", "win64": BUILD / "wineprefix64"}
WINE32_LAYER = BUILD / "wine32-layer"
INSTALL = "make deps as root installs it"


def wine32_runs() -> bool:
    """Whether 32-bit Wine is installed and this kernel starts it itself, not through an
    emulator registered for 32-bit programs (binfmt_misc): there it belongs in the emulated PC,
    where it runs at the processor's own pace and with threads. Its --version answers at once."""
    if not LOADER["win32"].exists():
        return False
    if os.environ.get("QUORIL_GUEST") == "1":
        return True
    for entry in Path("/proc/sys/fs/binfmt_misc").glob("*"):
        try:
            text = entry.read_text()
        except OSError:
            continue
        if text.startswith("enabled") and "magic 7f454c4601010100000000000000000002000300" in text:
            return False
    try:
        return subprocess.run([LOADER["win32"], "--version"], capture_output=True,
                              timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def where(arch: str) -> tuple[str, str]:
    """("here", ""), ("guest", why not here) or ("skip", why nowhere)."""
    if arch == "win64":
        return ("here", "") if LOADER["win64"].exists() else \
            ("skip", f"64-bit Wine is not installed ({INSTALL})")
    if wine32_runs():
        return "here", ""
    reason = "this kernel runs no 32-bit programs" if LOADER["win32"].exists() \
        else "apt could not install 32-bit Wine here"
    import emulated_pc  # which runs Windows programs through this module
    missing = emulated_pc.missing()
    if not LOADER["win32"].exists() and not (WINE32_LAYER / ".version").exists():
        missing.append("32-bit Wine, which could not be installed or downloaded")
    if missing:
        return "skip", f"{reason}, and the emulated PC lacks {', '.join(missing)} ({INSTALL})"
    return "guest", f"{reason}: make test-guest runs it in the emulated PC"


def pe_arch(program: str) -> str:
    """win64 for an x86-64 image (machine 0x8664 in its PE header), else win32 (`reg`, say)."""
    try:
        data = Path(program).read_bytes()[:4096]
        offset = int.from_bytes(data[0x3C:0x40], "little")
        return "win64" if data[offset + 4:offset + 6] == b"\x64\x86" else "win32"
    except (OSError, ValueError):
        return "win32"


def wine_environment(arch: str) -> dict:
    """No .NET or HTML engine installers (they would ask for downloads), no crash debugger (a
    program that crashes should end, not wait in it); a caller's own overrides come after."""
    env = dict(os.environ, WINEDEBUG="-all", WINEPREFIX=str(PREFIX[arch]),
               WINEARCH=arch, WINELOADER=str(LOADER[arch]))
    extra = os.environ.get("WINEDLLOVERRIDES")
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winedbg.exe=d" + (f";{extra}" if extra else "")
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    return env


def configure_drives(prefix: Path) -> None:
    """Each letter from D: on that QUORIL_WINE_CDROMS names a device becomes a CD-ROM drive with
    that raw device, through which Wine carries SCSI pass-through to the drive; without it, D:
    alone, backed by the folder build/wine-cdrom: a drive to find but none to ask. The types
    live in the registry, written while no server runs."""
    devices = os.environ.get("QUORIL_WINE_CDROMS", "folder").split()
    folder, dosdevices = BUILD / "wine-cdrom", prefix / "dosdevices"
    folder.mkdir(exist_ok=True)
    dosdevices.mkdir(exist_ok=True)
    letters = "defghijklmnopqrstuvwxy"
    for letter in letters:
        for name in (f"{letter}:", f"{letter}::"):
            if (dosdevices / name).is_symlink():
                (dosdevices / name).unlink()
    values = ""
    for letter, device in zip(letters, devices):
        (dosdevices / f"{letter}:").symlink_to(folder)
        if device != "folder":
            (dosdevices / f"{letter}::").symlink_to(device)
        values += f'"{letter}:"="cdrom"\n'
    registry = prefix / "system.reg"
    kept, skipping = [], False
    for line in registry.read_text(encoding="utf-8", errors="surrogateescape").splitlines():
        if line.startswith("[Software\\\\Wine\\\\Drives]"):
            skipping = True
        elif skipping and line == "":
            skipping = False
        elif not skipping:
            kept.append(line)
    kept.append(f"\n[Software\\\\Wine\\\\Drives] {int(time.time())}\n{values}")
    registry.write_text("\n".join(kept), encoding="utf-8", errors="surrogateescape")


def prepare(arch: str, env: dict) -> None:
    """Makes the prefix, or brings it up to date with the drives asked for, once for concurrent
    callers; then keeps one server alive (ended by --stop), so that a run of tests boots the
    prefix's services once, not once per program (minutes in the emulated PC)."""
    prefix = PREFIX[arch]
    BUILD.mkdir(exist_ok=True)
    quiet = {"env": env, "stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL,
             "stderr": subprocess.DEVNULL}
    with open(f"{prefix}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        # The marker: the set-up's version (3: drives from D: on are CD-ROM drives) and drives.
        marker, setup = prefix / ".quoril-ready", f"3 {os.environ.get('QUORIL_WINE_CDROMS', 'folder')}"
        if not marker.exists() or marker.read_text().strip() != setup:
            if not (prefix / "system.reg").exists():
                print(f"windows.py: creating the Wine prefix {prefix} (slow the first time)",
                      file=sys.stderr)
                subprocess.run([LOADER[arch], "wineboot", "-i"], **quiet)
            # A server still running is ended, which writes the registry out, before it changes.
            subprocess.run(["wineserver", "-k"], **quiet)
            subprocess.run(["wineserver", "-w"], **quiet)
            if not (prefix / "system.reg").exists():
                sys.exit(f"windows.py: Wine could not create {prefix}")
            configure_drives(prefix)
            marker.write_text(setup + "\n")
        subprocess.run(["wineserver", "-p"], **quiet)


def run(arch: str, command: list[str]) -> int:
    place, reason = where(arch)
    if place != "here":
        print(f"SKIPPED: {reason}", flush=True)
        return 77
    env = wine_environment(arch)
    prepare(arch, env)
    # A GoogleTest report left by an earlier run must not stand for this one, should it crash.
    for argument in command:
        if argument.startswith("--gtest_output=xml:Z:"):
            Path(argument[len("--gtest_output=xml:Z:"):]).unlink(missing_ok=True)
    # Wine starts the prefix's services from the first program that needs them, and they inherit
    # its output and outlive it: were that output CTest's pipe, CTest would wait for them too. So
    # the program writes to files, passed on when it ends.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.run([LOADER[arch], *command], env=env, stdout=out, stderr=err).returncode
        for file, stream in ((out, sys.stdout), (err, sys.stderr)):
            file.seek(0)
            stream.flush()
            stream.buffer.write(file.read())
    return status


def stop() -> int:
    for arch, prefix in PREFIX.items():
        if prefix.is_dir():
            subprocess.run(["wineserver", "-k"], env=wine_environment(arch),
                           stderr=subprocess.DEVNULL)
    return 0


def main(arguments: list[str]) -> int:
    if arguments[:1] == ["--stop"]:
        return stop()
    if arguments[:1] == ["--where"] and arguments[1:2] in (["win32"], ["win64"]):
        print(*where(arguments[1]), sep="\t")
        return 0
    if arguments[:1] in (["--win32"], ["--win64"]) and len(arguments) > 1:
        return run(arguments[0][2:], arguments[1:])
    if arguments and not arguments[0].startswith("--"):
        return run(pe_arch(arguments[0]), arguments)
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
