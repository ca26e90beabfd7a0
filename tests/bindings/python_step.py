# SPDX-License-Identifier: MIT
"""The Python binding as a packager and a user get it:
   python_step.py WORK TREES LINUX_WHEEL PACKAGE_FOLDER "EXPORTED NAMES..."
- the Linux wheel: its tags, not purelib, py.typed, a RECORD that holds every file's hash;
- its library needs no C library symbol newer than the wheel's manylinux tag allows, and no
  library beyond the C library's own (each offender named);
- installed by pip into a fresh virtual environment of this Python, the consumer program answers
  as answers.tsv says on every scratch tree, and it and the package pass mypy --strict;
- pip wheel on the package's folder makes the same bytes from a copy elsewhere under another
  umask; installed without a library, the package loads QUORIL_LIBRARY's: a stand-in whose
  exports all answer 0, where a failed query must raise QuorilError.
"""

import base64
import hashlib
import os
import re
import shutil
import sys
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
from steps import fresh, need, over_trees, run

HERE = os.path.dirname(os.path.abspath(__file__))
# What a manylinux library may need: the C library's own parts and the dynamic loader.
ALLOWED_LIBRARIES = {"libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0",
                     "ld-linux-x86-64.so.2"}


def wheel_faults(path, purelib):
    """What is wrong with the wheel's tags, purelib flag, py.typed and RECORD."""
    faults = []
    with zipfile.ZipFile(path) as wheel:
        names = wheel.namelist()
        info = next(name.split("/")[0] for name in names if ".dist-info/" in name)
        fields = wheel.read(info + "/WHEEL").decode().splitlines()
        tags = [line[5:] for line in fields if line.startswith("Tag: ")]
        named = os.path.basename(path)[:-4].split("-", 2)[2]
        expected = ["py3-none-" + each for each in named[len("py3-none-"):].split(".")]
        if tags != expected:
            faults.append("tags %s, the file's name says %s" % (tags, expected))
        if "Root-Is-Purelib: %s" % ("true" if purelib else "false") not in fields:
            faults.append("Root-Is-Purelib is not %s" % purelib)
        if "quoril/py.typed" not in names:
            faults.append("no quoril/py.typed")
        record = dict(line.split(",", 1)
                      for line in wheel.read(info + "/RECORD").decode().splitlines())
        for name in names:
            data = wheel.read(name)
            digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
            held = "," if name == info + "/RECORD" else "sha256=%s,%d" % (digest.decode(), len(data))
            if record.pop(name, None) != held:
                faults.append("RECORD does not hold %s as it is" % name)
        if record:
            faults.append("RECORD lists files the wheel lacks: %s" % sorted(record))
    return faults


def library_faults(library, floor):
    """Each symbol the library needs from a version newer than the glibc `floor` (or from any
    other versioned library), and each library it needs beyond ALLOWED_LIBRARIES."""
    faults = []
    symbols = run("readelf", "--dyn-syms", "--wide", library, capture=True)
    for name, version in re.findall(r" UND (\w+)@(\w+[\w.]*)", symbols):
        found = re.fullmatch(r"GLIBC_(\d+)\.(\d+)(?:\.\d+)?", version)
        if not found or (int(found.group(1)), int(found.group(2))) > floor:
            faults.append("%s needs %s@%s, not of glibc %d.%d or older"
                          % (library, name, version, *floor))
    dynamic = run("readelf", "--dynamic", "--wide", library, capture=True)
    for needed in re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic):
        if needed not in ALLOWED_LIBRARIES:
            faults.append("%s needs %s" % (library, needed))
    return faults


def pip_wheel(folder, into, umask):
    os.umask(umask)
    run(sys.executable, "-m", "pip", "wheel", "--quiet", "--no-build-isolation", "--no-index",
        "--no-deps", "--no-cache-dir", "--disable-pip-version-check", "--wheel-dir", into, folder,
        env={"PYTHONDONTWRITEBYTECODE": "1"})
    os.umask(0o022)
    (wheel,) = os.listdir(into)
    return os.path.join(into, wheel)


def venv(work, name, wheel):
    python = os.path.join(work, name, "bin", "python")
    run(sys.executable, "-m", "venv", os.path.join(work, name))
    run(python, "-m", "pip", "install", "--quiet", "--no-index", "--no-cache-dir",
        "--disable-pip-version-check", wheel)
    return python


def main(work, trees, wheel, package, exports):
    need("readelf", "cc")
    fresh(work)
    if not os.path.exists(wheel):
        sys.exit("no wheel %s: `make dist` builds it with Debian's python3-pip" % wheel)
    faults = wheel_faults(wheel, purelib=False)
    floor = re.search(r"manylinux_(\d+)_(\d+)_x86_64", wheel)
    if not floor:
        faults.append("%s has no manylinux tag" % wheel)
    else:
        with zipfile.ZipFile(wheel) as archive:
            library = archive.extract("quoril/libquoril.so", work)
        faults += library_faults(library, (int(floor.group(1)), int(floor.group(2))))

    python = venv(work, "venv", wheel)
    over_trees(trees, python, os.path.join(HERE, "quoril_test.py"))
    # The consumer, and the installed package's own annotations.
    installed = run(python, "-c", "import os, quoril; print(os.path.dirname(quoril.__file__))",
                    capture=True).strip()
    run(sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--python-executable",
        python, "--cache-dir", os.path.join(work, "mypy"), os.path.join(HERE, "quoril_test.py"),
        installed)

    # The package's folder, and a copy of it with the header and licence at the same places.
    top, copy = os.path.dirname(os.path.dirname(package)), os.path.join(work, "copy")
    shutil.copytree(package, os.path.join(copy, "bindings", "python"))
    shutil.copytree(os.path.join(top, "include"), os.path.join(copy, "include"))
    for name in ("CMakeLists.txt", "LICENSE"):
        shutil.copy(os.path.join(top, name), copy)
    plain = pip_wheel(package, fresh(os.path.join(work, "plain")), 0o022)
    again = pip_wheel(os.path.join(copy, "bindings", "python"), fresh(os.path.join(work, "again")),
                      0o077)
    with open(plain, "rb") as one, open(again, "rb") as other:
        if one.read() != other.read():
            faults.append("the package's folder and its copy make different wheels")
    faults += wheel_faults(plain, purelib=True)
    stand_in = os.path.join(work, "stand-in.so")
    # Every export answers 0 (C without prototypes takes any arguments).
    stand_in_source = "".join("int %s() { return 0; }\n" % name for name in exports.split())
    run("cc", "-shared", "-fPIC", "-w", "-o", stand_in, "-x", "c", "-", input=stand_in_source)
    run(venv(work, "plain-venv", plain), os.path.join(HERE, "quoril_test.py"), "--failing",
        env={"QUORIL_LIBRARY": stand_in})

    for fault in faults:
        print("FAILED " + fault)
    print("Python packages: %d faults" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
