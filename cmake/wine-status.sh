# Sourced by the scripts that run Windows programs: whether each flavour's Wine can run here.
# Reads build/deps-status (written by install-deps.sh) and, where that file is missing, looks at
# the installed loaders. Run from the top of the repository.

# wine_unavailable win32|win64: prints why that flavour's programs cannot run under Wine on this
# machine, or nothing when they can.
wine_unavailable() {
  case "$1" in
    win64) group=wine64 loader=/usr/lib/wine/wine64 ;;
    *) group=wine32 loader=/usr/lib/wine/wine ;;
  esac
  state=$(sed -n "s/^$group=//p" build/deps-status 2>/dev/null)
  if [ -n "$state" ] && [ "$state" != ok ]; then
    echo "$1 Wine is not installed ($group $state; see build/deps-status)"
  elif [ ! -x "$loader" ]; then
    echo "$1 Wine is not installed (no $loader; make deps as root installs it)"
  fi
}

# True where 32-bit programs run only through qemu-i386 user-mode emulation (set up by
# install-deps.sh on kernels that run no 32-bit programs).
runs_32bit_emulated() {
  binfmt=/proc/sys/fs/binfmt_misc/qemu-i386
  [ -r "$binfmt" ] && head -n 1 "$binfmt" | grep -qx enabled
}
