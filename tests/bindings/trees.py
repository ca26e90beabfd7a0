# SPDX-License-Identifier: MIT
"""The scratch sysfs trees the bindings' test programs run over, and what every binding must
answer on each: `trees.py FOLDER` writes FOLDER/<tree>/ and FOLDER/answers.tsv, a line a call:
tree, call (by its C# name), argument ("\\0" is a zero character), answer (~ is none: null, None
or an empty Pascal string; [a|b] a list, (a|b) a pair; ! the binding refuses the argument),
separated by tabs."""
import glob
import shutil
import sys
from pathlib import Path


def write(path: Path, text: str) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text + "\n", encoding="utf-8")


def main(output: Path) -> None:
    shutil.rmtree(output, ignore_errors=True)
    # machine: a board named beyond Latin-1 and the 16-bit plane (a surrogate pair in UTF-16),
    # three optical drives whose vendor and model sysfs pads, two display adapters and a bridge.
    tree = output / "machine"
    write(tree / "class/dmi/id/board_name", "Carte mère Ω-7")
    write(tree / "class/dmi/id/board_vendor", "Fabrik Groß 日本 𝄞")
    for drive, model in (("sr0", "DVD-RW QD-100   "), ("sr1", "BD-RE QB-200    "),
                         ("sr2", "Lecteur — 3  ")):
        write(tree / f"block/{drive}/device/vendor", "QUORIL  ")
        write(tree / f"block/{drive}/device/model", model)
    for slot, kind, vendor in (("00:02.0", "0x030000", "0x1043"), ("00:1f.0", "0x060100", "0x8086"),
                               ("01:00.0", "0x030200", "0x10de")):
        attributes = {"class": kind, "subsystem_vendor": vendor, "vendor": "0x8086",
                      "device": "0x3e92", "subsystem_device": "0x8694", "revision": "0x02"}
        for name, value in attributes.items():
            write(tree / f"bus/pci/devices/0000:{slot}/{name}", value)
    # empty: a machine without board data, optical drives or display adapters.
    (output / "empty").mkdir()
    # ten-drives: as many captions as the list holds, each longer than the 255 units the list
    # keeps of it, so that the whole list needs more than the library's smallest buffer.
    captions = []
    for index in range(10):
        write(output / f"ten-drives/block/sr{index}/device/vendor", "QUORIL")
        write(output / f"ten-drives/block/sr{index}/device/model", f"{index} {'x' * 260}")
        captions.append(f"QUORIL {index} {'x' * 260}"[:255])
    long_text = "0123456789012345678901234567890123456789012345678"  # past any 48-byte brand
    answers = [
        ("machine", "BoardProduct", "", "Carte mère Ω-7"),
        ("machine", "BoardProductAndManufacturer", "", "(Carte mère Ω-7|Fabrik Groß 日本 𝄞)"),
        ("machine", "OpticalDriveCaptions", "",
         "[QUORIL DVD-RW QD-100|QUORIL BD-RE QB-200|QUORIL Lecteur — 3]"),
        ("machine", "DriveCaption", "e:", "QUORIL BD-RE QB-200"),
        ("machine", "DriveCaption", "F:\\setup.exe", "QUORIL Lecteur — 3"),
        ("machine", "DriveCaption", "Q:", "~"),
        ("machine", "DriveCaption", "", "~"),
        ("machine", "DriveCaption", "D:\\0", "!"),
        ("machine", "CpuBrandContains", "", "true"),
        ("machine", "CpuBrandContains", long_text, "false"),
        ("machine", "CpuBrandContains", "\\0", "!"),
        ("machine", "DisplayAdapterSubsystemVendor", "0", "1043"),
        ("machine", "DisplayAdapterSubsystemVendor", "1", "10DE"),
        ("machine", "DisplayAdapterSubsystemVendor", "2", "~"),
        ("machine", "DisplayAdapterSubsystemVendor", "-1", "~"),
        ("machine", "DisplayAdapterSubsystemVendors", "", "[1043|10DE]"),
        ("empty", "BoardProduct", "", "~"),
        ("empty", "BoardProductAndManufacturer", "", "(~|~)"),
        ("empty", "OpticalDriveCaptions", "", "[]"),
        ("empty", "DriveCaption", "D:", "~"),
        ("empty", "DisplayAdapterSubsystemVendor", "0", "~"),
        ("empty", "DisplayAdapterSubsystemVendors", "", "[]"),
        ("ten-drives", "OpticalDriveCaptions", "", f"[{'|'.join(captions)}]"),
        ("ten-drives", "DriveCaption", "M:", captions[-1])]
    # The Blu-ray question goes to the machine's own drive nodes, which no tree replaces: its
    # answer is known only on a machine without any.
    if not glob.glob("/dev/sr[0-9]*"):
        answers.append(("machine", "HasBluRayDrive", "", "false"))
    write(output / "answers.tsv", "\n".join("\t".join(answer) for answer in answers))


if __name__ == "__main__":
    main(Path(sys.argv[1]))
