#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What makes a release trustworthy: the same commit rebuilds the same bytes, and signing
changes nothing but the signatures.

    release.py reproduce SOURCE DIST SCRATCH
        Copies the source tree into SCRATCH (a clone at its commit, with whatever is not yet
        committed laid over it) and runs `make dist` there: another folder, a later time,
        another time zone, locale and umask. Its SHA256SUMS must equal DIST's, which the
        source tree's own `make dist` wrote.
    release.py sign SOURCE DIST SCRATCH WIN32_TREE WIN64_TREE
        Makes a throw-away certificate, builds the kit again in SCRATCH from the same Windows
        trees, signed with it, and checks: osslsigncode accepts every signature; without its
        signature each binary equals DIST's unsigned one; the signed DLLs pass the export,
        import and instruction table checks; every Windows binary in every archive is a signed
        one; SHA256SUMS lists the signed files.
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
    return subprocess.run(command, check=True, **options)


def output(command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True,
                          **options).stdout


def fresh(folder):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)


def read(path):
    with open(path, encoding="utf-8") as stream:
        return stream.read()


# --- reproduce ---------------------------------------------------------------------------------

def copy_source(source, copy):
    """A clone of the source tree's commit, with its uncommitted changes (and new files that
    are not ignored) laid over it: the same tree and the same commit time."""
    commit = output(["git", "-C", source, "rev-parse", "HEAD"]).strip()
    run(["git", "clone", "--quiet", "--shared", "--no-checkout", source, copy])
    run(["git", "-C", copy, "checkout", "--quiet", "--detach", commit])
    listed = output(["git", "-C", source, "ls-files", "-z", "--modified", "--others",
                     "--exclude-standard"])
    for name in filter(None, listed.split("\0")):
        target = os.path.join(copy, name)
        if os.path.lexists(os.path.join(source, name)):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(os.path.join(source, name), target)
        elif os.path.lexists(target):
            os.remove(target)


def other_environment():
    """The builder's environment with another time zone and locale, without the calling make's
    job server (the copy's make runs on its own)."""
    environment = {name: value for name, value in os.environ.items()
                   if name not in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL")}
    environment.update(TZ="Pacific/Kiritimati", LC_ALL="C.UTF-8", LANG="C.UTF-8",
                       QUORIL_DEPS_CHECKED="1")
    return environment


def reproduce(source, dist, scratch):
    expected_path = os.path.join(dist, SUMS)
    if not os.path.exists(expected_path):
        print(f"{expected_path} is missing: run make dist first")
        return 1
    expected = read(expected_path)
    fresh(scratch)
    copy = os.path.join(scratch, "quoril")
    copy_source(source, copy)
    # A later time than the first build's, by whole seconds (the PE time stamp's unit).
    while time.time() < os.path.getmtime(expected_path) + 2:
        time.sleep(1)
    run(["make", "-C", copy, "dist"], env=other_environment(),
        preexec_fn=lambda: os.umask(0o027))
    found = read(os.path.join(copy, "build", "dist", SUMS))
    print(f"{expected_path}:\n{expected}")
    print(f"{os.path.join(copy, 'build', 'dist', SUMS)}:\n{found}")
    if found != expected:
        theirs, ours = set(found.splitlines()), set(expected.splitlines())
        for line in sorted(ours - theirs):
            print(f"only in {dist}: {line}")
        for line in sorted(theirs - ours):
            print(f"only in the copy: {line}")
        print("FAILED: the same commit built different artefacts (or a commit came after the "
              "first make dist: run it again)")
        return 1
    # An empty or partial list would compare equal just as well.
    names = [line.split("  ", 1)[1] for line in expected.splitlines()]
    wanted = [".zip", ".zip.sha256", "/bin/x86/quoril.dll", "/bin/x64/quoril.dll",
              "/bin/x86/quoril-info.exe", "/bin/x64/quoril-info.exe", "/lib/x64/quoril.lib",
              "/lib/x86/libquoril.dll.a", ".so.1.0.0"]
    missing = [end for end in wanted if not any(name.endswith(end) for name in names)]
    if missing:
        print(f"FAILED: {SUMS} lists nothing ending in {', '.join(missing)}")
        return 1
    print(f"identical: {len(names)} artefacts")
    return 0


# --- sign --------------------------------------------------------------------------------------

def make_certificate(folder):
    """A self-signed code-signing certificate in a PKCS#12 file, its password in a file."""
    key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    pkcs12, password = os.path.join(folder, "signer.p12"), os.path.join(folder, "password")
    with open(password, "w", encoding="ascii") as stream:
        stream.write("throw-away\n")
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", "/CN=Quoril test signer", "-addext", "extendedKeyUsage=codeSigning",
         "-keyout", key, "-out", certificate], capture_output=True)
    run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12,
         "-passout", f"file:{password}"])
    return certificate, pkcs12, password


def digest(data):
    return hashlib.sha256(data).hexdigest()


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
            stripped = os.path.join(scratch, f"removed-{arch}-{binary}")
            run(["osslsigncode", "remove-signature", "-in", signed, "-out", stripped],
                capture_output=True)
            unsigned = os.path.join(dist, "unsigned", arch, binary)
            if not filecmp.cmp(stripped, unsigned, shallow=False):
                failures.append(f"{signed} without its signature differs from {unsigned}")
    return failures


def check_tables(source, signed_dist):
    """The DLLs' own table checks (tests/pe), held to the signed files."""
    failures = []
    pe = os.path.join(source, "tests", "pe")
    for arch, objdump in ARCHES.items():
        dll = os.path.join(signed_dist, "signed", arch, "quoril.dll")
        checks = [["-DARCH=" + ("x86" if arch == "x86" else "x86-64"),
                   "-DALLOWED_IMPORTS=" + os.path.join(pe, "allowed_imports.txt"),
                   "-P", os.path.join(pe, "check_tables.cmake")]]
        if arch == "x86":
            checks.append(["-P", os.path.join(pe, "check_instructions.cmake")])
        for check in checks:
            command = ["cmake", "-DOBJDUMP=" + shutil.which(objdump), "-DDLL=" + dll] + check
            if subprocess.run(command).returncode != 0:
                failures.append(f"{' '.join(command)} failed")
    return failures


def check_packages(signed_dist):
    """Every Windows binary inside every archive beside the kit is one of the signed files."""
    signed = {}
    for arch in ARCHES:
        for binary in BINARIES:
            with open(os.path.join(signed_dist, "signed", arch, binary), "rb") as stream:
                signed[digest(stream.read())] = f"{arch}/{binary}"
    failures, seen = [], 0
    for name in sorted(os.listdir(signed_dist)):
        path = os.path.join(signed_dist, name)
        if not os.path.isfile(path) or not zipfile.is_zipfile(path):
            continue
        with zipfile.ZipFile(path) as archive:
            for member in archive.namelist():
                if member.lower().endswith((".dll", ".exe")):
                    seen += 1
                    if digest(archive.read(member)) not in signed:
                        failures.append(f"{name}: {member} is not a signed binary")
    print(f"{seen} Windows binaries in the archives, {seen - len(failures)} of them signed")
    return failures


def sign(source, dist, scratch, win32_tree, win64_tree):
    missing = [tool for tool in ("osslsigncode", "openssl") if not shutil.which(tool)]
    if missing:
        print(f"SKIPPED: {' and '.join(missing)} not installed (make deps: group kit)")
        return SKIPPED
    fresh(scratch)
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
