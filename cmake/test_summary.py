#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The last word of `make test`: the passed, failed and skipped tests over every part.

    test_summary.py RESULTS_FOLDER [FAILED_PART...]

Reads what cmake/test-lib.sh left in RESULTS_FOLDER: one JUnit file per run of CTest (NAME.xml),
and skipped.txt, the tests no part ran here. A Windows program under Wine is one CTest test for
all its cases; its own report (NAME.gtest/TEST.xml) counts them one by one, so a case the program
skipped counts as skipped.

A skip that installing packages would undo ("make deps" in its reason) is a test this machine
could run: with CI=true in the environment, any such skip fails the run. So does a part named as
failed, or any failed test.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree


def skip_reason(case):
    """The reason a skipped test gave: the line of its output that says SKIPPED, or else what
    its skip element says."""
    output = case.find("system-out")
    for line in ("" if output is None else output.text or "").splitlines():
        if "SKIPPED" in line:
            return line.strip()
    skipped = case.find("skipped")
    return (skipped.get("message") if skipped is not None else None) or "skipped"


def program_cases(report):
    """(passed, failed, skipped reasons) of one Windows program's own report."""
    passed, failed, skipped = 0, 0, []
    for case in ElementTree.parse(report).getroot().iter("testcase"):
        name = f"{case.get('classname')}.{case.get('name')}"
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped.append((name, skip_reason(case)))
        else:
            passed += 1
    return passed, failed, skipped


def main():
    folder, failed_parts = sys.argv[1], sys.argv[2:]
    passed, failed = 0, []
    skipped = []  # (test, could run here, reason)
    names = sorted(n[:-4] for n in os.listdir(folder) if n.endswith(".xml")) \
        if os.path.isdir(folder) else []
    for run in names:
        try:
            suite = ElementTree.parse(os.path.join(folder, run + ".xml")).getroot()
        except ElementTree.ParseError as problem:
            failed.append(f"{run}: its results cannot be read ({problem})")
            continue
        for case in suite.iter("testcase"):
            name, status = case.get("name"), case.get("status")
            report = os.path.join(folder, run + ".gtest", name + ".xml")
            if status in ("run", "fail") and os.path.exists(report):
                try:
                    good, bad, skips = program_cases(report)
                except ElementTree.ParseError:
                    good, bad, skips = 0, 1, []
                passed += good
                failed.extend([f"{run}: {name}"] * bad)
                if status == "fail" and bad == 0:
                    failed.append(f"{run}: {name} (the program failed outside its cases)")
                skipped.extend((f"{run}: {name}: {case_name}", "make deps" in reason, reason)
                               for case_name, reason in skips)
            elif status == "run":
                passed += 1
            elif status == "fail":
                failed.append(f"{run}: {name}")
            else:
                reason = skip_reason(case)
                skipped.append((f"{run}: {name}", "make deps" in reason, reason))
    listing = os.path.join(folder, "skipped.txt")
    if os.path.exists(listing):
        with open(listing, encoding="utf-8") as file:
            for line in file:
                name, installable, reason = (line.rstrip("\n").split("\t") + ["", ""])[:3]
                skipped.append((name, installable == "yes", reason))

    could_run = [s for s in skipped if s[1]]
    print("=" * 80)
    for name, _, reason in skipped:
        print(f"skipped: {name}: {reason}")
    for name in failed:
        print(f"FAILED: {name}")
    for part in failed_parts:
        print(f"FAILED part: make {part}")
    line = f"make test: {passed} passed, {len(failed)} failed, {len(skipped)} skipped"
    if could_run:
        line += f" ({len(could_run)} of them could run here once make deps installs what they need)"
    if failed_parts:
        line += f"; failed parts: {' '.join(failed_parts)}"
    ci = os.environ.get("CI", "") not in ("", "0", "false")
    if ci and could_run:
        line += "; CI does not accept those skips"
    print(line)
    return 1 if failed or failed_parts or (ci and could_run) else 0


if __name__ == "__main__":
    sys.exit(main())
