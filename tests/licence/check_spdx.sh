#!/bin/sh
# SPDX-License-Identifier: MIT
# Every source file of the repository names its licence in its first line (its second, after a
# shebang): "SPDX-License-Identifier: MIT", in the file's own comment syntax. Source files are all
# files git tracks except those `exempt` lists below, which cannot hold a comment or are no
# source: Markdown prose, JSON (which has no comments), the licence itself, the tests' data and
# the .NET binding's public API lists, whose format has no comments.
#   check_spdx.sh SOURCE_DIR [--add]
# With --add the line is first put into each source file that lacks it (the sweep to run after
# branches are merged). Exit status 0 when every source file has the line, 1 when one lacks it,
# 77 (skipped) when SOURCE_DIR is not a git checkout.
set -u
cd "$1" || exit 1
add=no
[ "${2:-}" = "--add" ] && add=yes
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || {
  echo "not a git checkout: no list of the repository's files"
  exit 77
}
spdx="SPDX-License-Identifier: MIT"

exempt() {
  case $1 in
    LICENSE | *.md | *.md.in | *.json) return 0 ;;
    tests/tool/sysfs*/* | tests/tool/data/* | tests/pe/allowed_imports.txt | *.reg) return 0 ;;
    # The public API as the .NET build's analyzer reads it: a symbol a line, nothing else.
    bindings/dotnet/PublicAPI.*.txt) return 0 ;;
  esac
  return 1
}

# The licence line as a comment of the file's kind; nothing for a kind not known here.
comment_for() {
  case $1 in
    *.cpp | *.h | *.cs | *.pas) echo "// $spdx" ;;
    *.c | *.S | *.h.in | *.map | *.rc.in) echo "/* $spdx */" ;;
    *.def | *.def.in) echo "; $spdx" ;;
    */CMakeLists.txt | CMakeLists.txt | *.cmake | *.cmake.in | *.sh | *.py | *.bash | *.pc.in | \
      *.h2m.in | Makefile | .clang-format | .gitignore | .ci/*) echo "# $spdx" ;;
  esac
}

has_line() {
  first=$(sed -n 1p "$1")
  case $first in
    '#!'*) line=$(sed -n 2p "$1") ;;
    *) line=$first ;;
  esac
  case $line in
    *"$spdx"*) return 0 ;;
  esac
  return 1
}

# Puts the line first, or right after a shebang.
add_line() {
  comment=$(comment_for "$1")
  if [ -z "$comment" ]; then
    echo "$1: no comment syntax known for this kind of file; add the line by hand"
    return
  fi
  {
    case $(sed -n 1p "$1") in
      '#!'*)
        sed -n 1p "$1"
        printf '%s\n' "$comment"
        sed 1d "$1"
        ;;
      *)
        printf '%s\n' "$comment"
        cat "$1"
        ;;
    esac
  } >"$1.spdx" && cat "$1.spdx" >"$1" && rm -f "$1.spdx"
}

checked=0
missing=0
while IFS= read -r file; do
  exempt "$file" && continue
  [ -f "$file" ] || continue
  [ "$add" = yes ] && ! has_line "$file" && add_line "$file"
  checked=$((checked + 1))
  if ! has_line "$file"; then
    echo "no $spdx at the top of $file"
    missing=$((missing + 1))
  fi
done <<EOF_FILES
$(git -c core.quotePath=false ls-files)
EOF_FILES

echo "$checked source files checked, $missing without the licence line"
[ "$missing" = 0 ]
