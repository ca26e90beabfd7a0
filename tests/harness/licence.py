# SPDX-License-Identifier: MIT
"""Every source file of the repository names its licence in its first line (its second, after a
shebang), in the file's own comment syntax. Source files are all the files git tracks but those
EXEMPT lists, which cannot hold a comment or are no source.

    licence.py check SOURCE [--add]
With --add the line is first put into each source file that lacks it (the sweep to run after
branches are merged)."""
from fnmatch import fnmatchcase
from pathlib import Path

from common import fail, main, run, skip

SPDX = "SPDX-License-Identifier: MIT"
# Markdown prose, JSON (which has no comments), the licence itself, the tests' data, and the .NET
# binding's public API as its build's analyzer reads it: a symbol a line, nothing else.
EXEMPT = ("LICENSE", "*.md", "*.md.in", "*.json", "tests/tool/sysfs*/*", "tests/tool/data/*",
          "tests/pe/allowed_imports.txt", "*.reg", "bindings/dotnet/PublicAPI.*.txt")
# The licence line as a comment of each kind of file; --add leaves a kind not known here alone.
COMMENTS = {"// {}": ("*.cpp", "*.h", "*.cs", "*.pas"),
            "/* {} */": ("*.c", "*.S", "*.h.in", "*.map", "*.rc.in"),
            "; {}": ("*.def", "*.def.in"),
            "# {}": ("CMakeLists.txt", "*/CMakeLists.txt", "*.cmake", "*.cmake.in", "*.sh", "*.py",
                     "*.bash", "*.pc.in", "*.h2m.in", "Makefile", ".clang-format", ".gitignore",
                     ".ci/*")}


def matches(name: str, patterns) -> bool:
    return any(fnmatchcase(name, pattern) for pattern in patterns)


def check(source, add=""):
    listed = run(["git", "-C", source, "-c", "core.quotePath=false", "ls-files", "-z"])
    if listed.returncode != 0:
        skip(f"{source} is not a git checkout: no list of the repository's files")
    files = [name for name in listed.stdout.split("\0") if name and not matches(name, EXEMPT)
             and Path(source, name).is_file()]
    missing = []
    for name in files:
        path = Path(source, name)
        lines = path.read_bytes().split(b"\n", 2)
        at = 1 if lines[0].startswith(b"#!") else 0
        if len(lines) > at and SPDX.encode() in lines[at]:
            continue
        comment = next((form.format(SPDX) for form, kinds in COMMENTS.items()
                        if matches(name, kinds)), None)
        if add == "--add" and comment:
            lines.insert(at, comment.encode())
            path.write_bytes(b"\n".join(lines))
        else:
            missing.append(name if comment or add != "--add" else
                           f"{name}: no comment syntax known for this kind of file")
    print(f"{len(files)} source files checked, {len(missing)} without the licence line")
    if missing:
        fail(f"no {SPDX} at the top of:\n  " + "\n  ".join(missing))


if __name__ == "__main__":
    main({"check": check})
