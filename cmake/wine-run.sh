#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine in one of the project's own prefixes, never the user's
# ~/.wine:
#   build/wineprefix     32-bit programs (WINEARCH=win32, the 32-bit loader)
#   build/wineprefix64   64-bit programs (WINEARCH=win64, the 64-bit loader)
# Usage: wine-run.sh [--win32 | --win64] PROGRAM [ARGUMENT...]
#        wine-run.sh --stop          ends the servers of both prefixes
# The prefix is chosen by the option when one is given (the toolchain files give it, so every
# test runs in the prefix of its own build); otherwise by the machine type in PROGRAM's PE
# header, and the 32-bit prefix for anything that is not a 64-bit image (`reg`, say).
# Each prefix is made on first use; concurrent callers wait for that to finish.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all
# No .NET or HTML engine installers: nothing here needs them, and they would ask for downloads.
# No crash debugger either: a program that crashes should end, not wait in a debugger.
# A caller's own overrides (WINEDLLOVERRIDES=wnaspi32=n for a test that needs the native ASPI
# library, say) are kept, after these; they should name other libraries than these.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$root/build"

# The PE machine field: the 32-bit little-endian offset of the PE header at 0x3c, then the
# 16-bit machine type four bytes after it (0x8664 for x86-64, 0x14c for i386).
pe_machine() {
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$offset" ] || return 0
  od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

arch=""
case "${1:-}" in
  --win32) arch=win32; shift ;;
  --win64) arch=win64; shift ;;
  --stop)
    # Ends the prefixes' server and service processes, which otherwise linger after the last
    # program.
    for prefix in "$root/build/wineprefix" "$root/build/wineprefix64"; do
      if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; fi
    done
    exit 0
    ;;
esac
if [ -z "$arch" ]; then
  if [ "$(pe_machine "${1:-}")" = 8664 ]; then arch=win64; else arch=win32; fi
fi

if [ "$arch" = win64 ]; then
  export WINEPREFIX="$root/build/wineprefix64"
  export WINEARCH=win64
  # The 64-bit loader itself: the `wine` command prefers the 32-bit one wherever it is installed.
  export WINELOADER=/usr/lib/wine/wine64
  loader=$WINELOADER
else
  export WINEPREFIX="$root/build/wineprefix"
  export WINEARCH=win32
  loader=/usr/lib/wine/wine
fi
if [ ! -x "$loader" ]; then
  echo "wine-run: $loader is not installed: no $arch Wine on this machine" \
       "(make deps as root installs it)" >&2
  exit 127
fi

# Makes each letter from D: on that QUORIL_WINE_CDROMS names a device for a CD-ROM drive with
# that raw device, through which Wine carries SCSI pass-through requests to the drive; without
# it, D: alone, backed by the folder build/wine-cdrom: a drive to find but none to ask. The drive
# type lives in the prefix's registry, written here while no server runs.
configure_drives() {
  dosdevices=$WINEPREFIX/dosdevices
  mkdir -p "$root/build/wine-cdrom" "$dosdevices"
  for letter in d e f g h i j k l m n o p q r s t u v w x y; do
    rm -f "$dosdevices/$letter:" "$dosdevices/$letter::"
  done
  values=""
  set -- ${QUORIL_WINE_CDROMS:-folder}
  for letter in d e f g h i j k l m n o p q r s t u v w x y; do
    [ $# -gt 0 ] || break
    ln -s "$root/build/wine-cdrom" "$dosdevices/$letter:"
    [ "$1" = folder ] || ln -s "$1" "$dosdevices/$letter::"
    values="$values\"$letter:\"=\"cdrom\"
"
    shift
  done
  registry=$WINEPREFIX/system.reg
  awk -v values="$values" -v stamp="$(date +%s)" '
    index($0, "[Software\\\\Wine\\\\Drives]") == 1 { skipping = 1; next }
    skipping && $0 == "" { skipping = 0; next }
    !skipping { print }
    END { printf "\n[Software\\\\Wine\\\\Drives] %s\n%s", stamp, values }
  ' "$registry" >"$registry.new" && mv "$registry.new" "$registry"
}

(
  flock 9
  # The marker holds the prefix's set-up: its version, then the drives it was made for. A
  # prefix set up otherwise is brought up to date, a missing one is made from scratch.
  #   3: drive D: on are CD-ROM drives (configure_drives).
  marker="$WINEPREFIX/.quoril-ready"
  setup="3 ${QUORIL_WINE_CDROMS:-folder}"
  if [ "$(cat "$marker" 2>/dev/null || true)" != "$setup" ]; then
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run: creating the Wine prefix $WINEPREFIX (slow the first time)" >&2
      "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
    fi
    # A server left running (started with -p, it would never end by itself) is ended, which
    # writes the registry out, before the registry is changed underneath it.
    wineserver -k 2>/dev/null 9>&- || true
    wineserver -w 2>/dev/null 9>&- || true
    if [ -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run: setting up the CD-ROM drives of $WINEPREFIX" >&2
      configure_drives
      echo "$setup" >"$marker"
    else
      echo "wine-run: Wine could not create $WINEPREFIX" >&2
    fi
  fi
  # Every new Wine session boots the prefix's services first, which takes a while (minutes in
  # the emulated PC). One server kept alive across programs (ended by --stop) boots once for a
  # whole run of tests. It fails harmlessly when a server is already running. Neither it nor the
  # prefix's first processes may inherit the lock, or it would never be released.
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"

# Wine starts the prefix's service processes from whichever program needs them first, and they
# inherit its output and outlive it. Were that output the caller's pipe (CTest's, for one), the
# caller would wait for them too; so the program writes to files that are passed on when it ends.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
"$loader" "$@" >"$scratch/out" 2>"$scratch/err" || status=$?
cat "$scratch/out"
cat "$scratch/err" >&2
exit "$status"
