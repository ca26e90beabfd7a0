# SPDX-License-Identifier: MIT
"""What every check of the harness shares: running a program, and ending with a verdict CTest
reads. A check that fails raises Failure (or calls fail); one that cannot run here calls skip,
which prints "SKIPPED: REASON" and exits with 77, the status every harness test skips with. A
reason that says "make deps" is a skip that installing packages would undo (CI refuses it)."""
import os
import shutil
import subprocess
import sys
from pathlib import Path
from typing import NoReturn, Sequence

HARNESS = Path(__file__).resolve().parent
SOURCE = HARNESS.parent.parent
BUILD = SOURCE / "build"
SKIP = 77


class Failure(Exception):
    """A check that does not hold; its text says what was expected and what came."""


def fail(message: str) -> NoReturn:
    raise Failure(message)


def skip(reason: str) -> NoReturn:
    print(f"SKIPPED: {reason}", flush=True)
    sys.exit(SKIP)


def run(command: Sequence[object], *, check: bool = False, **options) -> subprocess.CompletedProcess:
    """Runs a program to its end, its output captured as text (bytes with text=False)."""
    options.setdefault("capture_output", True)
    options.setdefault("text", True)
    result = subprocess.run([str(part) for part in command], **options)
    if check and result.returncode != 0:
        fail(f"{shown(command)} exited with {result.returncode}\n{result.stdout}\n{result.stderr}")
    return result


def fresh(folder) -> Path:
    """FOLDER emptied of what an earlier run left there, and made."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def shown(command: Sequence[object]) -> str:
    return " ".join(str(part) for part in command)


def windows_command(arch: str) -> list[str]:
    """What runs a Windows program of ARCH (win32 or win64) on this machine: Wine in the
    project's own prefix, or the skip that says where it runs instead."""
    return [sys.executable, str(HARNESS / "windows.py"), f"--{arch}"]


def main(checks: dict) -> None:
    """Runs the check named by the first argument with the others: `MODULE.py CHECK ARG...`."""
    name = sys.argv[1] if len(sys.argv) > 1 else ""
    if name not in checks:
        sys.exit(f"usage: {Path(sys.argv[0]).name} {'|'.join(checks)} ARGUMENT...")
    try:
        checks[name](*sys.argv[2:])
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr, flush=True)
        sys.exit(1)
