#!/bin/sh
# SPDX-License-Identifier: MIT
# `make run`: quoril-info.exe's full report of each built DLL under Wine, where
# cmake/QuorilWine.cmake placed that architecture's programs: on this machine, or in the emulated
# PC (32-bit programs where this kernel runs none; the first run there also makes the 32-bit Wine
# prefix, which takes some minutes), where D: and E: are its two real optical drives. Says why
# where one cannot run at all.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/test-lib.sh
wine_decision build/win32 || exit 1

status=0
for flavour in win64 win32; do
  eval "place=\$${flavour}_place reason=\$${flavour}_reason"
  echo "== $flavour quoril.dll (build/$flavour) =="
  case $place in
    here) cmake/wine-run.sh "--$flavour" "build/$flavour/quoril-info.exe" || status=1 ;;
    guest)
      echo "(in the emulated PC: $reason)"
      sh tests/vm/guest.sh ${win32_layer:+--layer "$win32_layer"} --memory 3072 \
        env QUORIL_WINE_CDROMS="/dev/sr0 /dev/sr1" sh -c "cmake/wine-run.sh --$flavour build/$flavour/quoril-info.exe; status=\$?; cmake/wine-run.sh --stop; exit \$status" ||
        status=1
      ;;
    *) echo "run: not run here: $reason" >&2; status=1 ;;
  esac
done
cmake/wine-run.sh --stop
exit "$status"
