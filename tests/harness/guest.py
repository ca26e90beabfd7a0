# SPDX-License-Identifier: MIT
"""The emulated PC's answers against what it was told, its own sysfs and its drives' own
answers to GET CONFIGURATION.

    guest.py answers TOOL WORK      boots the PC, runs the Linux quoril-info TOOL there (`facts`)
                                    and holds its report to the facts
    guest.py pass_through ARCH TOOL DECODER WORK    in the PC: D: and E: through SCSI
                                    pass-through against each drive asked directly
    guest.py share BUILD            in the PC: the host's folders at their own paths
"""
import json
import os
import re
import sys
from pathlib import Path

import emulated_pc
from common import fail, main, run
from report import holds, launched, parse, same, showing


def asked_directly(device: str, answer: Path, decoder: str) -> str:
    """DEVICE's answer to the command the drive probe sends (GET CONFIGURATION for every feature
    from feature 0, at most 2048 bytes), asked through the SCSI generic interface, kept in ANSWER
    and decoded by DECODER as the probe decodes what it gets; else why it could not be asked."""
    answer.unlink(missing_ok=True)
    try:
        asked = run(["sg_raw", "-r", "2048", "-o", answer, device, *"46 00 00 00 00 00 00 08 00 00"
                     .split()])
    except FileNotFoundError:
        return "sg_raw is not installed (sg3-utils)"
    if asked.returncode or not answer.exists():
        return f"sg_raw {device}: {asked.stdout}{asked.stderr}".strip()
    decoded = run([decoder, "decode-config", answer])
    return (decoded.stdout.partition("\n")[0] + decoded.stderr).strip()


def facts(tool: str, output: str) -> None:
    """In the PC: TOOL's JSON report and what it said, what the PC was told, and what its sysfs
    and drives say, as one JSON object in OUTPUT."""
    def read(path) -> str:
        return Path(path).read_text(encoding="utf-8", errors="surrogateescape").rstrip("\n")

    ran = run([tool, "--json"], text=False)
    model = re.search(r"^model name\s*: (.*)$", read("/proc/cpuinfo"), re.MULTILINE)
    drives = {block.name: {"vendor": read(block / "device/vendor"),
                           "model": read(block / "device/model"),
                           "direct": asked_directly(f"/dev/{block.name}",
                                                    Path(f"/tmp/{block.name}.config"), tool)}
              for block in sorted(Path("/sys/block").glob("sr*"))}
    displays = {device.name: {name: read(device / name) for name in
                              ("vendor", "device", "subsystem_vendor")}
                for device in sorted(Path("/sys/bus/pci/devices").iterdir())
                if read(device / "class").startswith("0x03")}
    Path(output).write_text(json.dumps({
        "json": ran.stdout.decode("utf-8", "surrogateescape"), "status": ran.returncode,
        "stderr": ran.stderr.decode("utf-8", "surrogateescape"),
        "told": {name: os.environ[f"QUORIL_GUEST_{name}"] for name in emulated_pc.TOLD},
        "board": [read(f"/sys/class/dmi/id/board_{name}") for name in ("name", "vendor")],
        "cpu": model.group(1) if model else "", "drives": drives, "displays": displays},
        indent=1), encoding="utf-8", errors="surrogateescape")


def answers(tool: str, work: str) -> None:
    """Boots the PC with the job `facts` (77, this machine cannot boot it, is this test's skip)
    and holds the report it wrote to the facts; a failure, a fact missing included, shows them."""
    output = Path(work) / "facts.json"
    output.unlink(missing_ok=True)
    status = emulated_pc.boot([sys.executable, __file__, "facts", tool, output], work=work)
    if status:
        sys.exit(status)
    guest = json.loads(output.read_text(encoding="utf-8", errors="surrogateescape"))
    told = guest["told"]
    with showing(f"--- what the guest found\n{json.dumps(guest, indent=1)}"):
        if guest["status"] != 0 or guest["stderr"]:
            fail(f"quoril-info --json exited with status {guest['status']}, saying "
                 f"{guest['stderr']!r}")
        report = parse(guest["json"], output.with_name("report.json"))
        # The board as the emulator was told and as sysfs shows it (in every board answer: holds).
        board, maker = guest["board"]
        same("the guest's board", (board, maker), (told["BOARD_PRODUCT"], told["BOARD_MAKER"]))
        # The processor: each text is in the brand exactly when the kernel's model name has it.
        for entry in report["fnVoIsCPU"]:
            same(f"fnVoIsCPU({entry['text']!r}) for the brand {guest['cpu']!r}",
                 entry["answer"], int(entry["text"] in guest["cpu"]))
        # The display adapter: the one standard VGA given, its subsystem vendor as sysfs has it.
        displays = guest["displays"].values()
        same("the guest's display adapters' PCI vendor and device",
             [f"{pci['vendor']}:{pci['device']}" for pci in displays], ["0x1234:0x1111"])
        same("fnGetSVID's vendors", [found["vendor"] for found in report["fnGetSVID"]["adapters"]],
             [pci["subsystem_vendor"].removeprefix("0x").upper() for pci in displays])
        # The optical drives: srN is letter D + N, its caption vendor and model from sysfs.
        drives = guest["drives"]
        same("the guest's optical drive count", len(drives), 2)
        made = [(drive["vendor"].strip(), drive["model"].strip()) for drive in drives.values()]
        letters = [chr(ord("D") + int(name.removeprefix("sr"))) + ":" for name in drives]
        captions = [f"{vendor} {model}" for vendor, model in made]
        same("fnListDriverCaption.captions", report["fnListDriverCaption"]["captions"], captions)
        same("fnGetDriveCaptionW", report["fnGetDriveCaptionW"],
             [{"drive": letter, "caption": caption} for letter, caption in zip(letters, captions)])
        same("optical_drives' letters", [drive["letter"] for drive in report["optical_drives"]],
             letters)
        tray = (told["TRAY_VENDOR"], told["TRAY_PRODUCT"])
        same(f"drives named {' '.join(tray)}, as the emulator was told", made.count(tray), 1)
        for drive, probed, caption, named in zip(drives.values(), report["optical_drives"],
                                                 captions, made):
            which, names = f"{probed['letter']} ({caption})", probed.get("capabilities")
            if names is None:
                fail(f"{which} was not probed: {probed.get('problem')}")
            same(f"{which}'s capabilities against its own answer to GET CONFIGURATION",
                 f"capsLow={probed['capsLow']} capsHigh={probed['capsHigh']}", drive["direct"])
            if any(name.startswith("CAP_BD_") for name in names):
                fail(f"{which} claims Blu-ray: {names}")
            # The emulated drives answer with or without a disc; the IDE one, holding it, reads
            # DVDs.
            wanted = {"CAP_CD_ROM"} if named == tray else {"CAP_CD_ROM", "CAP_DVD_ROM"}
            if lacking := sorted(wanted - set(names)):
                fail(f"{which} lacks {lacking}: {names}")
        holds(report, guest["json"], board=(board, maker))  # and all any report answers
        same("hasBDOdd", report["hasBDOdd"], 0)
    print(f"the guest's answers match: board {board!r} by {maker!r}, {len(displays)} display "
          f"adapter, {len(drives)} optical drives")


def pass_through(arch: str, tool: str, decoder: str, work: str) -> None:
    """The NT family's drive channel against real drives: the Wine prefix's D: and E: are the
    PC's two optical drives (QUORIL_WINE_CDROMS names their raw devices), and what the DLL reads
    through SCSI pass-through equals what each drive answers asked directly; no drive lists
    Blu-ray, so hasBDOdd answers 0."""
    if (os.environ.get("QUORIL_GUEST"), os.environ.get("QUORIL_WINE_CDROMS")) != (
            "1", emulated_pc.DRIVES):
        fail("this test asks real drives: it runs only in the emulated PC (make test-guest)")
    if not Path(decoder).exists():
        fail(f"{decoder} has not been built (make test-release builds it)")
    with launched(tool, ["--json"], arch) as ran:
        same("quoril-info.exe --json's exit status", ran.status, 0)
        report = parse(ran.out, Path(work) / "report.json")
        same("hasBDOdd", report["hasBDOdd"], 0)
        same("the optical drives probed", [drive["letter"] for drive in report["optical_drives"]],
             ["D:", "E:"])
        for index, drive in enumerate(report["optical_drives"]):
            if "capsLow" not in drive:
                fail(f"{drive['letter']} not probed through pass-through: {drive.get('problem')}")
            words = f"capsLow={drive['capsLow']} capsHigh={drive['capsHigh']}"
            device = f"/dev/sr{index}"
            direct = asked_directly(device, Path(work) / f"sr{index}.config", decoder)
            if direct != words:
                fail(f"{drive['letter']} through pass-through: {words}; {device} asked directly: "
                     f"{direct}")
            print(f"{drive['letter']} ({device}): {words}, as the drive answers")


def share(build: str) -> None:
    """In the PC (make test-guest): BUILD and the folder under /tmp that QUORIL_GUEST_SHARE names
    (a space and a comma in its name, its path written by the host into its file from-host) are
    the host's, writable, at their own paths over the guest's own /tmp."""
    scratch = os.environ.get("QUORIL_GUEST_SHARE")
    if not scratch or os.environ.get("QUORIL_GUEST") != "1":
        fail("runs only in the emulated PC, as make test-guest starts it (QUORIL_GUEST_SHARE)")
    with open("/proc/mounts", encoding="utf-8", errors="surrogateescape") as table:
        # /proc/mounts writes a space in a path as \040.
        mounts = {re.sub(r"\\([0-7]{3})", lambda c: chr(int(c.group(1), 8)), f[1]): f[2]
                  for f in (line.split() for line in table)}
    found = [f"{folder} is {mounts.get(folder, 'not a mount point')}, not {what}"
             for folder, kind, what in (("/tmp", "tmpfs", "the guest's tmpfs"),
                                        (build, "9p", "a 9p share"), (scratch, "9p", "a 9p share"))
             if mounts.get(folder) != kind]
    for folder in (folder for folder in (build, scratch) if mounts.get(folder) == "9p"):
        try:
            probe = Path(folder) / f".guest-share-{os.getpid()}"
            probe.write_text(folder, encoding="utf-8")
            probe.unlink()
            if folder == scratch and (Path(folder) / "from-host").read_text(
                    encoding="utf-8").rstrip("\n") != folder:
                found.append(f"{scratch}/from-host does not hold what the host wrote")
        except OSError as error:
            found.append(f"{folder}: {error}")
    if found:
        fail("\n".join(found))
    print(f"{build} and {scratch} are the host's, at their own paths")


if __name__ == "__main__":
    main({"answers": answers, "facts": facts, "pass_through": pass_through, "share": share})
