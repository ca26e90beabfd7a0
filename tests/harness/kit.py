# SPDX-License-Identifier: MIT
"""The kit as its users get it: the zip against the promised layout and its checksum, unpacked as
a user would, hosts built against the unpacked copy alone with each compiler and architecture a
host may use (`example`: MinGW, `msvc`: clang for the MSVC ABI), what they import, and their runs
under Wine (`answers`, `versions`). `kit.py CHECK ARGUMENT...`, one check a function below."""
import os
import re
import shutil
import tempfile
import zipfile
from pathlib import Path

import pe
import report
from common import SOURCE, fail, fresh, main, run

HERE = SOURCE / "tests/kit"
LAYOUT = """LICENSE README.md quoril-info.schema.json include/quoril.h
    bin/x64/quoril-info.exe bin/x64/quoril.dll bin/x86/quoril-info.exe bin/x86/quoril.dll
    lib/cmake/Quoril/QuorilConfig.cmake lib/cmake/Quoril/QuorilConfigVersion.cmake
    lib/x64/libquoril.dll.a lib/x64/quoril.lib lib/x86/libquoril.dll.a lib/x86/quoril.lib
    bindings/README.md bindings/dotnet/Quoril.cs bindings/pascal/Quoril.pas
    bindings/pascal/QuorilSizes.inc bindings/python/README.md
    bindings/python/build_backend/quoril_build.py bindings/python/pyproject.toml
    bindings/python/quoril/__init__.py bindings/python/quoril/native.py
    bindings/python/quoril/py.typed""".split()
# Each architecture: its MinGW toolchain (the product's own compilers), its clang target for the
# MSVC ABI, llvm-dlltool's machine, and the Windows it runs on.
ARCHES = {"x86": ("i686", "i686-pc-windows-msvc", "i386", "win32"),
          "x64": ("x86_64", "x86_64-pc-windows-msvc", "i386:x86-64", "win64")}


def contents(zip_path, top):
    """Exactly the promised files under one top folder (folders may be members of their own),
    and a checksum file that `sha256sum -c` accepts beside the zip."""
    zip_path = Path(zip_path)
    with zipfile.ZipFile(zip_path) as archive:
        found = {name for name in archive.namelist() if not name.endswith("/")}
    expected = {f"{top}/{name}" for name in LAYOUT}
    if found != expected:
        fail(f"{zip_path} lacks {sorted(expected - found)} and holds {sorted(found - expected)}")
    line = Path(f"{zip_path}.sha256").read_text(encoding="utf-8")
    if not re.fullmatch(rf"[0-9a-f]{{64}}  {re.escape(zip_path.name)}\n", line):
        fail(f'{zip_path}.sha256 is not one line "<hash>  {zip_path.name}": {line!r}')
    run(["sha256sum", "-c", f"{zip_path.name}.sha256"], cwd=zip_path.parent, check=True)


def unpack(zip_path, folder):
    fresh(folder)
    with zipfile.ZipFile(zip_path) as archive:
        archive.extractall(folder)


def version_file(file, version):
    """Its own major version no newer than the kit is compatible, another major or a newer
    version is not, and only 32-bit and 64-bit Windows builds may take the kit at all."""
    major, minor = (int(part) for part in version.split(".")[:2])
    # WIN32, the pointer's size, the version asked, and the answer expected.
    cases = [(1, 8, major, "compatible"), (1, 4, f"{major}.{minor}", "compatible"),
             (1, 8, major + 1, "incompatible"), (1, 4, f"{major}.{minor + 1}", "incompatible"),
             (0, 8, major, "unsuitable"), (1, 2, major, "unsuitable")]
    with tempfile.TemporaryDirectory() as scratch:
        probe = Path(scratch, "probe.cmake")
        probe.write_text(f'include("{file}")\nmessage("${{PACKAGE_VERSION_UNSUITABLE}}|'
                         '${PACKAGE_VERSION_COMPATIBLE}")\n', encoding="utf-8")
        for win32, pointer, wanted, expected in cases:
            answer = run(["cmake", f"-DWIN32={win32}", f"-DCMAKE_SIZEOF_VOID_P={pointer}",
                          f"-DPACKAGE_FIND_VERSION={wanted}",
                          f"-DPACKAGE_FIND_VERSION_MAJOR={str(wanted).split('.')[0]}", "-P", probe],
                         check=True).stderr.strip().upper().split("|")
            unsuitable, compatible = (value in ("1", "ON", "TRUE", "YES") for value in answer)
            found = "unsuitable" if unsuitable else "compatible" if compatible else "incompatible"
            if found != expected:
                fail(f"{wanted} (WIN32 {win32}, {pointer}-byte pointers): {found}, not {expected}")


def configure_and_build(source, binary, *options, generator="Ninja", check=True):
    """SOURCE configured and built afresh in BINARY: the configure step's result where it fails,
    else the build's."""
    fresh(binary)
    done = run(["cmake", "-S", source, "-B", binary, "-G", generator, *options], check=check)
    return done if done.returncode else run(["cmake", "--build", binary], check=check)


def build(source, program, toolchain, kit, *configure):
    """PROGRAM built from SOURCE as a user of the kit would: the kit's folder in
    CMAKE_PREFIX_PATH, find_package(Quoril) in the project, warnings errors."""
    warnings = "-Wall -Wextra -Werror"
    configure_and_build(source, Path(program).parent, "--no-warn-unused-cli",
                        "-DCMAKE_BUILD_TYPE=Release", f"-DCMAKE_TOOLCHAIN_FILE={toolchain}",
                        f"-DCMAKE_PREFIX_PATH={kit}", f"-DCMAKE_C_FLAGS={warnings}",
                        f"-DCMAKE_CXX_FLAGS={warnings}", *configure)


def imports_of_host(program, kit, arch, loads_at_run_time=False) -> dict[str, list[str]]:
    """The kit's DLL is the one the build put beside PROGRAM, which imports from it either every
    name it exports, fnGetSVID under its decorated name, and only those, or nothing."""
    dll, beside = Path(kit) / f"bin/{arch}/quoril.dll", Path(program).parent / "quoril.dll"
    if not beside.exists() or beside.read_bytes() != dll.read_bytes():
        fail(f"the build did not put the kit's {dll} beside {program}")
    imports = pe.Image(program).imports
    imported, exported = imports.get("QUORIL.DLL", []), pe.Image(dll).exports
    if imported != ([] if loads_at_run_time else exported):
        fail(f"{program} imports {imported} from quoril.dll, which exports {exported}")
    return imports


def example(arch, name, program, kit):
    toolchain = SOURCE / f"cmake/toolchain-mingw-{ARCHES[arch][0]}-win32.cmake"
    build(SOURCE / "examples" / name, program, toolchain, kit)
    imports_of_host(program, kit, arch, loads_at_run_time=name == "c-runtime")


def msvc(arch, program, kit):
    """The host an MSVC user builds, with no MSVC on the machine: find_package(Quoril) must pick
    quoril.lib, and KERNEL32's import library, made here from a small definition, is the only
    other library: the program imports from KERNEL32 and quoril.dll alone."""
    _, target, machine, _ = ARCHES[arch]
    folder = fresh(f"{Path(program).parent}.kernel32")
    definition = (HERE / "kernel32.def").read_text(encoding="utf-8")
    # Only 32-bit stdcall names carry their argument bytes.
    (folder / "kernel32.def").write_text(re.sub(r"@[0-9]+", "", definition) if arch == "x64"
                                         else definition, encoding="utf-8")
    dlltool = shutil.which("llvm-dlltool-14") or "llvm-dlltool"
    run([dlltool, "-m", machine, *(["-k"] if arch == "x86" else []), "-d",
         folder / "kernel32.def", "-l", folder / "kernel32.lib"], check=True)
    build(HERE / "msvc_abi_host", program, HERE / "clang-msvc-toolchain.cmake", kit,
          f"-DQUORIL_MSVC_TARGET={target}", f"-DKERNEL32_LIB={folder / 'kernel32.lib'}")
    if sorted(dlls := imports_of_host(program, kit, arch)) != ["KERNEL32.DLL", "QUORIL.DLL"]:
        fail(f"{program} imports from {sorted(dlls)}, not from KERNEL32.DLL and quoril.dll alone")


def run_windows(arch, program, *arguments, folder) -> str:
    """PROGRAM's output, run on ARCH's Windows in FOLDER; exits 0 (or the check skips, saying
    why it cannot run here)."""
    os.chdir(folder)
    with report.launched(program, list(arguments), windows=ARCHES[arch][3]) as ran:
        if ran.status:
            fail(f"{Path(program).name} exited with {ran.status}")
    print(ran.out + ran.err, flush=True)
    return ran.out


def answers(arch, program):
    """The host, run in its own folder, prints a line for each export starting with its name."""
    output = run_windows(arch, program, folder=Path(program).parent)
    missing = [name for name in pe.export_list()[0]
               if not re.search(rf"^{name}[(:]", output, re.MULTILINE)]
    if missing:
        fail(f"{program} printed no answer of {', '.join(missing)}")


def versions(program, kit):
    """Each binary's version resource, read by the system's own functions, is the header's
    version: a 64-bit program reads the 32-bit files' too."""
    run_windows("x64", program, *(f"bin/{arch}/{binary}" for arch in ARCHES
                                  for binary in ("quoril.dll", "quoril-info.exe")), folder=kit)


if __name__ == "__main__":
    main({"contents": contents, "unpack": unpack, "version_file": version_file,
          "example": example, "msvc": msvc, "answers": answers, "versions": versions,
          "reader": lambda program, kit: build(
              HERE / "version_resource", program,
              SOURCE / "cmake/toolchain-mingw-x86_64-win32.cmake", kit)})
