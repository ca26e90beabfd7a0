# SPDX-License-Identifier: MIT
"""The emulated PC's answers against what it was told, its own sysfs and its drives' own
answers to GET CONFIGURATION.

    guest.py answers TOOL WORK              boots the PC (tests/vm/guest.sh), runs the Linux
                                            quoril-info TOOL there (board_facts.sh) and holds
                                            its report, WORK/report, to the facts beside it
    guest.py pass_through ARCH TOOL DECODER WORK
                                            in the PC: quoril-info.exe's capabilities of D: and
                                            E:, read through SCSI pass-through, against each
                                            drive asked directly and decoded by DECODER
    guest.py share BUILD                    in the PC: the host's folders at their own paths
"""
import os
import re
import sys
from pathlib import Path

from common import SOURCE, fail, main, run
from report import launch, parse, same, showing

VM = SOURCE / "tests/vm"


def answers(tool: str, work: str) -> None:
    """Boots the PC with the job; its status 77 (no emulator here) is this test's skip."""
    output = Path(work) / "report"
    job = run(["sh", VM / "guest.sh", "--work", work, "sh", VM / "board_facts.sh", tool, output],
              capture_output=False)
    if job.returncode:
        sys.exit(job.returncode)
    compare(output.read_text(encoding="utf-8", errors="surrogateescape"), output)


def compare(guest: str, output: Path) -> None:
    """Holds the report board_facts.sh wrote (facts are "@@fact NAME=[VALUE]" lines, the JSON
    report between @@json-begin and @@json-end) to the facts; a failure shows the whole of it,
    a fact missing from it included."""
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
        told(facts, parse(json.group(1), output.with_suffix(".json")))


def told(facts: dict, report: dict) -> None:
    # The board: as the emulator was told, as sysfs shows it, in every board answer.
    board, maker = facts["board_name"], facts["board_vendor"]
    same("the guest's board_name", board, facts["told_board_product"])
    same("the guest's board_vendor", maker, facts["told_board_maker"])
    for export in ("fnGetPID", "fnGetWMIInfo"):
        same(f"{export}.answer", report[export]["answer"], 1)
        same(f"{export}.product", report[export]["product"], board)
    same("fnGetWMIInfo.manufacturer", report["fnGetWMIInfo"]["manufacturer"], maker)
    same("fnGetBaseBoardPorductA.product", report["fnGetBaseBoardPorductA"]["product"], board)

    # The processor: each text is in the brand exactly when the kernel's model name has it.
    for entry in report["fnVoIsCPU"]:
        same(f"fnVoIsCPU({entry['text']!r}) for the brand {facts['cpu_model']!r}",
             entry["answer"], int(entry["text"] in facts["cpu_model"]))

    # The display adapter: the one standard VGA given, its subsystem vendor as sysfs has it.
    displays = facts["displays"].split()
    same("the guest's display adapter count", len(displays), 1)
    same("fnGetSVID.limit_reached", report["fnGetSVID"]["limit_reached"], False)
    adapters = report["fnGetSVID"]["adapters"]
    same("fnGetSVID's adapter count", len(adapters), len(displays))
    for index, address in enumerate(displays):
        same(f"{address}'s PCI vendor and device",
             f"{facts[address + '.vendor']}:{facts[address + '.device']}", "0x1234:0x1111")
        subsystem = facts[address + ".subsystem_vendor"].removeprefix("0x").upper()
        same(f"fnGetSVID({index})", adapters[index]["vendor"], subsystem)

    # The optical drives: srN is letter D + N, its caption vendor and model from sysfs.
    drives = facts["drives"].split()
    same("the guest's optical drive count", len(drives), 2)
    same("fnListDriverCaption.answer", report["fnListDriverCaption"]["answer"], 1)
    for what, listed in (("fnListDriverCaption", report["fnListDriverCaption"]["captions"]),
                         ("fnGetDriveCaptionW", report["fnGetDriveCaptionW"]),
                         ("optical_drives", report["optical_drives"])):
        same(f"{what}'s drive count", len(listed), len(drives))
    trays = 0
    for index, drive in enumerate(drives):
        letter = chr(ord("D") + int(drive.removeprefix("sr"))) + ":"
        vendor, model = facts[drive + ".vendor"].strip(), facts[drive + ".model"].strip()
        caption = f"{vendor} {model}"
        same(f"fnListDriverCaption caption {index}",
             report["fnListDriverCaption"]["captions"][index], caption)
        same(f"fnGetDriveCaptionW entry {index}", report["fnGetDriveCaptionW"][index],
             {"drive": letter, "caption": caption})
        probed = report["optical_drives"][index]
        same(f"optical_drives[{index}].letter", probed["letter"], letter)
        if "capabilities" not in probed:
            fail(f"{letter} ({caption}) was not probed: {probed.get('problem')}")
        same(f"{letter} ({caption})'s capabilities against its own answer to GET CONFIGURATION",
             f"capsLow={probed['capsLow']} capsHigh={probed['capsHigh']}", facts[drive + ".direct"])
        names = probed["capabilities"]
        if any(name.startswith("CAP_BD_") for name in names):
            fail(f"{letter} ({caption}) claims Blu-ray: {names}")
        # The emulated drives answer with or without a disc; the IDE one, holding it, reads DVDs.
        tray = (vendor, model) == (facts["told_tray_vendor"], facts["told_tray_product"])
        trays += tray
        for name in ["CAP_CD_ROM"] if tray else ["CAP_CD_ROM", "CAP_DVD_ROM"]:
            if name not in names:
                fail(f"{letter} ({caption}) lacks {name}: {names}")
    same(f"drives named {facts['told_tray_vendor']} {facts['told_tray_product']}, as the "
         "emulator was told", trays, 1)
    same("hasBDOdd", report["hasBDOdd"], 0)
    print(f"the guest's answers match: board {board!r} by {maker!r}, {len(adapters)} display "
          f"adapter, {len(drives)} optical drives")


def pass_through(arch: str, tool: str, decoder: str, work: str) -> None:
    """The NT family's drive channel against real drives: where the Wine prefix's D: and E: are
    the PC's two optical drives with their raw devices (QUORIL_WINE_CDROMS), the capabilities
    quoril-info.exe reads through SCSI pass-through, the DLL's own channel, equal the decoding
    of what each drive answers asked directly; hasBDOdd answers 0 (no drive lists Blu-ray)."""
    if (os.environ.get("QUORIL_GUEST"), os.environ.get("QUORIL_WINE_CDROMS")) != (
            "1", "/dev/sr0 /dev/sr1"):
        fail("this test asks real drives: it runs only in the emulated PC (make test-guest)")
    if not Path(decoder).exists():
        fail(f"{decoder} has not been built (make test-release builds it)")
    ran = launch(tool, ["--json"], arch)
    if ran.status:
        fail(f"quoril-info.exe --json exited with {ran.status}: {ran.err}")
    print(f"quoril-info.exe --json:\n{ran.out}")
    report = parse(ran.out, Path(work) / "report.json")
    same("hasBDOdd", report["hasBDOdd"], 0)
    same("the optical drives probed", [drive["letter"] for drive in report["optical_drives"]],
         ["D:", "E:"])
    for index, drive in enumerate(report["optical_drives"]):
        if "capsLow" not in drive:
            fail(f"{drive['letter']} was not probed through pass-through: {drive.get('problem')}")
        words = f"capsLow={drive['capsLow']} capsHigh={drive['capsHigh']}"
        answer = Path(work) / f"sr{index}.config"
        asked = run(["sh", VM / "ask_drive.sh", f"/dev/sr{index}", answer])
        if asked.returncode:
            fail(f"/dev/sr{index} could not be asked directly: {asked.stderr}")
        decoded = run([decoder, "decode-config", answer])
        direct = decoded.stdout.partition("\n")[0]
        if decoded.returncode or direct != words:
            fail(f"{drive['letter']} through pass-through: {words}; /dev/sr{index} asked "
                 f"directly: {direct}{decoded.stderr}")
        print(f"{drive['letter']} (/dev/sr{index}): {words}, as the drive answers")


def share(build: str) -> None:
    """In the PC (make test-guest): the folders guest.sh shares, BUILD and the folder under /tmp
    that QUORIL_GUEST_SHARE names (a space and a comma in its name, its path written by the host
    into its file from-host), are the host's, writable, at their own paths over the guest's own
    /tmp."""
    scratch = os.environ.get("QUORIL_GUEST_SHARE")
    if not scratch or os.environ.get("QUORIL_GUEST") != "1":
        fail("runs only in the emulated PC, as make test-guest starts it (QUORIL_GUEST_SHARE)")
    # /proc/mounts writes a space in a path as \040.
    with open("/proc/mounts", encoding="utf-8", errors="surrogateescape") as table:
        mounts = {re.sub(r"\\([0-7]{3})", lambda c: chr(int(c.group(1), 8)), f[1]): f[2]
                  for f in (line.split() for line in table)}
    found = []
    if mounts.get("/tmp") != "tmpfs":
        found.append(f"/tmp is {mounts.get('/tmp', 'not a mount point')}, not the guest's tmpfs")
    for folder in (build, scratch):
        if mounts.get(folder) != "9p":
            found.append(f"{folder} is {mounts.get(folder, 'not a mount point')}, not a 9p share")
            continue
        try:
            probe = Path(folder) / f".guest-share-{os.getpid()}"
            probe.write_text(folder, encoding="utf-8")
            probe.unlink()
            note = Path(folder) / "from-host"
            if folder == scratch and note.read_text(encoding="utf-8").rstrip("\n") != folder:
                found.append(f"{scratch}/from-host does not hold what the host wrote")
        except OSError as error:
            found.append(f"{folder}: {error}")
    if found:
        fail("\n".join(found))
    print(f"{build} and {scratch} are the host's, at their own paths")


if __name__ == "__main__":
    main({"answers": answers, "pass_through": pass_through, "share": share})
