"""Asks the installed quoril package every call that answers.tsv lists for one tree and compares
the answers: python quoril_test.py ANSWERS TREE (with QUORIL_SYSFS_ROOT pointing at the tree)."""

import os
import sys

import quoril


def show(answer):
    if answer is None:
        return "~"
    if isinstance(answer, bool):
        return "true" if answer else "false"
    if isinstance(answer, list):
        return "[" + "|".join(answer) + "]"
    if isinstance(answer, tuple):
        return "(" + "|".join(map(show, answer)) + ")"
    return answer


CALLS = {
    "BoardProduct": lambda _: quoril.board_product(),
    "BoardProductAndManufacturer": lambda _: quoril.board_product_and_manufacturer(),
    "OpticalDriveCaptions": lambda _: quoril.optical_drive_captions(),
    "DriveCaption": quoril.drive_caption,
    "CpuBrandContains": quoril.cpu_brand_contains,
    "DisplayAdapterSubsystemVendor": lambda index: quoril.display_adapter_subsystem_vendor(int(index)),
    "DisplayAdapterSubsystemVendors": lambda _: quoril.display_adapter_subsystem_vendors(),
    "HasBluRayDrive": lambda _: quoril.has_bluray_drive(),
}


def main(answers, tree):
    failures = []
    # The package must be the wheel's, installed in this environment, not a source folder.
    if not os.path.abspath(quoril.__file__).startswith(os.path.abspath(sys.prefix) + os.sep):
        failures.append("quoril was imported from %s, outside %s" % (quoril.__file__, sys.prefix))
    checked = 0
    with open(answers, encoding="utf-8") as table:
        for line in table:
            place, call, argument, expected = line.rstrip("\n").split("\t")
            if place != tree:
                continue
            try:
                answer = show(CALLS[call](argument.replace("\\0", "\0")))
            except ValueError:
                answer = "!"
            checked += 1
            if answer != expected:
                failures.append("%s(%s) on %s: %s, expected %s" % (call, argument, tree, answer, expected))
    # An index past the signed 32-bit range names no adapter; it must not wrap round to one.
    checked += 1
    if quoril.display_adapter_subsystem_vendor(2**32) is not None:
        failures.append("display_adapter_subsystem_vendor(2**32) on %s is not None" % tree)
    for failure in failures:
        print("FAILED " + failure)
    print("Python on %s: %d answers checked, %d failed" % (tree, checked, len(failures)))
    return 0 if checked > 1 and not failures else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
