#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A release a user can trust.

    release.py reproduce SOURCE DIST SCRATCH
        `make dist` again in a copy of SOURCE (another folder, a later time, another time zone,
        locale and umask) gives the SHA256SUMS that SOURCE's own `make dist` wrote into DIST.
    release.py sign SOURCE DIST SCRATCH WIN32_TREE WIN64_TREE
        The kit signed with a throw-away certificate: osslsigncode accepts every signature,
        each binary without it is DIST's unsigned one, the signed DLLs pass their table checks,
        every Windows binary in every archive is signed, SHA256SUMS lists the signed files.
"""
import filecmp
import hashlib
import os
import shutil
import subprocess
import sys
import time
import zipfile

ARCHES = {"x86": "i686-w64-mingw32-objdump", "x64": "x86_64-w64-mingw32-objdump"}
BINARIES = ("quoril.dll", "quoril-info.exe")
SUMS = "SHA256SUMS"
SKIPPED = 77


def run(command, **options):
    print("$", " ".join(command), flush=True)
    return subprocess.run(command, check=True, text=True, **options)


def copy_source(source, copy):
    """The same tree at the same commit (whose time the artefacts carry)."""
    commit = run(["git", "-C", source, "rev-parse", "HEAD"], capture_output=True).stdout.strip()
    run(["git", "clone", "--quiet", "--shared", "--no-checkout", source, copy])
    run(["git", "-C", copy, "checkout", "--quiet", "--detach", commit])
    changed = run(["git", "-C", source, "ls-files", "-z", "--modified", "--others",
                   "--exclude-standard"], capture_output=True).stdout
    for name in filter(None, changed.split("\0")):
        target = os.path.join(copy, name)
        if os.path.lexists(os.path.join(source, name)):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(os.path.join(source, name), target)
        elif os.path.lexists(target):
            os.remove(target)


def reproduce(source, dist, scratch):
    first = os.path.join(dist, SUMS)
    if not os.path.exists(first):
        print(f"{first} is missing: run make dist first")
        return 1
    shutil.rmtree(scratch, ignore_errors=True)
    copy = os.path.join(scratch, "quoril")  # git clone makes the folders
    copy_source(source, copy)
    # Later by whole seconds, the PE time stamp's unit. The copy's make runs on its own, not
    # under the calling make's job server.
    while time.time() < os.path.getmtime(first) + 2:
        time.sleep(1)
    environment = {name: value for name, value in os.environ.items()
                   if name not in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL")}
    environment.update(TZ="Pacific/Kiritimati", LC_ALL="C.UTF-8", QUORIL_DEPS_CHECKED="1")
    run(["make", "-C", copy, "dist"], env=environment, preexec_fn=lambda: os.umask(0o027))
    second = os.path.join(copy, "build", "dist", SUMS)
    with open(first, encoding="utf-8") as one, open(second, encoding="utf-8") as other:
        expected, found = one.read(), other.read()
    print(f"{first}:\n{expected}\n{second}:\n{found}")
    if found != expected:
        ours, theirs = set(expected.splitlines()), set(found.splitlines())
        for line in sorted(ours - theirs):
            print(f"only in {dist}: {line}")
        for line in sorted(theirs - ours):
            print(f"only in the copy: {line}")
        print("FAILED: the same commit built different artefacts (or a commit came after the "
              "first make dist: run it again)")
        return 1
    # An empty or partial list would compare equal just as well.
    names = [line.split("  ", 1)[1] for line in expected.splitlines()]
    wanted = [".zip", ".zip.sha256", ".so.1.0.0", "/lib/x64/quoril.lib", "/lib/x86/libquoril.dll.a"]
    wanted += [f"/bin/{arch}/{binary}" for arch in ARCHES for binary in BINARIES]
    missing = [end for end in wanted if not any(name.endswith(end) for name in names)]
    if missing:
        print(f"FAILED: {SUMS} lists nothing ending in {', '.join(missing)}")
        return 1
    print(f"identical: {len(names)} artefacts")
    return 0


def make_certificate(folder):
    """A self-signed code-signing certificate in a PKCS#12 file, its password in a file."""
    key, certificate, pkcs12, password = (os.path.join(folder, name) for name in
                                          ("key.pem", "cert.pem", "signer.p12", "password"))
    with open(password, "w", encoding="ascii") as stream:
        stream.write("throw-away\n")
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", "/CN=Quoril test signer", "-addext", "extendedKeyUsage=codeSigning",
         "-keyout", key, "-out", certificate], capture_output=True)
    run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12,
         "-passout", f"file:{password}"])
    return certificate, pkcs12, password


def check_signatures(signed_dist, dist, certificate, scratch):
    failures = []
    for arch in ARCHES:
        for binary in BINARIES:
            signed = os.path.join(signed_dist, "signed", arch, binary)
            verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate,
                                     "-in", signed], capture_output=True, text=True)
            print(f"osslsigncode verify {arch}/{binary}:\n{verify.stdout}{verify.stderr}")
            if verify.returncode != 0:
                failures.append(f"osslsigncode does not accept {signed}")
            removed = os.path.join(scratch, f"removed-{arch}-{binary}")
            run(["osslsigncode", "remove-signature", "-in", signed, "-out", removed],
                capture_output=True)
            unsigned = os.path.join(dist, "unsigned", arch, binary)
            if not filecmp.cmp(removed, unsigned, shallow=False):
                failures.append(f"{signed} without its signature differs from {unsigned}")
    return failures


def check_tables(source, signed_dist):
    """The DLLs' own table checks (tests/pe), held to the signed files."""
    failures = []
    pe = os.path.join(source, "tests", "pe")
    for arch, objdump in ARCHES.items():
        common = ["cmake", "-DOBJDUMP=" + shutil.which(objdump),
                  "-DDLL=" + os.path.join(signed_dist, "signed", arch, "quoril.dll")]
        checks = [["-DARCH=" + ("x86" if arch == "x86" else "x86-64"),
                   "-DALLOWED_IMPORTS=" + os.path.join(pe, "allowed_imports.txt"),
                   "-P", os.path.join(pe, "check_tables.cmake")]]
        if arch == "x86":
            checks.append(["-P", os.path.join(pe, "check_instructions.cmake")])
        failures += [f"{' '.join(common + check)} failed" for check in checks
                     if subprocess.run(common + check).returncode != 0]
    return failures


def check_packages(signed_dist):
    """Every copy of the library and the host tool inside every archive beside the kit is one of
    the signed files (the .NET package's managed assembly is not among those signed)."""
    signed = set()
    for arch in ARCHES:
        for binary in BINARIES:
            with open(os.path.join(signed_dist, "signed", arch, binary), "rb") as stream:
                signed.add(hashlib.sha256(stream.read()).digest())
    failures, seen = [], 0
    for name in sorted(os.listdir(signed_dist)):
        path = os.path.join(signed_dist, name)
        if not os.path.isfile(path) or not zipfile.is_zipfile(path):
            continue
        with zipfile.ZipFile(path) as archive:
            for member in archive.namelist():
                if os.path.basename(member).lower() in BINARIES:
                    seen += 1
                    if hashlib.sha256(archive.read(member)).digest() not in signed:
                        failures.append(f"{name}: {member} is not a signed binary")
    print(f"{seen} Windows binaries in the archives, {seen - len(failures)} of them signed")
    return failures


def sign(source, dist, scratch, win32_tree, win64_tree):
    missing = [tool for tool in ("osslsigncode", "openssl") if not shutil.which(tool)]
    if missing:
        print(f"SKIPPED: {' and '.join(missing)} not installed (make deps: group kit)")
        return SKIPPED
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    certificate, pkcs12, password = make_certificate(scratch)
    signed_dist = os.path.join(scratch, "dist")
    run(["cmake", "-S", os.path.join(source, "dist"), "-B", signed_dist, "-G", "Ninja",
         "-DQUORIL_WIN32_DIR=" + win32_tree, "-DQUORIL_WIN64_DIR=" + win64_tree,
         "-DQUORIL_SIGN_PKCS12=" + pkcs12, "-DQUORIL_SIGN_PASSWORD_FILE=" + password],
        stdout=subprocess.DEVNULL)
    run(["cmake", "--build", signed_dist])
    run(["cmake", "--build", signed_dist, "--target", "checksums"])
    failures = check_signatures(signed_dist, dist, certificate, scratch)
    failures += check_tables(source, signed_dist)
    failures += check_packages(signed_dist)
    if subprocess.run(["sha256sum", "--quiet", "-c", SUMS], cwd=signed_dist).returncode != 0:
        failures.append(f"{SUMS} does not list the signed build's files")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


def main(argv):
    commands = {"reproduce": (reproduce, 3), "sign": (sign, 5)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        sys.stderr.write(__doc__)
        return 2
    return commands[argv[1]][0](*argv[2:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
