# SPDX-License-Identifier: MIT
"""The installed product, used as hosts use it: the build installed into a scratch prefix, the
files and links in place, only the exports visible, a C host built through pkg-config and one
through find_package(Quoril) (which also compiles it against Quoril::headers alone), the
installed quoril-info finding the installed library, its manual page rendered by man and its
bash completion offering the subcommands.

    package.py install BUILD WORK CONSUMER C_COMPILER GENERATOR VERSION LIBDIR
"""
import json
import os
import re
import shlex
import shutil
from pathlib import Path

import kit
import pe
from common import fail, fresh, main, run

MAN_PAGE = "share/man/man1/quoril-info.1"
COMPLETION = "share/bash-completion/completions/quoril-info"
SUBCOMMANDS = ["bd", "board", "caption", "cpu-has", "decode-config", "drives", "svid"]


def install(build, work, consumer, cc, generator, version, libdir):
    work, major = Path(work), version.split(".")[0]
    prefix, lib, library = work / "prefix", work / "prefix" / libdir, f"libquoril.so.{version}"
    fresh(work)
    run(["cmake", "--install", build, "--prefix", prefix], check=True)
    without_path = {name: value for name, value in os.environ.items() if name != "LD_LIBRARY_PATH"}
    failures = []

    def expect(holds, failure: str):
        if not holds:
            failures.append(failure)

    def host(name, built, program, environment):
        """The host built, runs, its checks hold, and it reports the version."""
        expect(built.returncode == 0, f"the {name} host does not build:\n"
               f"{built.stdout}{built.stderr}")
        if built.returncode == 0:
            result = run([program], env=environment)
            print(f"{name} host: {result.stdout}{result.stderr}")
            expect(result.returncode == 0 and result.stdout.startswith(
                f'quoril {version}: fnVoIsCPU("")=1 '), f"the {name} host failed: {result.stdout}")
        return built.returncode == 0

    def needs(tool, package):
        expect(shutil.which(tool), f"{tool} is not installed (package {package})")
        return shutil.which(tool)

    for file in ("include/quoril.h", "bin/quoril-info", f"{libdir}/{library}", MAN_PAGE,
                 f"{libdir}/pkgconfig/quoril.pc", f"{libdir}/cmake/Quoril/QuorilConfig.cmake",
                 f"{libdir}/cmake/Quoril/QuorilConfigVersion.cmake", COMPLETION,
                 "share/doc/quoril/LICENSE", "share/doc/quoril/CHANGELOG.md",
                 "share/quoril/quoril-info.schema.json"):
        expect((prefix / file).is_file(), f"{file} is not installed")
    expect(os.access(prefix / "bin/quoril-info", os.X_OK), "bin/quoril-info is not executable")
    for link, target in ((f"libquoril.so.{major}", library),
                         ("libquoril.so", f"libquoril.so.{major}")):
        expect(os.path.islink(lib / link) and os.readlink(lib / link) == target,
               f"{link} does not link to {target}")
    expect(re.search(rf"\(SONAME\).*\[libquoril\.so\.{major}\]",
                     run(["readelf", "-d", lib / library]).stdout),
           f"the SONAME is not libquoril.so.{major}")

    # Exactly the listed exports, every one a function; nothing of the C++ runtime or the logic.
    symbols = [line.split() for line in
               run(["nm", "-D", "--defined-only", lib / library]).stdout.splitlines()]
    expected = sorted(pe.export_list()[0])
    expect(sorted(name for *_, name in symbols) == expected,
           f"the library exports {sorted(name for *_, name in symbols)}, expected {expected}")
    expect(sorted(name for _, kind, name in symbols if kind == "T") == expected,
           "the exported names are not all functions")

    # pkg-config's flags are separate words, escaped for the shell (a prefix with spaces stays
    # one); the host finds the library through LD_LIBRARY_PATH, as one linked with plain flags.
    if needs("pkg-config", "pkg-config"):
        environment = {**os.environ, "PKG_CONFIG_PATH": str(lib / "pkgconfig")}
        found = run(["pkg-config", "--modversion", "quoril"], env=environment).stdout.strip()
        expect(found == version, f"pkg-config reports version '{found}'")
        flags = shlex.split(run(["pkg-config", "--cflags", "--libs", "quoril"],
                                env=environment, check=True).stdout)
        host("pkg-config", run([cc, "-std=c99", "-pedantic", "-Wall", "-Wextra", "-Werror",
                                Path(consumer, "consumer.c"), *flags, "-o",
                                work / "consumer-pkg-config"]), work / "consumer-pkg-config",
             {**without_path, "LD_LIBRARY_PATH": str(lib)})

    # CMake: the imported target carries the include folder, and the build's run path the
    # library folder, so the host runs with no library path set. A later major version is another
    # interface: find_package must refuse this one.
    def configured(folder, wanted):
        return kit.configure_and_build(consumer, work / folder, f"-DCMAKE_C_COMPILER={cc}",
                                       f"-DCMAKE_PREFIX_PATH={prefix}",
                                       f"-DQUORIL_WANTED_VERSION={wanted}", generator=generator,
                                       check=False)

    built = configured("cmake-host", major)
    if host(f"find_package(Quoril {major})", built, work / "cmake-host/consumer", without_path):
        expect(f"libquoril.so.{major} => {lib}/" in run(["ldd", work / "cmake-host/consumer"],
                                                          env=without_path).stdout,
               f"the CMake host does not load {lib}/libquoril.so.{major}")
    expect(configured("cmake-next", int(major) + 1).returncode != 0,
           f"find_package(Quoril {int(major) + 1}) accepted version {version}")

    # The installed tool loads the installed library by its run-time name, with no library path.
    tool = run([prefix / "bin/quoril-info", "--json"], env=without_path)
    loaded = json.loads(tool.stdout)["library"]["path"] if tool.returncode == 0 else None
    expect(loaded and os.path.realpath(loaded) == os.path.realpath(lib / library),
           f"the installed quoril-info loaded {loaded!r}, not the installed library:"
           f" {tool.stderr}")

    if needs("man", "man-db"):
        page = run(["man", "-P", "cat", "-l", prefix / MAN_PAGE],
                   env={**os.environ, "MAN_DISABLE_SECCOMP": "1", "MANWIDTH": "80"})
        missing = [word for word in [f"quoril-info {version}", *SUBCOMMANDS, "--version",
                                     "--json"] if word not in page.stdout]
        expect(page.returncode == 0 and not missing,
               f"man -l does not render {MAN_PAGE} with {missing}: {page.stderr}")

    # What the installed completion offers for the last word, as bash asks it.
    script = ('. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quoril_info; '
              '[ ${#COMPREPLY[@]} = 0 ] || printf "%s\\n" "${COMPREPLY[@]}"')
    for words, expected in (([""], SUBCOMMANDS), (["--v"], ["--version"]), (["svid", ""], [])):
        offered = sorted(run(["bash", "-c", script, "complete", prefix / COMPLETION,
                              prefix / "bin/quoril-info", *words]).stdout.split())
        expect(offered == expected, f"the completion offers {offered} after {words}, "
               f"not {expected}")
    if failures:
        fail("\n".join(failures))
    print("the installed library, header, tool, pkg-config file and CMake package all work")


if __name__ == "__main__":
    main({"install": install})
