# SPDX-License-Identifier: MIT
"""The last word of `make test`: the passed, failed and skipped tests over every part.

    summary.py [FAILED_PART...]

Reads build/test-results: one JUnit file per CTest run, named after the build tree it ran in
(build/<tree>), with "guest-" before the name for a run in the emulated PC. A Windows program
under Wine is one CTest test for all its cases; its own report (build/<tree>/gtest-results/
TEST.xml) counts them one by one, so a case the program skipped counts as skipped. A test that
ran in one run and was skipped in another (a 32-bit program skipped here and run in the emulated
PC, say) counts once, as it ran; one that failed anywhere counts as failed.

A skip that installing packages would undo ("make deps" in its reason) is a test this machine
could run: with CI=true in the environment, any such skip fails the run. So does a part named as
failed, or any failed test."""
import os
import sys
import xml.etree.ElementTree as ElementTree

from common import BUILD

RANK = {"skipped": 0, "passed": 1, "failed": 2}


def outcome(case) -> tuple[str, str]:
    """(outcome, reason) of a JUnit test case: the reason a skip gave is the line of its output
    that says SKIPPED, or else what its skip element says."""
    if case.find("failure") is not None or case.find("error") is not None \
            or case.get("status") == "fail":
        return "failed", ""
    if case.get("status") in (None, "run") and case.get("result") != "skipped" \
            and case.find("skipped") is None:
        return "passed", ""
    output = case.find("system-out")
    lines = [line.strip() for line in ("" if output is None else output.text or "").splitlines()
             if "SKIPPED" in line]
    skipped = case.find("skipped")
    return "skipped", lines[0] if lines else (skipped is not None and skipped.get("message")) \
        or "skipped"


def cases(tree: str, case) -> list[tuple[str, str, str]]:
    """(name, outcome, reason) of a CTest test, or of each case of its program's report."""
    name = case.get("name")
    report = BUILD / tree / "gtest-results" / f"{name}.xml"
    if case.get("status") not in ("run", "fail") or not report.exists():
        return [(name, *outcome(case))]
    try:
        found = [(f"{name}: {inner.get('classname')}.{inner.get('name')}", *outcome(inner))
                 for inner in ElementTree.parse(report).getroot().iter("testcase")]
    except ElementTree.ParseError:
        return [(name, "failed", "its report cannot be read")]
    if case.get("status") == "fail" and all(result != "failed" for _, result, _ in found):
        found.append((f"{name} (the program failed outside its cases)", "failed", ""))
    return found


def main(failed_parts: list[str]) -> int:
    results: dict = {}  # (tree, test) -> (outcome, run, reason)
    ran = set()  # (tree, test) of every CTest test that ran somewhere
    for file in sorted((BUILD / "test-results").glob("*.xml")):
        run, tree = file.stem, file.stem.removeprefix("guest-")
        try:
            found = list(ElementTree.parse(file).getroot().iter("testcase"))
        except ElementTree.ParseError as problem:
            results[(tree, run)] = ("failed", run, f"its results cannot be read ({problem})")
            continue
        for case in found:
            if case.get("status") in ("run", "fail"):
                ran.add((tree, case.get("name")))
            for name, result, reason in cases(tree, case):
                if RANK[result] >= RANK[results.get((tree, name), ("skipped",))[0]]:
                    results[(tree, name)] = (result, run, reason)

    print("=" * 80)
    counts = dict.fromkeys(RANK, 0)
    could_run = 0
    for (tree, name), (result, run, reason) in sorted(results.items()):
        if result == "skipped" and (tree, name) in ran:
            continue
        counts[result] += 1
        if result == "skipped":
            print(f"skipped: {run}: {name}: {reason}")
            could_run += "make deps" in reason
        elif result == "failed":
            print(f"FAILED: {run}: {name}" + (f" ({reason})" if reason else ""))
    for part in failed_parts:
        print(f"FAILED part: make {part}")
    line = f"make test: {counts['passed']} passed, {counts['failed']} failed, " \
           f"{counts['skipped']} skipped"
    if could_run:
        line += f" ({could_run} of them could run here once make deps installs what they need)"
    if failed_parts:
        line += f"; failed parts: {' '.join(failed_parts)}"
    ci = os.environ.get("CI", "") not in ("", "0", "false")
    if ci and could_run:
        line += "; CI does not accept those skips"
    print(line)
    return 1 if counts["failed"] or failed_parts or (ci and could_run) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
