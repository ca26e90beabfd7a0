#!/bin/sh
# Installs, as root on Debian, whatever building and testing Quoril needs and is still missing:
# CMake and Ninja, the native compiler with GoogleTest and Google Benchmark, clang with its
# libFuzzer runtime, MinGW-w64 for 32-bit Windows, and Wine with its 32-bit part.
# Already-installed packages are left alone, so a second run does nothing.
set -eu

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

missing=""
for package in cmake ninja-build g++ make googletest libbenchmark-dev \
               clang libclang-rt-14-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 wine; do
  installed "$package" || missing="$missing $package"
done
installed wine32:i386 || missing="$missing wine32:i386"

if [ -n "$missing" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  echo "install-deps: installing$missing" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >&2
fi

# Wine's 32-bit loader is a 32-bit Linux program. Some kernels run no 32-bit programs at all; on
# those it runs through user-mode emulation of the 32-bit processor, registered for 32-bit ELF
# programs. Slow, but every Windows test then runs as it would elsewhere.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: this kernel runs no 32-bit programs; run as root to set up emulation" >&2
    exit 1
  fi
  echo "install-deps: this kernel runs no 32-bit programs; running them through qemu-i386" >&2
  if ! installed qemu-user-static; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      qemu-user-static >&2
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # 32-bit little-endian x86 ELF executables and shared objects.
    printf '%s\n' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > "$binfmt/register"
  fi
  /usr/lib/wine/wine --version >/dev/null
fi
