# SPDX-License-Identifier: MIT
"""The emulated PC's answers against what it was told, its own sysfs and its drives' own
answers to GET CONFIGURATION.

    guest.py answers TOOL WORK      boots the PC, runs the Linux quoril-info TOOL there
                                    (board_facts.sh) and holds its report to the facts
    guest.py pass_through ARCH TOOL DECODER WORK    in the PC: D: and E: through SCSI
                                    pass-through against each drive asked directly
    guest.py share BUILD            in the PC: the host's folders at their own paths
"""
import os
import re
import sys
from pathlib import Path

from common import SOURCE, fail, main, run
from report import holds, launched, parse, same, showing

VM = SOURCE / "tests/vm"


def answers(tool: str, work: str) -> None:
    """Boots the PC with the job (its status 77, no emulator here, is this test's skip) and holds
    what board_facts.sh wrote ("@@fact NAME=[VALUE]" lines, the JSON report between @@json-begin
    and @@json-end) to the facts; a failure, a fact missing included, shows all of it."""
    output = Path(work) / "report"
    job = run(["sh", VM / "guest.sh", "--work", work, "sh", VM / "board_facts.sh", tool, output],
              capture_output=False)
    if job.returncode:
        sys.exit(job.returncode)
    guest = output.read_text(encoding="utf-8", errors="surrogateescape")
    facts = dict(re.findall(r"^@@fact ([^=\n]+)=\[(.*)\]\r?$", guest, re.MULTILINE))
    json = re.search(r"@@json-begin\n(.*?)@@json-end", guest, re.DOTALL)
    with showing(f"--- the guest's report\n{guest}"):
        if "@@done" not in guest:
            fail("the guest's report is incomplete")
        if not json:
            fail("the guest's report holds no JSON report")
        if facts["exit_status"] != "0" or facts["stderr"]:
            fail(f"quoril-info --json exited with status {facts['exit_status']}, saying "
                 f"{facts['stderr']!r}")
        report = parse(json.group(1), output.with_suffix(".json"))
        # The board as the emulator was told and as sysfs shows it (in every board answer: holds).
        board, maker = facts["board_name"], facts["board_vendor"]
        same("the guest's board", (board, maker),
             (facts["told_board_product"], facts["told_board_maker"]))
        # The processor: each text is in the brand exactly when the kernel's model name has it.
        for entry in report["fnVoIsCPU"]:
            same(f"fnVoIsCPU({entry['text']!r}) for the brand {facts['cpu_model']!r}",
                 entry["answer"], int(entry["text"] in facts["cpu_model"]))
        # The display adapter: the one standard VGA given, its subsystem vendor as sysfs has it.
        displays = facts["displays"].split()
        same("the guest's display adapters' PCI vendor and device",
             [f"{facts[pci + '.vendor']}:{facts[pci + '.device']}" for pci in displays],
             ["0x1234:0x1111"])
        same("fnGetSVID's vendors", [found["vendor"] for found in report["fnGetSVID"]["adapters"]],
             [facts[pci + ".subsystem_vendor"].removeprefix("0x").upper() for pci in displays])
        # The optical drives: srN is letter D + N, its caption vendor and model from sysfs.
        drives = facts["drives"].split()
        same("the guest's optical drive count", len(drives), 2)
        made = [(facts[drive + ".vendor"].strip(), facts[drive + ".model"].strip())
                for drive in drives]
        letters = [chr(ord("D") + int(drive.removeprefix("sr"))) + ":" for drive in drives]
        captions = [f"{vendor} {model}" for vendor, model in made]
        same("fnListDriverCaption.captions", report["fnListDriverCaption"]["captions"], captions)
        same("fnGetDriveCaptionW", report["fnGetDriveCaptionW"],
             [{"drive": letter, "caption": caption} for letter, caption in zip(letters, captions)])
        same("optical_drives' letters", [drive["letter"] for drive in report["optical_drives"]],
             letters)
        tray = (facts["told_tray_vendor"], facts["told_tray_product"])
        same(f"drives named {' '.join(tray)}, as the emulator was told", made.count(tray), 1)
        for drive, probed, caption, named in zip(drives, report["optical_drives"], captions, made):
            which, names = f"{probed['letter']} ({caption})", probed.get("capabilities")
            if names is None:
                fail(f"{which} was not probed: {probed.get('problem')}")
            same(f"{which}'s capabilities against its own answer to GET CONFIGURATION",
                 f"capsLow={probed['capsLow']} capsHigh={probed['capsHigh']}",
                 facts[drive + ".direct"])
            if any(name.startswith("CAP_BD_") for name in names):
                fail(f"{which} claims Blu-ray: {names}")
            # The emulated drives answer with or without a disc; the IDE one, holding it, reads
            # DVDs.
            wanted = {"CAP_CD_ROM"} if named == tray else {"CAP_CD_ROM", "CAP_DVD_ROM"}
            if lacking := sorted(wanted - set(names)):
                fail(f"{which} lacks {lacking}: {names}")
        holds(report, json.group(1), board=(board, maker))  # and all any report answers
        same("hasBDOdd", report["hasBDOdd"], 0)
    print(f"the guest's answers match: board {board!r} by {maker!r}, {len(displays)} display "
          f"adapter, {len(drives)} optical drives")


def pass_through(arch: str, tool: str, decoder: str, work: str) -> None:
    """The NT family's drive channel against real drives: the Wine prefix's D: and E: are the
    PC's two optical drives (QUORIL_WINE_CDROMS names their raw devices), and what the DLL reads
    through SCSI pass-through equals what each drive answers asked directly; no drive lists
    Blu-ray, so hasBDOdd answers 0."""
    if (os.environ.get("QUORIL_GUEST"), os.environ.get("QUORIL_WINE_CDROMS")) != (
            "1", "/dev/sr0 /dev/sr1"):
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
            device, answer = f"/dev/sr{index}", Path(work) / f"sr{index}.config"
            asked = run(["sh", VM / "ask_drive.sh", device, answer])
            if asked.returncode:
                fail(f"{device} could not be asked directly: {asked.stderr}")
            decoded = run([decoder, "decode-config", answer])
            direct = decoded.stdout.partition("\n")[0]
            if decoded.returncode or direct != words:
                fail(f"{drive['letter']} through pass-through: {words}; {device} asked directly: "
                     f"{direct}{decoded.stderr}")
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
    main({"answers": answers, "pass_through": pass_through, "share": share})
