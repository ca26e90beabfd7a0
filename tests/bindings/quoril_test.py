# SPDX-License-Identifier: MIT
"""Asks the installed quoril package every call that answers.tsv lists for one tree and compares
the answers: python quoril_test.py ANSWERS TREE (with QUORIL_SYSFS_ROOT pointing at the tree)."""

import sys

import quoril


def show(answer):
    if isinstance(answer, (list, tuple)):
        ends = "[]" if isinstance(answer, list) else "()"
        return ends[0] + "|".join(map(show, answer)) + ends[1]
    return {None: "~", True: "true", False: "false"}.get(answer, answer)


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
    # An index past the signed 32-bit range names no adapter rather than wrapping round to one.
    failures = []
    if quoril.display_adapter_subsystem_vendor(2**32) is not None:
        failures.append("display_adapter_subsystem_vendor(2**32) on %s is not None" % tree)
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
    sys.exit(main(*sys.argv[1:]))
