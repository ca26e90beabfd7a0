# SPDX-License-Identifier: MIT
"""A release a user can trust. `release.py reproduce DIST SCRATCH`: `make dist` again in a copy of
the source tree (another folder, a later time, another time zone, locale and umask) gives the
SHA256SUMS its own `make dist` wrote in DIST. `release.py sign DIST SCRATCH WIN32_TREE WIN64_TREE`:
the kit signed with a throw-away certificate differs from DIST's unsigned one in its signatures
alone, its DLLs still pass their table checks, and every archive carries the signed binaries."""
import hashlib
import os
import shutil
import time
import zipfile
from pathlib import Path

import kit
import pe
from common import SOURCE, fail, fresh, main, run, skip

BINARIES = ("quoril.dll", "quoril-info.exe")
SUMS = "SHA256SUMS"


def copy_source(copy: Path):
    """The same tree at the same commit (whose time the artefacts carry), with its changes."""
    git = ["git", "-C", SOURCE]
    commit = run([*git, "rev-parse", "HEAD"], check=True).stdout.strip()
    run(["git", "clone", "--quiet", "--shared", "--no-checkout", SOURCE, copy], check=True)
    run(["git", "-C", copy, "checkout", "--quiet", "--detach", commit], check=True)
    changed = run([*git, "ls-files", "-z", "--modified", "--others", "--exclude-standard"],
                  check=True).stdout
    for name in filter(None, changed.split("\0")):
        if os.path.lexists(SOURCE / name):
            (copy / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(SOURCE / name, copy / name)
        elif os.path.lexists(copy / name):
            (copy / name).unlink()


def reproduce(dist, scratch):
    first = Path(dist) / SUMS
    if not first.exists():
        fail(f"{first} is missing: run make dist first")
    copy = fresh(scratch) / "quoril"  # git clone makes the folders
    copy_source(copy)
    # Later by whole seconds, the PE time stamp's unit. The copy's make runs on its own, not
    # under the calling make's job server.
    while time.time() < first.stat().st_mtime + 2:
        time.sleep(1)
    environment = {name: value for name, value in os.environ.items()
                   if name not in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL")}
    environment.update(TZ="Pacific/Kiritimati", LC_ALL="C.UTF-8", QUORIL_DEPS_CHECKED="1")
    run(["make", "-C", copy, "dist"], env=environment, preexec_fn=lambda: os.umask(0o027),
        check=True)
    expected = first.read_text(encoding="utf-8").splitlines()
    found = (copy / "build/dist" / SUMS).read_text(encoding="utf-8").splitlines()
    if found != expected:
        fail("the same commit built different artefacts (or a commit came after the first "
             "make dist: run it again)\n" + "\n".join(
                 [f"only in {dist}: {line}" for line in sorted(set(expected) - set(found))]
                 + [f"only in the copy: {line}" for line in sorted(set(found) - set(expected))]))
    # An empty or partial list would compare equal just as well.
    names = [line.split("  ", 1)[1] for line in expected]
    wanted = [".zip", ".zip.sha256", ".so.1.0.0", "/lib/x64/quoril.lib", "/lib/x86/libquoril.dll.a"]
    wanted += [f"/bin/{arch}/{binary}" for arch in pe.ARCHES for binary in BINARIES]
    missing = [end for end in wanted if not any(name.endswith(end) for name in names)]
    if missing:
        fail(f"{SUMS} lists nothing ending in {', '.join(missing)}")
    print(f"identical: {len(names)} artefacts")


def signature_failures(signed: Path, dist: Path, certificate: Path, scratch: Path):
    """Each signed binary's signature is accepted, and without it the binary is the unsigned
    one; each signed DLL passes the tables' checks (and the 32-bit one the 386's)."""
    failures = []
    for arch in pe.ARCHES:
        for binary in BINARIES:
            file, removed = signed / "signed" / arch / binary, scratch / f"removed-{arch}-{binary}"
            verify = run(["osslsigncode", "verify", "-CAfile", certificate, "-in", file])
            print(f"osslsigncode verify {arch}/{binary}:\n{verify.stdout}{verify.stderr}")
            if verify.returncode != 0:
                failures.append(f"osslsigncode does not accept {file}")
            run(["osslsigncode", "remove-signature", "-in", file, "-out", removed], check=True)
            if removed.read_bytes() != (dist / "unsigned" / arch / binary).read_bytes():
                failures.append(f"{file} without its signature differs from the unsigned one")
        dll = signed / "signed" / arch / "quoril.dll"
        failures += [f"{dll}: {failure}" for failure in pe.table_failures(dll, arch)
                     + (pe.instruction_failures(dll) if arch == "x86" else [])]
    return failures


def package_failures(signed: Path):
    """Every copy of the library and the host tool inside every archive beside the kit is one of
    the signed files (the .NET package's managed assembly is not among those signed)."""
    sums = {hashlib.sha256((signed / "signed" / arch / binary).read_bytes()).digest()
            for arch in pe.ARCHES for binary in BINARIES}
    failures, seen = [], 0
    for path in sorted(path for path in signed.iterdir() if zipfile.is_zipfile(path)):
        with zipfile.ZipFile(path) as archive:
            for member in archive.namelist():
                if os.path.basename(member).lower() in BINARIES:
                    seen += 1
                    if hashlib.sha256(archive.read(member)).digest() not in sums:
                        failures.append(f"{path.name}: {member} is not a signed binary")
    print(f"{seen} Windows binaries in the archives, {seen - len(failures)} of them signed")
    return failures


def sign(dist, scratch, win32_tree, win64_tree):
    missing = [tool for tool in ("osslsigncode", "openssl") if not shutil.which(tool)]
    if missing:
        skip(f"{' and '.join(missing)} not installed (make deps: group kit)")
    scratch = fresh(scratch)
    signed = scratch / "dist"
    # A self-signed code-signing certificate, in a PKCS#12 file whose password is in a file.
    key, certificate, pkcs12, password = (scratch / name for name in
                                          ("key.pem", "cert.pem", "signer.p12", "password"))
    password.write_text("throw-away\n", encoding="ascii")
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", "/CN=Quoril test signer", "-addext", "extendedKeyUsage=codeSigning",
         "-keyout", key, "-out", certificate], check=True)
    run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12,
         "-passout", f"file:{password}"], check=True)
    kit.configure_and_build(SOURCE / "dist", signed, f"-DQUORIL_WIN32_DIR={win32_tree}",
                            f"-DQUORIL_WIN64_DIR={win64_tree}", f"-DQUORIL_SIGN_PKCS12={pkcs12}",
                            f"-DQUORIL_SIGN_PASSWORD_FILE={password}")
    run(["cmake", "--build", signed, "--target", "checksums"], check=True)
    failures = signature_failures(signed, Path(dist), certificate, scratch)
    failures += package_failures(signed)
    if run(["sha256sum", "--quiet", "-c", SUMS], cwd=signed).returncode != 0:
        failures.append(f"{SUMS} does not list the signed build's files")
    if failures:
        fail("\n".join(failures))


if __name__ == "__main__":
    main({"reproduce": reproduce, "sign": sign})
