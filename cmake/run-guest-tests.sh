#!/bin/sh
# SPDX-License-Identifier: MIT
# `make test-guest`: one boot of the emulated PC (tests/vm/guest.sh) for the Windows tests that
# need it: the pass-through test of both DLLs against its real optical drives, and, where
# cmake/QuorilWine.cmake placed 32-bit programs there, every 32-bit test under Wine; and the
# check that the guest finds the folders shared to it at their own paths, one of them under /tmp
# with a space and a comma in its name. Their results join the other parts' in
# build/test-results.
set -u
cd "$(dirname "$0")/.." || exit 1
. cmake/test-lib.sh
wine_decision build/win32-test || exit 1

layer=""
case $win32_place in
  guest) set -- --win32-all; layer=$win32_layer ;;
  here) set -- --win32-drives ;;
  *) set -- ;;
esac
[ "$win64_place" = skip ] || set -- "$@" --win64-drives

# /tmp is the guest's own too, mounted before the shares that lie under it.
scratch=$(mktemp -d "/tmp/quoril guest,XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
printf '%s\n' "$scratch" >"$scratch/from-host"

status=0
rm -f build/guest/job.sh.status
sh tests/vm/guest.sh --memory 3072 --limit 5400 ${layer:+--layer "$layer"} --share "$scratch" \
  sh tests/vm/windows_job.sh --share "$scratch" "$@" || status=$?
if [ "$status" -eq 77 ]; then
  record_skips build/release yes "the emulated PC cannot run here (see above)" -L '^guest$'
  record_skips build/win32-test yes "the emulated PC cannot run here (see above)" -L drives
  record_skips build/win64-test yes "the emulated PC cannot run here (see above)" -L drives
  status=0
elif [ "$status" -ne 0 ] && [ ! -f build/guest/job.sh.status ]; then
  # The guest never finished its job: one failure stands for the tests it did not report.
  printf '<testsuite name="guest"><testcase name="the emulated PC" status="fail"><failure message="did not boot or finish its job"/></testcase></testsuite>\n' \
    >"$results/guest.xml"
fi
exit "$status"
