#!/bin/sh
# Runs a Windows program under Wine in the project's own prefix, build/wineprefix, never the
# user's ~/.wine. The prefix is made on first use; concurrent callers wait for that to finish.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$root/build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No .NET or HTML engine installers: nothing here needs them, and they would ask for downloads.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$root/build"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.quoril-ready" ]; then
    echo "wine-run: creating the Wine prefix $WINEPREFIX (slow the first time)" >&2
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    touch "$WINEPREFIX/.quoril-ready"
  fi
) 9>"$root/build/wineprefix.lock"
exec wine "$@"
