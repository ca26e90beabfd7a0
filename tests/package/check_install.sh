#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and uses the result as hosts would: the files and
# links in place, only the exports visible, a C host built through pkg-config and one
# through find_package(Quoril) (which also compiles it against Quoril::headers alone), the
# installed quoril-info finding the installed library, its manual page rendered by man and its
# bash completion offering the subcommands.
#
#   check_install.sh BUILD_DIR WORK_DIR CONSUMER_DIR C_COMPILER GENERATOR VERSION LIBDIR EXPORTS
# EXPORTS is the project's export list, the names separated by blanks.
set -u
build=$1 work=$2 consumer=$3 cc=$4 generator=$5 version=$6 libdir=$7 exports=$8
major=${version%%.*}
prefix=$work/prefix
lib=$prefix/$libdir
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# run LOG COMMAND...: runs the command with its output in LOG, shown only when it fails.
run() {
  log=$1
  shift
  "$@" >"$log" 2>&1 && return 0
  cat "$log"
  return 1
}

rm -rf "$work" && mkdir -p "$work" || exit 1
run "$work/install.log" cmake --install "$build" --prefix "$prefix" || {
  echo "FAILED: cmake --install"
  exit 1
}

# The files, and the links from the development and run-time names to the versioned file.
man_page=share/man/man1/quoril-info.1
completion=share/bash-completion/completions/quoril-info
for file in "include/quoril.h" "bin/quoril-info" "$libdir/libquoril.so.$version" \
  "$libdir/pkgconfig/quoril.pc" "$libdir/cmake/Quoril/QuorilConfig.cmake" \
  "$libdir/cmake/Quoril/QuorilConfigVersion.cmake" "$man_page" "$completion" \
  share/doc/quoril/LICENSE share/doc/quoril/CHANGELOG.md share/quoril/quoril-info.schema.json; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/quoril-info" ] || fail "bin/quoril-info is not executable"
[ "$(readlink "$lib/libquoril.so.$major")" = "libquoril.so.$version" ] ||
  fail "libquoril.so.$major does not link to libquoril.so.$version"
[ "$(readlink "$lib/libquoril.so")" = "libquoril.so.$major" ] ||
  fail "libquoril.so does not link to libquoril.so.$major"
readelf -d "$lib/libquoril.so.$version" | grep -q "(SONAME).*\[libquoril\.so\.$major\]" ||
  fail "the SONAME is not libquoril.so.$major"

# Exactly the listed exports, every one a function; nothing of the C++ runtime or the logic.
# shellcheck disable=SC2086 # one name a word
expected=$(printf '%s\n' $exports | LC_ALL=C sort | tr '\n' ' ')
exported=$(nm -D --defined-only "$lib/libquoril.so.$version" | awk '{ print $3 }' | LC_ALL=C sort |
  tr '\n' ' ')
[ "$exported" = "$expected" ] || fail "the library exports [$exported], expected [$expected]"
functions=$(nm -D --defined-only "$lib/libquoril.so.$version" | awk '$2 == "T" { print $3 }' |
  LC_ALL=C sort | tr '\n' ' ')
[ "$functions" = "$expected" ] || fail "the exported functions are [$functions], expected all"

# check_host NAME PROGRAM [ENV...]: the host runs, its checks hold, and it reports the version.
check_host() {
  name=$1 program=$2
  shift 2
  out=$(env "$@" "$program" 2>"$work/$name.err") || {
    cat "$work/$name.err"
    fail "the $name host failed: $out"
    return
  }
  echo "$name host: $out"
  case $out in
    "quoril $version: fnVoIsCPU(\"\")=1 "*) ;;
    *) fail "the $name host reports '$out'" ;;
  esac
}

# pkg-config: the installed file is found through PKG_CONFIG_PATH; the host finds the library
# through LD_LIBRARY_PATH, as a host linked with plain flags does.
if ! command -v pkg-config >/dev/null; then
  fail "pkg-config is not installed (package pkg-config)"
else
  export PKG_CONFIG_PATH="$lib/pkgconfig"
  pc_version=$(pkg-config --modversion quoril)
  [ "$pc_version" = "$version" ] || fail "pkg-config reports version '$pc_version'"
  # The flags are separate words, escaped for the shell: a prefix with spaces stays one.
  eval "set -- $(pkg-config --cflags --libs quoril)"
  if run "$work/pkg-config.log" "$cc" -std=c99 -pedantic -Wall -Wextra -Werror \
    "$consumer/consumer.c" "$@" -o "$work/consumer-pkg-config"; then
    check_host pkg-config "$work/consumer-pkg-config" "LD_LIBRARY_PATH=$lib"
  else
    fail "the host does not build with pkg-config's flags"
  fi
fi

# CMake: the imported target carries the include folder, and the build's run path the library
# folder, so the host runs with no library path set.
cmake_host=$work/cmake-host
if run "$work/cmake.log" cmake -S "$consumer" -B "$cmake_host" -G "$generator" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" -DQUORIL_WANTED_VERSION="$major" &&
  run "$work/cmake-build.log" cmake --build "$cmake_host"; then
  check_host cmake "$cmake_host/consumer" -u LD_LIBRARY_PATH
  env -u LD_LIBRARY_PATH ldd "$cmake_host/consumer" | grep -q "libquoril\.so\.$major => $lib/" ||
    fail "the CMake host does not load $lib/libquoril.so.$major"
else
  fail "the host does not build with find_package(Quoril $major)"
fi
# A later major version is another interface: find_package must refuse this one.
if cmake -S "$consumer" -B "$work/cmake-next" -G "$generator" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" -DQUORIL_WANTED_VERSION=$((major + 1)) >"$work/cmake-next.log" 2>&1; then
  fail "find_package(Quoril $((major + 1))) accepted version $version"
fi

# The installed tool loads the installed library by its run-time name, with no library path.
report=$(env -u LD_LIBRARY_PATH "$prefix/bin/quoril-info" --json 2>"$work/tool.err")
status=$?
if [ "$status" != 0 ]; then
  cat "$work/tool.err"
  fail "the installed quoril-info exited with $status"
else
  loaded=$(printf '%s\n' "$report" | sed -n 's/^ *"path": "\(.*\)",*$/\1/p' | head -n 1)
  [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$lib/libquoril.so.$version")" ] ||
    fail "the installed quoril-info loaded '$loaded', not the installed library"
  echo "installed quoril-info loaded $loaded"
fi

# The manual page renders, naming the version and every subcommand.
if ! command -v man >/dev/null; then
  fail "man is not installed (package man-db)"
else
  page=$(MAN_DISABLE_SECCOMP=1 MANWIDTH=80 man -P cat -l "$prefix/$man_page" 2>"$work/man.err")
  status=$?
  for word in "quoril-info $version" cpu-has svid board drives caption bd decode-config \
    --version --json; do
    case $page in
      *"$word"*) ;;
      *) status=1 ;;
    esac
  done
  [ "$status" = 0 ] || {
    cat "$work/man.err"
    printf '%s\n' "$page"
    fail "man -l does not render $man_page with the version and every subcommand"
  }
fi

# complete_words WORD...: what the installed completion offers for the last word, as bash asks it.
complete_words() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quoril_info
    [ ${#COMPREPLY[@]} = 0 ] || printf "%s\n" "${COMPREPLY[@]}"' complete "$prefix/$completion" "$prefix/bin/quoril-info" "$@" |
    LC_ALL=C sort | tr '\n' ' '
}
offered=$(complete_words "")
[ "$offered" = "bd board caption cpu-has decode-config drives svid " ] ||
  fail "the completion offers [$offered] for a subcommand"
offered=$(complete_words --v)
[ "$offered" = "--version " ] || fail "the completion offers [$offered] for --v"
offered=$(complete_words svid "")
[ -z "$offered" ] || fail "the completion offers [$offered] after a subcommand"

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the installed library, header, tool, pkg-config file and CMake package all work"
