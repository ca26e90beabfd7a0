#!/bin/sh
# `make run`: quoril-info.exe's full report of each built DLL under Wine. The 64-bit DLL's always;
# the 32-bit DLL's only where 32-bit programs run natively (under emulation one program takes
# minutes, and Wine now and then fails to start there), with a one-line note elsewhere. Stops
# with the reason where 64-bit Wine is missing.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/wine-status.sh

reason=$(wine_unavailable win64)
if [ -n "$reason" ]; then
  echo "run: cannot run quoril-info.exe: $reason" >&2
  exit 1
fi
status=0
echo "== 64-bit quoril.dll (build/win64) =="
cmake/wine-run.sh --win64 build/win64/quoril-info.exe || status=$?

reason=$(wine_unavailable win32)
if [ -z "$reason" ] && runs_32bit_emulated; then
  reason="32-bit programs run only under emulation on this kernel"
fi
if [ -n "$reason" ]; then
  echo "run: the 32-bit quoril.dll (build/win32) is not run here: $reason" >&2
else
  echo "== 32-bit quoril.dll (build/win32) =="
  cmake/wine-run.sh --win32 build/win32/quoril-info.exe || status=$?
fi
cmake/wine-run.sh --stop
exit "$status"
