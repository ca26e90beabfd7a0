#!/bin/sh
# Runs one Windows flavour's tests: the DLL's tables and the host tool (preset win32 or win64),
# then the unit and integration tests (win32-test or win64-test), which run under Wine.
#   run-windows-tests.sh win32|win64 [--all]
#
# Tests that run under Wine are skipped, loudly and by name, where that flavour's Wine is not
# installed (see build/deps-status). 64-bit programs run at full speed under 64-bit Wine on every
# x86-64 machine, so win64 runs everything wherever its Wine is installed.
#
# Where the kernel runs no 32-bit programs, Wine's 32-bit loader runs through qemu-i386 user-mode
# emulation (set up by install-deps.sh). There every 32-bit Windows program takes minutes to start
# and Wine itself fails to start now and then, so a run of them neither fits a bounded test run
# nor says anything reliable about Quoril. Without --all such a machine skips the 32-bit tests
# that run under Wine and says so; `make test-wine` runs them regardless.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/wine-status.sh
flavour=${1:-}
case "$flavour" in
  win32 | win64) ;;
  *) echo "usage: $0 win32|win64 [--all]" >&2; exit 2 ;;
esac
all=no
[ "${2:-}" = "--all" ] && all=yes
jobs="${CTEST_JOBS:-2}"

reason=$(wine_unavailable "$flavour")
if [ -z "$reason" ] && [ "$flavour" = win32 ] && [ "$all" = no ] && runs_32bit_emulated; then
  reason="32-bit programs run only under emulation on this kernel (make test-wine runs them)"
fi

status=0
if [ -n "$reason" ]; then
  ctest --preset "$flavour" -j "$jobs" -LE wine || status=1
  {
    echo "================================================================================"
    echo "run-windows-tests: SKIPPED the $flavour tests that run under Wine: $reason"
    for preset in "$flavour" "$flavour-test"; do
      ctest --preset "$preset" -N -L wine | sed -n 's/^ *Test *#[0-9]*: /  skipped: /p'
    done
    echo "================================================================================"
  } >&2
else
  ctest --preset "$flavour" -j "$jobs" || status=1
  ctest --preset "$flavour-test" -j "$jobs" || status=1
  cmake/wine-run.sh --stop
fi
exit "$status"
