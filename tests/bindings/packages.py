"""The bindings' packages hold exactly what they promise, each library the very file the build
made for its platform.
    packages.py VERSION NUPKG LIBRARY_X86 LIBRARY_X64 LIBRARY_LINUX WHEEL_X86 WHEEL_X64 WHEEL_LINUX"""

import re
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

PLATFORMS = (("win-x86", "quoril.dll", "win32"), ("win-x64", "quoril.dll", "win_amd64"),
             ("linux-x64", "libquoril.so", "linux_x86_64"))


def check(path, expected, libraries, failures, manifest):
    """Checks the members of the zip at `path` (a wheel's dist-info aside) and its libraries;
    answers the content of its member `manifest`."""
    with zipfile.ZipFile(path) as package:
        members = {m for m in package.namelist() if ".dist-info/" not in m}
        if members != expected:
            failures.append("%s holds %s, not %s" % (path, sorted(members), sorted(expected)))
        for member, library in libraries:
            if member in members and package.read(member) != open(library, "rb").read():
                failures.append("%s: %s is not %s" % (path, member, library))
        return package.read(manifest)


def main(version, nupkg, *files):
    failures = []
    native = ["runtimes/%s/native/%s" % (rid, name) for rid, name, _ in PLATFORMS]
    nuspec = check(nupkg, {"Quoril.nuspec", "[Content_Types].xml", "_rels/.rels", "LICENSE",
                           "README.md", "contentFiles/cs/any/Quoril.cs"} | set(native),
                   zip(native, files[:3]), failures, "Quoril.nuspec")
    metadata = ElementTree.fromstring(nuspec).find("{*}metadata")
    compiled = metadata.find("{*}contentFiles/{*}files[@include='cs/any/Quoril.cs']")
    if [metadata.findtext("{*}" + f) for f in ("id", "version", "license", "readme")] != \
            ["Quoril", version, "LICENSE", "README.md"] or compiled is None or \
            compiled.get("buildAction") != "Compile":
        failures.append("%s: the manifest is not Quoril %s compiling Quoril.cs" % (nupkg, version))
    for (_, name, tag), library, wheel in zip(PLATFORMS, files[:3], files[3:]):
        try:
            tags = check(wheel, {"quoril/__init__.py", "quoril/native.py", "quoril/" + name},
                         [("quoril/" + name, library)], failures,
                         "quoril-%s.dist-info/WHEEL" % version)
            if re.findall(r"^Tag: (.*)$", tags.decode(), re.M) != ["py3-none-" + tag]:
                failures.append("%s is not tagged py3-none-%s" % (wheel, tag))
        except KeyError as missing:
            failures.append("%s: %s" % (wheel, missing))
        except FileNotFoundError:
            failures.append("no wheel %s (make dist builds it with Debian's python3-setuptools and "
                            "python3-wheel: cmake/install-deps.sh, group bindings)" % wheel)
    for failure in failures:
        print("FAILED " + failure)
    print("1 NuGet package and 3 wheels: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
