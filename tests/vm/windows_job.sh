#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs in the emulated PC (tests/vm/guest.sh, started by cmake/run-guest-tests.sh): the Windows
# tests that need it, through CTest as on a machine that runs them itself. The PC's two optical
# drives are the Wine prefixes' D: and E:, with their raw devices.
#   windows_job.sh [--share FOLDER] [--win32-all | --win32-drives] [--win64-drives]
#   --share FOLDER  the release tree's checks of the guest's shares (label guest), FOLDER being
#                   the one under /tmp that guest.sh was given besides build/
#   --win32-all     every 32-bit test under Wine: the win32 and win32-test trees' (the
#                   pass-through test against the drives included) and the kit's x86 programs
#   --win32-drives  the 32-bit pass-through test against the drives
#   --win64-drives  the 64-bit pass-through test against the drives
set -u
. cmake/test-lib.sh
export QUORIL_WINE_CDROMS="/dev/sr0 /dev/sr1"
status=0
while [ $# -gt 0 ]; do
  option=$1
  shift
  case $option in
    --share)
      export QUORIL_GUEST_SHARE="$1"
      shift
      run_ctest guest-share build/release -L '^guest$' || status=1
      ;;
    --win32-all)
      run_ctest guest-win32 build/win32 -L wine || status=1
      run_ctest guest-win32-test build/win32-test || status=1
      if [ -f build/dist/CTestTestfile.cmake ]; then
        # Their programs were built, and the kit unpacked, outside: only the runs are left.
        run_ctest guest-kit build/dist -L '^win32$' -FA '.*' || status=1
      fi
      ;;
    --win32-drives) run_ctest guest-drives-win32 build/win32-test -L drives || status=1 ;;
    --win64-drives) run_ctest guest-drives-win64 build/win64-test -L drives || status=1 ;;
  esac
done
cmake/wine-run.sh --stop
exit "$status"
