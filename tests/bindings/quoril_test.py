# SPDX-License-Identifier: MIT
"""Asks the installed quoril package every call that answers.tsv lists for one tree and compares
the answers: python quoril_test.py ANSWERS TREE (with QUORIL_SYSFS_ROOT pointing at the tree).
python quoril_test.py --failing runs over a library whose every export answers 0. Also a
consumer that mypy --strict must accept."""

import sys
from typing import Callable, Dict, List, Tuple

import quoril


def show(answer: object) -> str:
    if isinstance(answer, (list, tuple)):
        ends = "[]" if isinstance(answer, list) else "()"
        return ends[0] + "|".join(map(show, answer)) + ends[1]
    if isinstance(answer, bool):
        return "true" if answer else "false"
    return "~" if answer is None else str(answer)


CALLS: Dict[str, Callable[[str], object]] = {
    "BoardProduct": lambda _: quoril.board_product(),
    "BoardProductAndManufacturer": lambda _: quoril.board_product_and_manufacturer(),
    "OpticalDriveCaptions": lambda _: quoril.optical_drive_captions(),
    "DriveCaption": quoril.drive_caption,
    "CpuBrandContains": quoril.cpu_brand_contains,
    "DisplayAdapterSubsystemVendor": lambda index: quoril.display_adapter_subsystem_vendor(int(index)),
    "DisplayAdapterSubsystemVendors": lambda _: quoril.display_adapter_subsystem_vendors(),
    "HasBluRayDrive": lambda _: quoril.has_bluray_drive(),
}

# Arguments of the wrong type, refused at the module's edge with the argument's name.
WRONG_TYPES: List[Tuple[Callable[..., object], object, str]] = [
    (quoril.drive_caption, None, "drive"),
    (quoril.cpu_brand_contains, b"Intel", "text"),
    (quoril.display_adapter_subsystem_vendor, "0", "index"),
    (quoril.display_adapter_subsystem_vendor, 1.5, "index"),
    (quoril.display_adapter_subsystem_vendor, True, "index"),
]


def common_failures(tree: str) -> List[str]:
    failures: List[str] = []
    # An index past the signed 32-bit range names no adapter rather than wrapping round to one.
    if quoril.display_adapter_subsystem_vendor(2**32) is not None:
        failures.append("display_adapter_subsystem_vendor(2**32) on %s is not None" % tree)
    for call, argument, name in WRONG_TYPES:
        try:
            call(argument)
            failures.append("%s(%r) raised nothing" % (call.__name__, argument))
        except TypeError as error:
            if name not in str(error):
                failures.append("%s(%r): %s, not naming %s" % (call.__name__, argument, error, name))
    return failures


def failing() -> int:
    """Where the export says the query failed, QuorilError naming it; where it cannot tell a
    failure from absence, no value."""
    failures = common_failures("a failing library")
    queries: List[Tuple[Callable[[], object], str]] = [
        (quoril.board_product, "fnGetPID"),
        (quoril.board_product_and_manufacturer, "fnGetWMIInfo"),
        (quoril.optical_drive_captions, "fnListDriverCaption")]
    for call, export in queries:
        try:
            failures.append("%s answered %r" % (call.__name__, call()))
        except quoril.QuorilError as error:
            if not isinstance(error, OSError) or error.export != export or export not in str(error):
                failures.append("%s raised %r" % (call.__name__, error))
    absent = (quoril.drive_caption("D:"), quoril.display_adapter_subsystem_vendor(0),
              quoril.display_adapter_subsystem_vendors(), quoril.cpu_brand_contains(""))
    if absent != (None, None, [], False):
        failures.append("absent values are %r" % (absent,))
    for failure in failures:
        print("FAILED " + failure)
    print("Python over a failing library %s: %d failed" % (quoril.__version__, len(failures)))
    return 1 if failures else 0


def main(answers: str, tree: str) -> int:
    failures = common_failures(tree)
    checked = 0
    with open(answers, encoding="utf-8") as table:
        for place, call, argument, expected in (line.rstrip("\n").split("\t") for line in table):
            if place != tree:
                continue
            try:
                answer = show(CALLS[call](argument.replace("\\0", "\0")))
            except ValueError:
                answer = "!"
            checked += 1
            if answer != expected:
                failures.append("%s(%s) on %s: %s, expected %s"
                                % (call, argument, tree, answer, expected))
    for failure in failures:
        print("FAILED " + failure)
    print("Python on %s: %d answers checked, %d failed" % (tree, checked, len(failures)))
    return 0 if checked and not failures else 1


if __name__ == "__main__":
    sys.exit(failing() if sys.argv[1:] == ["--failing"] else main(*sys.argv[1:]))
