#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs, as root on Debian, whatever building and testing Quoril needs and is still missing,
# in groups that succeed or fail on their own:
#   core          CMake, Ninja, g++ with GoogleTest and Google Benchmark, clang with libFuzzer,
#                 pkg-config; python3 (the count of passed, failed and skipped tests) with
#                 python3-jsonschema (the JSON report's schema test); help2man (the Linux man
#                 page) and man-db (its test reads it)
#   mingw         MinGW-w64 for 32-bit and 64-bit Windows
#   wine64        Wine for 64-bit programs (amd64 packages only)
#   wine32        Wine's 32-bit part (the i386 architecture). Where apt cannot install it (the
#                 i386 index of one suite out of step with the others, say), its packages are
#                 downloaded and unpacked into build/wine32-layer instead, never installed here:
#                 the emulated PC runs them over this machine's root (tests/harness/emulated_pc.py)
#   vm            the emulated PC: QEMU, a Debian kernel, busybox, and sg3-utils to ask its
#                 optical drives directly
#   kit           LLVM's dlltool and readobj, and lld-link, for the Windows development kit's
#                 import libraries for MSVC and its tests (`make dist` and the kit's tests);
#                 osslsigncode and openssl to sign the Windows binaries and test the signing
#   bindings      Free Pascal, and Python's venv, pip and mypy for the language bindings
# Packages already present are left alone, so a second run installs nothing. A group that could
# not be installed is reported at the end; the tests that need it are then skipped, with the
# reason, where they would run (and CI=true fails the run). Only a missing core group fails the
# script.
set -u
cd "$(dirname "$0")/.." || exit 1

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

# The 32-bit Wine for the emulated PC, where apt cannot install it here: wine32:i386 and every
# i386 package it needs, downloaded by apt (which checks them against the signed package lists)
# and unpacked, not installed. Only the libraries are kept (this machine's own programs stay in
# charge), under /usr as Debian's merged root has them. Made once per version of wine32.
wine32_layer=build/wine32-layer
wine32_candidate() { apt-cache policy wine32:i386 2>/dev/null | sed -n 's/^ *Candidate: //p'; }
wine32_layer_current() {
  version=$(wine32_candidate)
  [ -n "$version" ] && [ "$(cat "$wine32_layer/.version" 2>/dev/null)" = "$version" ]
}
make_wine32_layer() {
  version=$(wine32_candidate)
  case $version in "" | "(none)") say "wine32: no i386 package list names wine32"; return 1 ;; esac
  is_root || { say "wine32: run as root to download its packages"; return 1; }
  say "wine32: apt cannot install wine32:i386 here; unpacking its packages into $wine32_layer"
  packages=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances wine32:i386 2>/dev/null | grep '^[a-z0-9].*:i386$' | sort -u)
  [ -n "$packages" ] || return 1
  rm -rf build/wine32-debs build/wine32-unpacked "$wine32_layer"
  mkdir -p build/wine32-debs build/wine32-unpacked
  # shellcheck disable=SC2086 # one word per package
  # Downloaded as root into a folder of root's (apt's own download user may not write there).
  (cd build/wine32-debs && apt_get -o APT::Sandbox::User=root download -qq $packages >&2) ||
    return 1
  for deb in build/wine32-debs/*.deb; do dpkg-deb -x "$deb" build/wine32-unpacked || return 1; done
  mkdir -p "$wine32_layer/usr/lib" "$wine32_layer/etc"
  for from in build/wine32-unpacked/lib build/wine32-unpacked/usr/lib; do
    [ -d "$from" ] || continue
    for entry in i386-linux-gnu ld-linux.so.2 wine; do
      [ -e "$from/$entry" ] || [ -L "$from/$entry" ] || continue
      cp -a "$from/$entry" "$wine32_layer/usr/lib/" || return 1
    done
  done
  cp -a build/wine32-unpacked/etc/ld.so.conf.d "$wine32_layer/etc/" || return 1
  # What the library package's own set-up would do: Wine's 32-bit zlib, marked as a Wine
  # library, as 64-bit Wine's set-up has made it here too.
  cp /usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll \
    "$wine32_layer/usr/lib/i386-linux-gnu/wine/i386-windows/" || return 1
  rm -rf build/wine32-debs build/wine32-unpacked
  echo "$version" >"$wine32_layer/.version"
}

# The groups not installed, one line each: "NAME: PACKAGES".
failed=""
record() { [ "$2" = ok ] || failed="$failed$1: $2
"; }

# run_group NAME PACKAGE...: installs the group and records how that went.
run_group() {
  group=$1
  shift
  if install_group "$group" "$@"; then record "$group" ok; else record "$group" "$(missing_of "$@")"; fi
}

run_group core cmake ninja-build g++ make googletest libbenchmark-dev clang libclang-rt-14-dev \
  pkg-config python3 python3-jsonschema help2man man-db
run_group mingw g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
run_group wine64 wine wine64

if ! installed wine32:i386 && is_root &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  index_state=stale
fi
if installed wine32:i386 || wine32_layer_current || install_group wine32 wine32:i386; then
  record wine32 ok
elif installed wine64 && make_wine32_layer; then
  record wine32 ok
else
  record wine32 "$(missing_of wine32:i386)"
fi

run_group vm qemu-system-x86 linux-image-amd64 busybox-static sg3-utils

# The development kit: llvm-dlltool-14 writes import libraries that MSVC's linker reads,
# lld-link-14 links the kit's test programs for the MSVC ABI.
# osslsigncode signs the Windows binaries when `make dist` is given a certificate; the signing
# test makes a throw-away one with openssl.
run_group kit llvm-14 lld-14 osslsigncode openssl
run_group bindings fp-compiler fp-units-rtl python3-venv python3-pip python3-mypy

if [ -n "$failed" ]; then
  say "================================================================================"
  say "NOT INSTALLED:"
  printf '%s' "$failed" | sed 's/^/install-deps:   /' >&2
  say "  -> the tests that need them are skipped, and name what they miss"
  say "================================================================================"
fi
case "$failed" in
  core:*) say "the core tools are missing: nothing can be built"; exit 1 ;;
esac
exit 0
