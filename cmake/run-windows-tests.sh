#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs one Windows flavour's tests on this machine: the DLL's tables and the host tool (preset
# win32 or win64), then the unit and integration tests (win32-test or win64-test), under Wine.
#   run-windows-tests.sh win32|win64
#
# Where the flavour's programs run was decided when its trees were configured (wine.env, see
# cmake/QuorilWine.cmake):
#   here   every test, but those that ask the emulated PC's drives (label drives: make test-guest);
#   guest  the tests that need no Wine; make test-guest runs the others in the emulated PC;
#   skip   the tests that need no Wine; the others are recorded as skipped, with the reason.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/test-lib.sh
flavour=${1:-}
case "$flavour" in
  win32 | win64) ;;
  *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
esac
wine_decision "build/$flavour" || exit 1
eval "place=\$${flavour}_place reason=\$${flavour}_reason installable=\$${flavour}_installable"

status=0
case $place in
  here)
    run_ctest "$flavour" "build/$flavour" || status=1
    run_ctest "$flavour-test" "build/$flavour-test" -LE drives || status=1
    cmake/wine-run.sh --stop
    ;;
  guest)
    run_ctest "$flavour" "build/$flavour" -LE wine || status=1
    echo "run-windows-tests: the $flavour tests under Wine run in the emulated PC ($reason):" \
         "make test-guest"
    ;;
  *)
    run_ctest "$flavour" "build/$flavour" -LE wine || status=1
    record_skips "build/$flavour" "$installable" "$reason" -L wine
    record_skips "build/$flavour-test" "$installable" "$reason" -LE drives
    ;;
esac
exit "$status"
