# SPDX-License-Identifier: MIT
"""The emulated PC, and what runs in it.

    emulated_pc.py boot JOB [ARGUMENT...]
                            boots the PC and runs JOB in it (see `boot`), with 32-bit Wine
    emulated_pc.py job      the test vm.windows_job (make test-guest): one boot for the tests
                            that need the PC, each run through CTest inside it as on a machine
                            that runs them itself: both DLLs' pass-through channel against its
                            real optical drives (label drives); every 32-bit test under Wine
                            where this machine runs no 32-bit programs (windows.py says); the
                            check of the folders shared to it (label guest), one of them under
                            /tmp with a space and a comma in its name. Their results join the
                            other parts' in build/test-results, as guest-<tree>.xml.
    emulated_pc.py report   make run: quoril-info.exe's full report of each built DLL under
                            Wine, here or in the PC, where D: and E: are its two optical drives.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import windows
from common import BUILD, SKIP, SOURCE as ROOT, fresh, run, skip

# What the PC is told (no commas: QEMU's option syntax would read them as separators).
TOLD = {"BOARD_PRODUCT": "Bøard ß VM-1", "BOARD_MAKER": "Quoril Fabrik Ünïcode",
        "TRAY_VENDOR": "QUORILVM", "TRAY_PRODUCT": "Empty Tray 7"}
# The drivers the guest's first process loads before it can reach the shared root.
EARLY_DRIVERS = ("drivers/virtio/virtio_pci", "net/9p/9pnet_virtio", "fs/9p/9p",
                 "fs/overlayfs/overlay")
INIT = ROOT / "tests/vm/guest_init.sh"
INSTALL = f"{windows.INSTALL}: qemu-system-x86 linux-image-amd64 busybox-static"
DRIVES = "/dev/sr0 /dev/sr1"  # the raw devices of its two optical drives, D: and E: under Wine


def kernel() -> Path | None:
    """The newest readable /boot/vmlinuz-VERSION with its /lib/modules/VERSION."""
    found = [path for path in sorted(Path("/boot").glob("vmlinuz-*")) if os.access(path, os.R_OK)
             and Path(f"/lib/modules/{path.name[8:]}/modules.dep").exists()]
    return found[-1] if found else None


def missing() -> list[str]:
    """What the PC needs and this machine lacks: QEMU, busybox, a kernel with its modules."""
    return [what for what, have in (("qemu-system-x86_64", shutil.which("qemu-system-x86_64")),
                                    ("busybox", os.access("/bin/busybox", os.X_OK)),
                                    ("a kernel in /boot with its modules", kernel()))
            if not have]


def initrd(work: Path, modules: Path) -> Path:
    """The initial RAM disk: busybox, the first process and the early drivers (each after those
    it needs, none the kernel has built in, compressed ones unpacked for busybox's insmod); made
    once per kernel and again when the first process changes."""
    image = work / f"initrd-{modules.name}.cpio"
    if image.exists() and image.stat().st_size and image.stat().st_mtime >= INIT.stat().st_mtime:
        return image
    disk = fresh(work / "initrd")
    (disk / "bin").mkdir()
    (disk / "modules").mkdir()
    shutil.copy(INIT, disk / "init")
    shutil.copy("/bin/busybox", disk / "bin/busybox")
    builtin = (modules / "modules.builtin").read_text().split()
    depends = dict(line.split(":", 1)
                   for line in (modules / "modules.dep").read_text().splitlines())
    order = []
    for driver in EARLY_DRIVERS:
        if f"kernel/{driver}.ko" in builtin:
            continue
        path = next((path for path in depends
                     if re.fullmatch(rf"kernel/{driver}\.ko[.a-z]*", path)), None)
        if not path:
            skip(f"{modules} has no driver {driver} ({INSTALL})")
        order += [*reversed(depends[path].split()), path]
    names = []
    for path in dict.fromkeys(order):
        name, data = Path(path).name, (modules / path).read_bytes()
        for ending, unpack in ((".xz", ["xz", "-dc"]), (".zst", ["zstd", "-qdc"])):
            if name.endswith(ending):
                name = name.removesuffix(ending)
                data = run([*unpack, modules / path], text=False, check=True).stdout
        if not name.endswith(".ko"):
            skip(f"no way to unpack the driver {path}")
        (disk / "modules" / name).write_bytes(data)
        names.append(name)
    (disk / "modules.list").write_text("".join(f"{name}\n" for name in names))
    os.chmod(disk / "init", 0o755)
    listing = "".join(f"{path.relative_to(disk)}\n" for path in sorted(disk.rglob("*")))
    with open(f"{image}.new", "wb") as cpio:
        subprocess.run(["/bin/busybox", "cpio", "-o", "-H", "newc"], input=f".\n{listing}".encode(),
                       cwd=disk, stdout=cpio, stderr=subprocess.DEVNULL, check=True)
    os.replace(f"{image}.new", image)
    shutil.rmtree(disk)
    return image


def accelerator(work: Path, vmlinuz: Path) -> str:
    """KVM where /dev/kvm opens and the kernel's first line comes within seconds under it (a
    nested guest may stall after its firmware), asked once per boot of this machine; else TCG.
    QUORIL_VM_ACCEL=kvm or tcg forces either."""
    forced = os.environ.get("QUORIL_VM_ACCEL", "")
    if forced:
        if forced not in ("kvm", "tcg"):
            sys.exit(f"emulated_pc.py: QUORIL_VM_ACCEL must be kvm or tcg, not {forced}")
        return forced
    if not os.access("/dev/kvm", os.R_OK | os.W_OK):
        return "tcg"
    boot_id = Path("/proc/sys/kernel/random/boot_id").read_text().strip()
    cache, probe = work / f"accel.{boot_id}", work / "kvm-probe.log"
    if not cache.exists():
        probe.write_text("")
        run(["timeout", "-k", "2", "8", "qemu-system-x86_64", "-machine", "pc", "-accel", "kvm",
             "-cpu", "host", "-m", "256", "-nodefaults", "-no-user-config", "-nographic",
             "-no-reboot", "-monitor", "none", "-nic", "none", "-kernel", vmlinuz, "-append",
             "console=ttyS0 earlyprintk=ttyS0 panic=-1", "-serial", f"file:{probe}"],
            stdin=subprocess.DEVNULL)
        cache.write_text("kvm" if "Linux version" in probe.read_text(errors="replace") else "tcg")
    return cache.read_text()


def option(path) -> str:
    """A path as one value in QEMU's lists of options, where a single comma would end it."""
    return str(path).replace(",", ",,")


def boot(job: list, work=BUILD / "guest", layer=None, shares=(), memory=2048, limit=None) -> int:
    """Boots Debian's kernel from /boot under QEMU over this machine's own root file system,
    shared read-only and made writable in the guest by a memory-backed overlay (LAYER, a folder
    of files such as the 32-bit Wine unpacked from its packages, between them), with the
    repository read-only and its build/ folder and each folder of SHARES writable at their own
    paths, whatever those are (spaces, commas, under the guest's own /tmp or /run). JOB runs as
    root in the repository's top folder, finding what the PC was told in QUORIL_GUEST_<TOLD> and
    QUORIL_GUEST=1; its output is shown as it comes and its exit status is the answer. WORK, inside
    build/, keeps the guest's own files: its initial RAM disk, disc image, console log, the job
    and its output. The PC has a system board with the product and maker TOLD, a standard VGA
    adapter, an IDE DVD-ROM drive holding a blank 5 GB disc and an empty virtio-scsi CD-ROM drive
    with the vendor and product TOLD (/dev/sr0 and /dev/sr1, ready before the job starts), and no
    network. The answer is 1, after the guest's own account, when it did not boot, could not set
    itself up or did not finish in LIMIT seconds (QUORIL_VM_TIME_LIMIT, else 600); 77 when this
    machine lacks what the PC needs."""
    if lacking := missing():
        print(f"SKIPPED: {', '.join(lacking)} ({INSTALL})", flush=True)
        return SKIP
    vmlinuz, limit = kernel(), limit or int(os.environ.get("QUORIL_VM_TIME_LIMIT", "600"))
    work = Path(work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    if not work.is_relative_to(BUILD):
        sys.exit(f"emulated_pc.py: {work} is not inside {BUILD}, the folder the guest may write")
    # The guest reads the folders to mount from its work folder ("ro PATH" or "rw PATH" a line),
    # so no path has to pass the kernel's command line.
    folders = [("ro", ROOT), ("rw", BUILD), *(("rw", Path(share).resolve()) for share in shares)]
    if any("\n" in str(path) for _, path in folders):
        sys.exit("emulated_pc.py: a folder to share cannot have a line break in its path")
    (work / "shares").write_bytes(os.fsencode("".join(f"{mode} {path}\n"
                                                      for mode, path in folders)))
    image = initrd(work, Path(f"/lib/modules/{vmlinuz.name[8:]}"))
    told = [f"QUORIL_GUEST_{name}={value}" for name, value in TOLD.items()]
    ci = [f"CI={os.environ['CI']}"] if os.environ.get("CI") else []
    (work / "job.sh").write_bytes(os.fsencode(
        f"cd {shlex.quote(str(ROOT))} || exit 1\n"
        f"exec env QUORIL_GUEST=1 HOME=/root {shlex.join([*told, *ci, *map(str, job)])}\n"))
    for name in ("job.sh.out", "job.sh.status", "setup.log", "setup.failed", "console.log"):
        (work / name).unlink(missing_ok=True)
    with open(work / "dvd.img", "ab") as dvd:
        dvd.truncate(5 << 30)
    accel = accelerator(work, vmlinuz)
    cpu, accel = ("host", "kvm") if accel == "kvm" else ("qemu64", "tcg,thread=multi")
    mounts = [f"local,path={option(work)},mount_tag=job,security_model=none"]
    if layer:
        mounts.append(f"local,path={option(Path(layer).resolve())},mount_tag=layer,"
                      "security_model=none,readonly=on")
    mounts += [f"local,path={option(path)},mount_tag=share{index},security_model=none"
               f"{',readonly=on' if mode == 'ro' else ''},multidevs=remap"
               for index, (mode, path) in enumerate(folders)]
    mounts.append("local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap")
    print(f"emulated_pc.py: booting {vmlinuz.name} ({accel}, {memory} MB, at most {limit} s): "
          f"{shlex.join(map(str, job))}", flush=True)
    started = time.monotonic()
    with open(work / "qemu.log", "wb") as log:
        qemu = subprocess.Popen(
            ["qemu-system-x86_64", "-machine", "pc", "-accel", accel, "-cpu", cpu, "-m",
             str(memory), "-smp", "2", "-nodefaults", "-no-user-config", "-nographic",
             "-no-reboot", "-monitor", "none", "-nic", "none", "-kernel", vmlinuz, "-initrd", image,
             "-append", "console=ttyS0 panic=-1 no_timer_check quiet loglevel=3 quoril.drives=2"
             + (" quoril.layer=1" if layer else ""), "-serial", f"file:{work / 'console.log'}",
             "-smbios", f"type=2,manufacturer={TOLD['BOARD_MAKER']},"
             f"product={TOLD['BOARD_PRODUCT']}", "-device", "VGA",
             "-drive", f"if=none,id=dvd,file={option(work / 'dvd.img')},format=raw,media=cdrom,"
             "readonly=on", "-device", "ide-cd,drive=dvd,bus=ide.1",
             "-device", "virtio-scsi-pci,id=scsi", "-drive", "if=none,id=tray,media=cdrom",
             "-device", f"scsi-cd,drive=tray,bus=scsi.0,vendor={TOLD['TRAY_VENDOR']},"
             f"product={TOLD['TRAY_PRODUCT']}", *(a for m in mounts for a in ("-virtfs", m))],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    # The job's output, as the guest writes it into the shared folder.
    shown, timed_out = 0, False
    while True:
        ended = qemu.poll() is not None
        if (work / "job.sh.out").exists():
            with open(work / "job.sh.out", "rb") as out:
                out.seek(shown)
                text = out.read()
            shown += len(text)
            sys.stdout.buffer.write(text)
            sys.stdout.flush()
        if ended:
            break
        if time.monotonic() - started > limit:
            timed_out = True
            qemu.terminate()
            try:
                qemu.wait(10)
            except subprocess.TimeoutExpired:
                qemu.kill()
        time.sleep(0.5)
    print(f"emulated_pc.py: the guest ran {time.monotonic() - started:.0f} s", flush=True)
    status = (work / "job.sh.status").read_text().strip() if \
        (work / "job.sh.status").exists() else ""
    if status:
        return int(status)
    # What went wrong, from the guest's own account where it could give one: its setup's messages
    # are kept in the work folder from the moment it has mounted it, the console has those before.
    def read(name: str) -> str:
        return (work / name).read_text(errors="replace") if (work / name).exists() else ""

    if read("setup.failed"):
        print(f"FAILED: the guest's setup failed before its job started: {read('setup.failed')}"
              f"--- the guest's setup said\n{read('setup.log')}")
    elif timed_out:
        print(f"FAILED: the guest did not finish within {limit} s")
    elif not (work / "job.sh.out").exists():
        print(f"FAILED: the guest stopped before its job started (QEMU's status {qemu.returncode})")
    else:
        print(f"FAILED: the guest powered off without finishing its job (QEMU's status "
              f"{qemu.returncode})")
    console = read("console.log").splitlines()[-40:]
    print(f"--- QEMU\n{read('qemu.log')}--- the guest's console (last lines)\n"
          + "\n".join(console), flush=True)
    return 1


def layer() -> str | None:
    """The 32-bit Wine unpacked for the PC, where apt could not install it here."""
    if windows.LOADER["win32"].exists() or not (windows.WINE32_LAYER / ".version").exists():
        return None
    return str(windows.WINE32_LAYER)


def ctest(run: str, tree: str, *selection: str) -> int:
    return subprocess.run(
        ["ctest", "--test-dir", str(BUILD / tree), "--output-on-failure", "-j",
         os.environ.get("CTEST_JOBS", "2"), "--output-junit",
         str(BUILD / "test-results" / f"guest-{run}.xml"), *selection]).returncode


def inside(share: str, win32: str) -> int:
    """The guest's part: win32 is where this machine placed 32-bit programs."""
    os.environ.update(QUORIL_WINE_CDROMS=DRIVES, QUORIL_GUEST_SHARE=share)
    runs = [("release", "release", "-L", "^guest$")]
    if win32 == "guest":
        runs += [("win32", "win32", "-L", "wine"), ("win32-test", "win32-test")]
        if (BUILD / "dist/CTestTestfile.cmake").exists():
            # The kit's programs were built, and the kit unpacked, outside: only runs are left.
            runs.append(("dist", "dist", "-L", "^win32$", "-FA", ".*"))
    else:
        runs.append(("win32-test", "win32-test", "-L", "^drives$"))
    runs.append(("win64-test", "win64-test", "-L", "^drives$"))
    failed = [run for run, *arguments in runs if ctest(run, *arguments) != 0]
    windows.stop()
    return 1 if failed else 0


def job() -> int:
    (BUILD / "test-results").mkdir(parents=True, exist_ok=True)
    # /tmp is the guest's own too, its shares mounted over it.
    with tempfile.TemporaryDirectory(prefix="quoril guest,", dir="/tmp") as scratch:
        Path(scratch, "from-host").write_text(scratch + "\n")
        return boot([sys.executable, __file__, "inside", scratch, windows.where("win32")[0]],
                    memory=3072, limit=5400, layer=layer(), shares=[scratch])


def tool(arch: str) -> int:
    status = windows.run(arch, [str(BUILD / arch / "quoril-info.exe")])
    windows.stop()
    return status


def report() -> int:
    status = 0
    for arch in ("win64", "win32"):
        place, reason = windows.where(arch)
        print(f"== {arch} quoril.dll (build/{arch}) ==", flush=True)
        if place == "here":
            status |= tool(arch) != 0
        elif place == "guest":
            print(f"(in the emulated PC: {reason})", flush=True)
            status |= boot(["env", f"QUORIL_WINE_CDROMS={DRIVES}", sys.executable, __file__,
                            "tool", arch], memory=3072, layer=layer()) != 0
        else:
            print(f"run: not run here: {reason}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    command, arguments = sys.argv[1:2], sys.argv[2:]
    if command == ["boot"] and arguments:
        sys.exit(boot(arguments, memory=3072, layer=layer()))
    if command == ["job"]:
        sys.exit(job())
    if command == ["report"]:
        sys.exit(report())
    if command == ["tool"] and arguments in (["win32"], ["win64"]):
        sys.exit(tool(*arguments))
    if command == ["inside"] and len(arguments) == 2:
        sys.exit(inside(*arguments))
    sys.exit(__doc__)
