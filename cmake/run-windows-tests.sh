#!/bin/sh
# Runs the Windows flavour's tests: the DLL's tables, then everything that runs under Wine.
#
# Where the kernel runs no 32-bit programs, Wine's 32-bit loader runs through qemu-i386 user-mode
# emulation (set up by install-deps.sh). There every Windows program takes minutes to start and
# Wine itself fails to start now and then, so a run of the Windows programs neither fits a
# bounded test run nor says anything reliable about Quoril. Without --all such a machine runs
# only the tests that need no Wine and says so; `make test-wine` runs everything regardless.
set -u
cd "$(dirname "$0")/.."
jobs="${CTEST_JOBS:-2}"
all=no
[ "${1:-}" = "--all" ] && all=yes

emulated=no
binfmt=/proc/sys/fs/binfmt_misc/qemu-i386
if [ -r "$binfmt" ] && head -n 1 "$binfmt" | grep -qx enabled; then emulated=yes; fi

status=0
if [ "$emulated" = yes ] && [ "$all" = no ]; then
  echo "run-windows-tests: 32-bit programs run only under emulation on this kernel;" \
       "skipping the tests that run under Wine (make test-wine runs them)." >&2
  ctest --preset win32 -j "$jobs" -LE wine || status=1
else
  ctest --preset win32 -j "$jobs" || status=1
  ctest --preset win32-test -j "$jobs" || status=1
  cmake/wine-run.sh --stop
fi
exit "$status"
