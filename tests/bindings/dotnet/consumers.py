#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The NuGet package as .NET developers meet it: small SDK projects restore it from a folder feed
holding only the package just built (beside the machine's NuGet registry, for the SDK's own
packages), build, and where this machine can, run.

    consumers.py ANSWERS WORK NUPKG

  Consumer   net10.0 program (nullable, warnings as errors, documentation file) referencing the
             package and two netstandard2.0 libraries that both use it: built, then run over every
             tree of ANSWERS; published for win-x86 and win-x64, each output holding the one
             quoril.dll of its machine
  Framework  net48 program: AnyCPU gets x86\\quoril.dll and x64\\quoril.dll, an x86 build gets the
             x86 DLL beside it
  Classic    an old-style net48 project with packages.config, the package extracted as NuGet
             does: it builds against lib\net462 and gets both DLLs from the build\ targets
Without the .NET SDK the test is skipped (exit 77), saying so.
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
MACHINES = {"x86": 0x14C, "x64": 0x8664}


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def run(command, work, **environment):
    print("+ " + " ".join(command), flush=True)
    result = subprocess.run(command, cwd=work, env=dict(os.environ, **environment))
    if result.returncode != 0:
        fail(f"{' '.join(command)} exited with {result.returncode}")


def machine(path):
    with open(path, "rb") as file:
        data = file.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[offset:offset + 4] != b"PE\0\0":
        fail(f"{path} is no PE file")
    return struct.unpack_from("<H", data, offset + 4)[0]


def native_libraries(folder):
    """Every native library of Quoril under folder, by its path relative to it."""
    found = []
    for root, _, files in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, name), folder) for name in files
                  if name.lower() in ("quoril.dll", "libquoril.so")]
    return sorted(found)


def expect_libraries(folder, expected, what):
    """folder holds exactly the libraries expected names (relative path: architecture)."""
    found = native_libraries(folder)
    if found != sorted(expected):
        fail(f"{what}: native libraries {found}, expected {sorted(expected)}")
    for path, architecture in expected.items():
        if machine(os.path.join(folder, path)) != MACHINES[architecture]:
            fail(f"{what}: {path} is not the {architecture} DLL")
    print(f"{what}: {', '.join(f'{p} ({a})' for p, a in sorted(expected.items()))}")


def trees(answers):
    with open(answers, encoding="utf-8") as file:
        return list(dict.fromkeys(line.split("\t")[0] for line in file if line.strip()))


def main():
    answers, work = sys.argv[1:3]
    nupkg = sys.argv[3] if len(sys.argv) > 3 else ""
    dotnet = shutil.which("dotnet")
    if dotnet is None:
        print("SKIPPED: the .NET SDK (dotnet) is not installed, and the package needs it")
        return 77
    if not os.path.isfile(nupkg):
        fail(f"no package {nupkg!r}: `make dist` builds it with dotnet pack (reconfigure build/dist "
             "if dotnet was installed after it)")
    version = os.path.basename(nupkg)[len("Quoril."):-len(".nupkg")]

    # The sources afresh; the restored packages are kept between runs, except the package itself,
    # which NuGet would otherwise take from there by its version.
    source = os.path.join(work, "src")
    shutil.rmtree(source, ignore_errors=True)
    shutil.copytree(HERE, source, ignore=shutil.ignore_patterns("*.py", "__pycache__"))
    feed = os.path.join(work, "feed")
    shutil.rmtree(feed, ignore_errors=True)
    os.makedirs(feed)
    shutil.copy(nupkg, feed)
    packages = os.path.join(work, "packages")
    shutil.rmtree(os.path.join(packages, "quoril"), ignore_errors=True)
    with open(os.path.join(source, "NuGet.Config"), "w", encoding="utf-8") as file:
        file.write('<?xml version="1.0" encoding="utf-8"?>\n<configuration><packageSources>'
                   f'<add key="quoril-build" value="{feed}" /></packageSources></configuration>\n')
    environment = {"NUGET_PACKAGES": packages, "DOTNET_CLI_TELEMETRY_OPTOUT": "1",
                   "DOTNET_NOLOGO": "1", "DOTNET_SKIP_FIRST_TIME_EXPERIENCE": "1"}
    common = ["--nologo", "-v:q", f"-p:QuorilVersion={version}"]

    consumer = os.path.join(source, "Consumer")
    run([dotnet, "build"] + common, consumer, **environment)
    for tree in trees(answers):
        run([dotnet, "run", "--no-build", "--", answers, tree], consumer,
            QUORIL_SYSFS_ROOT=os.path.join(os.path.dirname(answers), tree), **environment)
    for architecture in MACHINES:
        output = os.path.join(work, "publish-" + architecture)
        shutil.rmtree(output, ignore_errors=True)
        run([dotnet, "publish", "-r", "win-" + architecture, "--self-contained", "false",
             "-o", output] + common, consumer, **environment)
        expect_libraries(output, {"quoril.dll": architecture}, f"publish -r win-{architecture}")

    framework = os.path.join(source, "Framework")
    for platform, expected in (("AnyCPU", {os.path.join("x86", "quoril.dll"): "x86",
                                           os.path.join("x64", "quoril.dll"): "x64"}),
                               ("x86", {"quoril.dll": "x86"})):
        output = os.path.join(work, "net48-" + platform)
        shutil.rmtree(output, ignore_errors=True)
        run([dotnet, "build", "-o", output, f"-p:PlatformTarget={platform}"] + common, framework,
            **environment)
        expect_libraries(output, expected, f"net48 {platform}")

    # NuGet's packages.config restore: the whole package extracted beside the solution.
    classic = os.path.join(source, "Classic")
    zipfile.ZipFile(nupkg).extractall(os.path.join(source, "packages", "Quoril." + version))
    with open(os.path.join(classic, "packages.config"), "w", encoding="utf-8") as file:
        file.write('<?xml version="1.0" encoding="utf-8"?>\n<packages>\n'
                   f'  <package id="Quoril" version="{version}" targetFramework="net48" />\n'
                   '</packages>\n')
    # The reference assemblies the Framework build restored.
    references = os.path.join(packages, "microsoft.netframework.referenceassemblies.net48")
    references = os.path.join(references, sorted(os.listdir(references))[-1], "build")
    run([dotnet, "msbuild", "-nologo", "-v:m", f"-p:QuorilVersion={version}",
         f"-p:TargetFrameworkRootPath={references}{os.sep}"], classic, **environment)
    expect_libraries(os.path.join(classic, "bin"),
                     {os.path.join("x86", "quoril.dll"): "x86",
                      os.path.join("x64", "quoril.dll"): "x64"}, "packages.config net48 AnyCPU")
    print("dotnet consumers: all built; Consumer ran on Linux")
    return 0


if __name__ == "__main__":
    sys.exit(main())
