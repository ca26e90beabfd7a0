# SPDX-License-Identifier: MIT
"""The quoril package's build backend (PEP 517), offline and with nothing to install.

It writes the wheel itself: the package's sources, quoril/_header.py with the version and the
exports' buffer sizes read from the C header, and with the config settings `library` (the file)
and `platform` (its wheel platform tag) the one native library the wheel carries. The header is
the setting `header`, else the kit's include/quoril.h two folders up, else the source tree's
include/quoril.h.in with the version from its CMakeLists.txt. The licence is LICENSE two folders
up. Every entry's time is SOURCE_DATE_EPOCH's (else 1980-01-01) and its mode fixed, so that the
same sources make the same bytes.
"""

import base64
import hashlib
import os
import re
import time
import zipfile

try:
    import tomllib
except ImportError:  # Python before 3.11
    import tomli as tomllib

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOP = os.path.dirname(os.path.dirname(HERE))


def _header(settings):
    path = settings.get("header") or os.path.join(TOP, "include", "quoril.h")
    if not os.path.exists(path):
        path = os.path.join(TOP, "include", "quoril.h.in")
    with open(path, encoding="utf-8") as file:
        text = file.read()
    version = re.search(r'#define QUORIL_VERSION_STRING "([0-9.]+)"', text)
    if version:
        version = version.group(1)
    else:
        with open(os.path.join(TOP, "CMakeLists.txt"), encoding="utf-8") as file:
            version = re.search(r"project\(quoril VERSION ([0-9.]+)", file.read()).group(1)
    sizes = re.findall(r"^#define QUORIL_(\w+_(?:UNITS|BYTES)) (\d+)$", text, re.MULTILINE)
    if not sizes:
        raise RuntimeError(path + " defines no buffer sizes")
    lines = ["# Written by the build from quoril.h: the version and the exports' buffer sizes.",
             'VERSION = "%s"' % version] + ["%s = %s" % size for size in sizes]
    return version, "\n".join(lines) + "\n"


def _metadata(project, version):
    lines = ["Metadata-Version: 2.4", "Name: " + project["name"], "Version: " + version,
             "Summary: " + project["description"], "License-Expression: " + project["license"],
             "License-File: LICENSE", "Requires-Python: " + project["requires-python"]]
    lines += ["Author: " + author["name"] for author in project.get("authors", [])]
    lines += ["Classifier: " + classifier for classifier in project.get("classifiers", [])]
    with open(os.path.join(HERE, project["readme"]), encoding="utf-8") as file:
        readme = file.read()
    lines.append("Description-Content-Type: text/markdown; charset=UTF-8")
    return "\n".join(lines) + "\n\n" + readme


def _entry(name, stamp, executable=False):
    entry = zipfile.ZipInfo(name, stamp)
    entry.create_system = 3  # Unix, whose permission bits follow
    entry.external_attr = (0o100755 if executable else 0o100644) << 16
    entry.compress_type = zipfile.ZIP_DEFLATED
    return entry


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    settings = config_settings or {}
    with open(os.path.join(HERE, "pyproject.toml"), "rb") as file:
        project = tomllib.load(file)["project"]
    version, header_module = _header(settings)
    library, platform = settings.get("library"), settings.get("platform", "any")
    if bool(library) != (platform != "any"):
        raise ValueError("the settings library and platform go together")

    files = {}
    package = os.path.join(HERE, "quoril")
    for name in sorted(os.listdir(package)):
        if name.endswith(".py") or name == "py.typed":
            with open(os.path.join(package, name), "rb") as file:
                files["quoril/" + name] = file.read()
    files["quoril/_header.py"] = header_module.encode("utf-8")
    native = None
    if library:
        native = "quoril/" + ("quoril.dll" if platform.startswith("win") else "libquoril.so")
        with open(library, "rb") as file:
            files[native] = file.read()

    info = "%s-%s.dist-info/" % (project["name"], version)
    tag = "py3-none-" + platform
    files[info + "METADATA"] = _metadata(project, version).encode("utf-8")
    wheel = ["Wheel-Version: 1.0", "Generator: quoril_build",
             "Root-Is-Purelib: " + ("false" if library else "true")]
    wheel += ["Tag: py3-none-" + each for each in platform.split(".")]
    files[info + "WHEEL"] = ("\n".join(wheel) + "\n").encode("utf-8")
    with open(os.path.join(TOP, "LICENSE"), "rb") as file:
        files[info + "licenses/LICENSE"] = file.read()
    record = []
    for name, data in files.items():
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
        record.append("%s,sha256=%s,%d" % (name, digest.decode("ascii"), len(data)))
    record.append(info + "RECORD,,")
    files[info + "RECORD"] = ("\n".join(record) + "\n").encode("utf-8")

    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    stamp = time.gmtime(epoch)[:6]
    wheel_name = "%s-%s-%s.whl" % (project["name"], version, tag)
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w") as archive:
        for name, data in files.items():
            archive.writestr(_entry(name, stamp, name == native), data)
    return wheel_name
