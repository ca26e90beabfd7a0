#!/bin/sh
# Installs, as root on Debian, whatever building and testing Quoril needs and is still missing,
# in groups that succeed or fail on their own:
#   core          CMake, Ninja, g++ with GoogleTest and Google Benchmark, clang with libFuzzer,
#                 pkg-config; help2man (the Linux man page), man-db (its test reads it) and
#                 python3-jsonschema (the JSON report's schema test)
#   mingw         MinGW-w64 for 32-bit and 64-bit Windows
#   wine64        Wine for 64-bit programs (amd64 packages only)
#   wine32        Wine's 32-bit part (the i386 architecture), run through qemu-i386 where the
#                 kernel runs no 32-bit programs
#   vm            an emulated machine with a Linux kernel and busybox (optional)
#   kit           LLVM's dlltool and readobj, and lld-link, for the Windows development kit's
#                 import libraries for MSVC and its tests (optional: only `make dist` needs it)
# Packages already present are left alone, so a second run installs nothing. A group that could
# not be installed is reported at the end and recorded in build/deps-status, which the test
# scripts read to say which tests they skip and why. Only a missing core group fails the script.
set -u
cd "$(dirname "$0")/.." || exit 1
status_file=build/deps-status

say() { echo "install-deps: $*" >&2; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }
missing_of() {
  need=""
  for package in "$@"; do installed "$package" || need="$need${need:+ }$package"; done
  printf '%s' "$need"
}
is_root() { [ "$(id -u)" = 0 ]; }

# Waits for another package operation to finish instead of failing on its lock.
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# The package index is refreshed once, and only when something is to be installed. A mirror in
# the middle of a sync can fail single lists for a while; after a few tries the lists that did
# download are used, and only the groups that need a missing list fail.
index_state=stale
refresh_index() {
  [ "$index_state" = stale ] || return 0
  for wait in 5 15 0; do
    if apt_get update -qq >&2; then
      index_state=fresh
      return 0
    fi
    [ "$wait" = 0 ] && break
    say "the package index did not refresh completely; trying again in ${wait}s"
    sleep "$wait"
  done
  index_state=partial
  say "some package lists could not be refreshed; going on with those that did"
}

# install_group NAME PACKAGE...: installs the group's missing packages, tried twice. Answers
# success when every package of the group is installed afterwards.
install_group() {
  name=$1
  shift
  need=$(missing_of "$@")
  [ -z "$need" ] && return 0
  if ! is_root; then
    say "$name: missing $need (run as root to install them)"
    return 1
  fi
  refresh_index
  say "$name: installing $need"
  for attempt in 1 2; do
    # shellcheck disable=SC2086 # one word per package
    apt_get install -y -qq --no-install-recommends $need >&2 && break
    [ "$attempt" = 1 ] && sleep 5
  done
  [ -z "$(missing_of "$@")" ]
}

# Wine's 32-bit loader is a 32-bit Linux program. Some kernels run no 32-bit programs at all; on
# those it runs through user-mode emulation of the 32-bit processor, registered for 32-bit ELF
# programs. Slow, but every 32-bit Windows program then runs as it would elsewhere.
runs_32bit_wine() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
set_up_32bit_emulation() {
  runs_32bit_wine && return 0
  is_root || { say "wine32: this kernel runs no 32-bit programs; run as root to set up emulation"; return 1; }
  say "wine32: this kernel runs no 32-bit programs; running them through qemu-i386"
  install_group wine32 qemu-user-static || return 1
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # 32-bit little-endian x86 ELF executables and shared objects.
    printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >"$binfmt/register" || return 1
  fi
  runs_32bit_wine
}

# One line per group in the status file: NAME=ok, or NAME=missing: PACKAGES.
report=""
record() {
  if [ "$2" = ok ]; then
    report="$report$1=ok
"
  else
    report="$report$1=missing: $2
"
  fi
}

# run_group NAME PACKAGE...: installs the group and records how that went.
run_group() {
  group=$1
  shift
  if install_group "$group" "$@"; then
    record "$group" ok
  else
    record "$group" "$(missing_of "$@")"
  fi
}

run_group core cmake ninja-build g++ make googletest libbenchmark-dev clang libclang-rt-14-dev \
  pkg-config help2man man-db python3-jsonschema
run_group mingw g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
run_group wine64 wine wine64

if ! installed wine32:i386 && is_root &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  index_state=stale
fi
if ! install_group wine32 wine32:i386; then
  record wine32 "$(missing_of wine32:i386)"
elif ! set_up_32bit_emulation; then
  record wine32 "the 32-bit Wine loader does not start on this machine"
else
  record wine32 ok
fi

# The emulated machine for a whole-system test; without it only that test is skipped.
run_group vm qemu-system-x86 linux-image-amd64 busybox-static

# The development kit: llvm-dlltool-14 writes import libraries that MSVC's linker reads,
# llvm-readobj-14 reads what the kit's test programs import, lld-link-14 links them for the MSVC ABI.
run_group kit llvm-14 lld-14

mkdir -p build
{
  echo "# What cmake/install-deps.sh could not install; the test scripts read this file."
  printf '%s' "$report"
} >"$status_file"

failed=$(printf '%s' "$report" | grep -v '=ok$' || true)
if [ -n "$failed" ]; then
  say "================================================================================"
  say "NOT INSTALLED (recorded in $status_file):"
  printf '%s\n' "$failed" | sed 's/^/install-deps:   /' >&2
  case "$failed" in
    *mingw=*) say "  -> the Windows flavours cannot be built" ;;
  esac
  case "$failed" in
    *wine64=*) say "  -> the 64-bit Windows tests under Wine are skipped" ;;
  esac
  case "$failed" in
    *wine32=*) say "  -> the 32-bit Windows tests under Wine are skipped" ;;
  esac
  case "$failed" in
    *vm=*) say "  -> the emulated-machine test is skipped" ;;
  esac
  case "$failed" in
    *kit=*) say "  -> make dist and the development kit's tests cannot run" ;;
  esac
  say "================================================================================"
fi
case "$failed" in
  *core=*) say "the core tools are missing: nothing can be built"; exit 1 ;;
esac
exit 0
