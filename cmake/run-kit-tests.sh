#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the development kit's tests (build/dist, made by `make dist`): the zip's layout and
# checksum, then programs built against the unpacked kit with each compiler and architecture.
# Building them and checking what they import runs everywhere; running them needs Wine (tests
# labelled `wine` and win32 or win64), where cmake/QuorilWine.cmake decided when build/dist was
# configured: here, in the emulated PC (make test-guest runs them), or nowhere (recorded as
# skipped, with the reason).
#   run-kit-tests.sh
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/test-lib.sh
wine_decision build/dist || exit 1

elsewhere=""
for flavour in win64 win32; do
  eval "place=\$${flavour}_place reason=\$${flavour}_reason installable=\$${flavour}_installable"
  case $place in
    here) ;;
    guest)
      echo "run-kit-tests: the kit's $flavour programs run in the emulated PC ($reason):" \
           "make test-guest"
      ;;
    *) record_skips build/dist "$installable" "$reason" -L "^$flavour\$" ;;
  esac
  [ "$place" = here ] || elsewhere="${elsewhere:+$elsewhere|}$flavour"
done

status=0
if [ -n "$elsewhere" ]; then
  run_ctest kit build/dist -LE "^($elsewhere)\$" || status=1
else
  run_ctest kit build/dist || status=1
fi
cmake/wine-run.sh --stop
exit "$status"
