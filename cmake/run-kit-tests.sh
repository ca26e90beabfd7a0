#!/bin/sh
# Runs the development kit's tests (build/dist, made by `make dist`): the zip's layout and
# checksum, then programs built against the unpacked kit with each compiler and architecture.
# Building them and checking what they import runs everywhere; running them needs the Wine of
# their architecture (tests labelled `wine` and win32 or win64).
#   run-kit-tests.sh [--all]
#
# As for the Windows flavours' own tests (run-windows-tests.sh): where a flavour's Wine is
# missing, or 32-bit programs run only under emulation (without --all), that flavour's runs are
# skipped, loudly and by name.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/wine-status.sh
all=no
[ "${1:-}" = "--all" ] && all=yes
jobs="${CTEST_JOBS:-2}"

reason_win64=$(wine_unavailable win64)
reason_win32=$(wine_unavailable win32)
if [ -z "$reason_win32" ] && [ "$all" = no ] && runs_32bit_emulated; then
  reason_win32="32-bit programs run only under emulation on this kernel (make test-wine runs them)"
fi
skip=""
[ -n "$reason_win64" ] && skip="win64"
[ -n "$reason_win32" ] && skip="${skip:+$skip|}win32"

status=0
if [ -n "$skip" ]; then
  ctest --test-dir build/dist -j "$jobs" --output-on-failure -LE "^($skip)\$" || status=1
  {
    echo "================================================================================"
    for flavour in win64 win32; do
      eval "reason=\$reason_$flavour"
      [ -n "$reason" ] || continue
      echo "run-kit-tests: SKIPPED the kit's $flavour programs under Wine: $reason"
      ctest --test-dir build/dist -N -FA ".*" -L "^$flavour\$" | sed -n 's/^ *Test *#[0-9]*: /  skipped: /p'
    done
    echo "================================================================================"
  } >&2
else
  ctest --test-dir build/dist -j "$jobs" --output-on-failure || status=1
fi
cmake/wine-run.sh --stop
exit "$status"
