# SPDX-License-Identifier: MIT
"""The last word of `make test`: the passed, failed and skipped tests over every part.

    summary.py [FAILED_PART...]

Reads build/test-results: one JUnit file per CTest run, named after the build tree it ran in
(build/<tree>), with "guest-" before the name for a run in the emulated PC. A Windows program
under Wine is one CTest test for all its cases; its own report (build/<tree>/gtest-results/
TEST.xml) counts them one by one, so a case the program skipped counts as skipped. A test that
ran in one run and was skipped in another (a 32-bit program skipped here and run in the emulated
PC, say) counts once, as it ran.

A skip that installing packages would undo ("make deps" in its reason) is a test this machine
could run: with CI=true in the environment, any such skip fails the run. So does a part named as
failed, or any failed test."""
import os
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

BUILD = Path(__file__).resolve().parents[2] / "build"


def skip_reason(case) -> str:
    """The line of a skipped test's output that says SKIPPED, or else what its skip says."""
    output = case.find("system-out")
    for line in ("" if output is None else output.text or "").splitlines():
        if "SKIPPED" in line:
            return line.strip()
    skipped = case.find("skipped")
    return (skipped.get("message") if skipped is not None else None) or "skipped"


def outcomes(tree: str, case):
    """(name, outcome, reason) for one CTest test, or for each case of its program's report."""
    name, status = case.get("name"), case.get("status")
    report = BUILD / tree / "gtest-results" / f"{name}.xml"
    if status not in ("run", "fail"):
        return [(name, "skipped", skip_reason(case))]
    if not report.exists():
        return [(name, "passed" if status == "run" else "failed", "")]
    try:
        cases = list(ElementTree.parse(report).getroot().iter("testcase"))
    except ElementTree.ParseError:
        return [(name, "failed", "its report cannot be read")]
    found = []
    for inner in cases:
        inner_name = f"{name}: {inner.get('classname')}.{inner.get('name')}"
        if inner.find("failure") is not None or inner.find("error") is not None:
            found.append((inner_name, "failed", ""))
        elif inner.get("result") == "skipped" or inner.find("skipped") is not None:
            found.append((inner_name, "skipped", skip_reason(inner)))
        else:
            found.append((inner_name, "passed", ""))
    if status == "fail" and all(outcome != "failed" for _, outcome, _ in found):
        found.append((f"{name} (the program failed outside its cases)", "failed", ""))
    return found


def main(failed_parts: list[str]) -> int:
    # (tree, test) -> (outcome, where, reason); a run outranks a skip, a failure a pass.
    rank = {"skipped": 0, "passed": 1, "failed": 2}
    results: dict = {}
    ran = set()  # (tree, test) of every CTest test that ran somewhere
    for file in sorted((BUILD / "test-results").glob("*.xml")):
        run = file.stem
        tree = run.removeprefix("guest-")
        try:
            cases = list(ElementTree.parse(file).getroot().iter("testcase"))
        except ElementTree.ParseError as problem:
            results[(tree, run)] = ("failed", run, f"its results cannot be read ({problem})")
            continue
        for case in cases:
            if case.get("status") in ("run", "fail"):
                ran.add((tree, case.get("name")))
            for name, outcome, reason in outcomes(tree, case):
                known = results.get((tree, name))
                if known is None or rank[outcome] > rank[known[0]]:
                    results[(tree, name)] = (outcome, run, reason)

    print("=" * 80)
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    could_run = 0
    for (tree, name), (outcome, run, reason) in sorted(results.items()):
        if outcome == "skipped" and (tree, name) in ran:
            continue
        counts[outcome] += 1
        if outcome == "skipped":
            print(f"skipped: {run}: {name}: {reason}")
            could_run += "make deps" in reason
        elif outcome == "failed":
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
