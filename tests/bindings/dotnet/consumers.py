#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The NuGet package as .NET developers meet it: the SDK projects beside this file restore it from
a folder feed holding only the package just built (the SDK's own packages come from the machine's
NuGet registry), build, and, where this machine can, run.   consumers.py ANSWERS WORK NUPKG
Consumer (net10.0, with the two netstandard2.0 libraries First and Second) runs over every tree of
ANSWERS; every build's output must hold exactly the native libraries its row of BUILDS names.
Without the .NET SDK the test is skipped (exit 77), saying so."""
import os
import shutil
import struct
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from steps import fresh, over_trees, run  # noqa: E402  (the bindings' steps share these)

MACHINES = {"x86": 0x14C, "x64": 0x8664}
BOTH = {"x86/quoril.dll": "x86", "x64/quoril.dll": "x64"}
# project, command after `dotnet`, the libraries its output holds (path: machine)
BUILDS = [
    ("Consumer", ["publish", "-r", "win-x86", "--self-contained", "false"], {"quoril.dll": "x86"}),
    ("Consumer", ["publish", "-r", "win-x64", "--self-contained", "false"], {"quoril.dll": "x64"}),
    ("Framework", ["build", "-p:PlatformTarget=AnyCPU"], BOTH),
    ("Framework", ["build", "-p:PlatformTarget=x86"], {"quoril.dll": "x86"}),
    ("Classic", ["msbuild", "-p:OutputPath={output}/"], BOTH),  # packages.config
]


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def expect_libraries(folder, expected, what):
    found = {os.path.relpath(os.path.join(root, name), folder): name
             for root, _, names in os.walk(folder) for name in names
             if name.lower() in ("quoril.dll", "libquoril.so")}
    if sorted(found) != sorted(os.path.normpath(path) for path in expected):
        fail(f"{what}: native libraries {sorted(found)}, expected {sorted(expected)}")
    for path, architecture in expected.items():
        with open(os.path.join(folder, path), "rb") as file:
            data = file.read(4096)
        offset = struct.unpack_from("<I", data, 0x3C)[0]
        if data[offset:offset + 6] != b"PE\0\0" + struct.pack("<H", MACHINES[architecture]):
            fail(f"{what}: {path} is not the {architecture} DLL")
    print(f"{what}: {', '.join(f'{p} ({a})' for p, a in sorted(expected.items()))}")


def main():
    answers, work = sys.argv[1:3]
    nupkg = sys.argv[3] if len(sys.argv) > 3 else ""
    dotnet = shutil.which("dotnet")
    if dotnet is None:
        print("SKIPPED: the .NET SDK (dotnet) is not installed, and the package needs it")
        return 77
    if "," in os.path.abspath(work) or "," in os.path.abspath(__file__):
        print("SKIPPED: the .NET SDK splits paths at commas, and this tree's path has one")
        return 77
    if not os.path.isfile(nupkg):
        fail(f"no package {nupkg!r}: `make dist` packs it (reconfigure build/dist if dotnet was "
             "installed after it was configured)")
    version = os.path.basename(nupkg)[len("Quoril."):-len(".nupkg")]

    # The projects afresh, and the feed; restored packages are kept between runs, except this
    # one, which NuGet would take from there by its version.
    source, feed, packages = (os.path.join(work, name) for name in ("src", "feed", "packages"))
    for folder in (source, os.path.join(packages, "quoril")):
        shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(os.path.dirname(os.path.abspath(__file__)), source,
                    ignore=shutil.ignore_patterns("*.py", "__pycache__"))
    fresh(feed)
    shutil.copy(nupkg, feed)
    with open(os.path.join(source, "NuGet.Config"), "w", encoding="utf-8") as file:
        file.write(f'<configuration><packageSources><add key="quoril-build" value="{feed}" />'
                   '</packageSources></configuration>\n')
    # A packages.config project: NuGet extracts the whole package beside the solution.
    zipfile.ZipFile(nupkg).extractall(os.path.join(source, "packages", "Quoril." + version))
    with open(os.path.join(source, "Classic", "packages.config"), "w", encoding="utf-8") as file:
        file.write(f'<packages><package id="Quoril" version="{version}" targetFramework="net48" />'
                   '</packages>\n')
    environment = {"NUGET_PACKAGES": packages, "DOTNET_CLI_TELEMETRY_OPTOUT": "1",
                   "DOTNET_NOLOGO": "1", "DOTNET_SKIP_FIRST_TIME_EXPERIENCE": "1"}
    options = ["-nologo", "-v:q", f"-p:QuorilVersion={version}"]

    consumer = os.path.join(source, "Consumer")
    run(dotnet, "build", *options, cwd=consumer, env=environment)
    over_trees(os.path.dirname(answers), dotnet, "run", "--no-build", "--", cwd=consumer,
               env=environment)

    for index, (project, command, expected) in enumerate(BUILDS):
        output = os.path.join(work, f"out-{index}")
        fresh(output)
        extra = ["-o", output]
        if project == "Classic":  # the reference assemblies the Framework builds restored
            references = os.path.join(packages, "microsoft.netframework.referenceassemblies.net48")
            references = os.path.join(references, sorted(os.listdir(references))[-1], "build")
            extra = [f"-p:TargetFrameworkRootPath={references}/"]
        command = [part.format(output=output) for part in command]
        run(dotnet, *command, *extra, *options, cwd=os.path.join(source, project), env=environment)
        expect_libraries(output, expected, f"{project}: dotnet {' '.join(command[:3])}")
    print("dotnet consumers: all built; Consumer ran on Linux")
    return 0


if __name__ == "__main__":
    sys.exit(main())
