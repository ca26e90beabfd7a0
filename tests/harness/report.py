# SPDX-License-Identifier: MIT
"""quoril-info as a script or a host runs it, and its report, JSON and text.

    report.py cases --native|--windows     the rows a tree runs, for CMake (tool.NAME each)
    report.py case NAME --tool EXE --version V --work DIR [--windows ARCH | --library FILE
                   --samples DIR]          runs one row of CASES, or of SPECIAL
    report.py json --windows ARCH --version V --report FILE TOOL
                                           the kit's: TOOL --json under Wine holds on any machine
    report.py schema REPORT...             saved reports against docs/quoril-info.schema.json

A --json run that succeeds keeps its report (DIR/reports/NAME.json), held to the schema. Under
Wine every process start is slow, so a Windows tree runs only the rows whose outcome depends on
the loader or the library's answers; argument handling is the same code everywhere and is
covered natively, where the library reads its board and drives from a fixture sysfs.
"""
import argparse
import json
import os
import re
import shlex
import shutil
import sys
from collections import namedtuple
from contextlib import contextmanager
from functools import cache
from pathlib import Path

import jsonschema

from common import SKIP, SOURCE, Failure, fail, fresh, main, run, shown, skip, windows_command

SCHEMA = SOURCE / "docs/quoril-info.schema.json"
FIXTURES = SOURCE / "tests/tool"

# A row: ARGS as shell words ({library}, {fixtures}, {work} filled in), the exit status (or those
# allowed), patterns standard output and error must hold (`.` spans lines, {version} is the
# project's), the folder the native library reads as sysfs, what `holds` must find in the JSON
# report, and the trees that run it.
Case = namedtuple("Case", "args exit out err sysfs report where",
                  defaults=(0, None, None, None, None, ("native",)))
Ran = namedtuple("Ran", "status out err")  # a run of the tool, its output as text

EVERY_TREE = ("native", "windows")
FIXTURE, NON_ASCII, NO_SYSFS = "{fixtures}/sysfs", "{fixtures}/sysfs-non-ascii", "{work}/no-sysfs"
NO_LIBM = "--library libm.so.6 "
CASES = {
    # The default lookup finds the library beside the executable, every export is there, and the
    # report's answers hold on any machine (ON_WINDOWS has the Windows trees' own).
    "report_json": Case("--json", sysfs=FIXTURE, where=EVERY_TREE,
                        report={"library": True, "drives": ["D:", "E:", "F:"]}),
    # The tool's version, and the loaded library's as the system records it: the version
    # resource under Wine, the versioned file behind the SONAME natively.
    "version": Case("--version", where=EVERY_TREE, out=r"^quoril-info {version}\r?\nlibrary: "
                    r"[^\n]*quoril[^\n]*, version {version}\r?\nCopyright \(c\) "),
    "cpu_has_empty_text": Case("cpu-has ''", where=EVERY_TREE),  # in every brand
    # No machine has 2^31-1 display adapters: "no such adapter" is exit 1, not a failure.
    "svid_past_last_adapter": Case("svid 2147483647", 1, where=EVERY_TREE),
    "svid_index_not_a_number": Case("svid abc", 2, err="INDEX.*Usage:", where=EVERY_TREE),
    "library_not_found": Case("--library /nonexistent svid", 2, err="cannot load /nonexistent",
                              where=EVERY_TREE),
    # A saved drive answer decodes with no library at all, as the probe would decode it.
    "decode_config_short_answer": Case(
        "--library /nonexistent decode-config {fixtures}/data/bd_rom_profile.bin",
        out="^capsLow=0x00002000 capsHigh=0x00000000\nCAP_BD_ROM\n\\Z", where=EVERY_TREE),
    # Index edges: both ends of the signed 32-bit range are accepted, one past either is not.
    "svid_negative_index": Case("svid -1", 1),
    "svid_lowest_index": Case("svid -2147483648", 1),
    "svid_index_above_range": Case("svid 2147483648", 2),
    "svid_index_below_range": Case("svid -2147483649", 2),
    "svid_index_far_out_of_range": Case("svid 99999999999", 2),
    "svid_index_trailing_garbage": Case("svid 1x", 2),
    "svid_index_hexadecimal": Case("svid 0x1", 2),
    "svid_no_such_adapter_prints_empty_line": Case("svid 2147483647", 1, out="^\n\\Z"),
    # Operand counts and unknown words.
    "svid_two_indexes": Case("svid 1 2", 2, err="Usage:"),
    "cpu_has_without_text": Case("cpu-has", 2, err="Usage:"),
    "cpu_has_two_texts": Case("cpu-has a b", 2, err="Usage:"),
    "unknown_subcommand": Case("frobnicate", 2, err="unknown subcommand.*Usage:"),
    "unknown_option": Case("--verbose", 2, err="unknown option.*Usage:"),
    "library_without_path": Case("--library", 2, err="PATH.*Usage:"),
    "json_with_subcommand": Case("--json svid", 2, err="Usage:"),
    "help": Case("--help", out="^Usage: quoril-info"),
    # A library that cannot be loaded takes nothing from the tool's own version; a file named
    # by its major version alone records no full version.
    "version_library_not_found": Case("--library /nonexistent --version", out="^quoril-info "
                                      "[0-9.]+\nlibrary: /nonexistent cannot be loaded: "),
    "version_with_subcommand": Case("--version bd", 2, err="Usage:"),
    "version_of_library_named_by_major_only": Case(
        NO_LIBM + "--version", out=r"\nlibrary: [^\n]*libm\.so\.6, no version recorded\n"),
    # A brand is at most 48 bytes, so a longer text is never in it.
    "cpu_has_text_longer_than_any_brand": Case("cpu-has " + "0123456789" * 6 + "0", 1),
    "library_given_as_path": Case("--library {library} cpu-has ''"),
    # The readable report names every section and says when a vendor is empty rather than
    # blank; wide text that would not print shows as its units.
    "text_report": Case("", sysfs=FIXTURE, out=r'Library:.*Exports present:.*Test\(\): "called"'
                        r'.*fnVoIsCPU.*fnGetSVID.*product: "Quoril Test Board".*manufacturer: '
                        r'"Quoril Boards Inc\.".*"QUORIL Lecteur \\u2014 3".*drive: "D:", '
                        r'caption: "QUORIL DVD-RW QD-100".*hasBDOdd.*Optical drives'),
    # Whether this machine has a Blu-ray drive is its own affair: yes or no, never trouble, and
    # never asked of a library that lacks the export.
    "bd_answers_yes_or_no": Case("bd", (0, 1)),
    "bd_takes_no_operand": Case("bd D", 2, err="Usage:"),
    "bd_on_library_without_exports": Case(NO_LIBM + "bd", 2, err="does not export hasBDOdd"),
    # decode-config: the two words in eight upper-case digits each, then one name a line; a file
    # of any length decodes as what a drive asked for 2048 bytes would return.
    "decode_config_empty_file": Case("decode-config {fixtures}/data/empty.bin",
                                     out="^capsLow=0x00000000 capsHigh=0x00000000\n\\Z"),
    "decode_config_reads_only_the_first_2048_bytes": Case(
        "decode-config {fixtures}/data/longer_than_buffer.bin", err="longer than 2048 bytes",
        out="^capsLow=0x00000001 capsHigh=0x00000000\nCAP_CD_ROM\n\\Z"),
    "decode_config_missing_file": Case("decode-config /nonexistent.bin", 2,
                                       err="cannot open /nonexistent.bin"),
    "decode_config_folder": Case("decode-config /", 2, err="cannot read /"),
    "decode_config_without_file": Case("decode-config", 2, err="Usage:"),
    "decode_config_two_files": Case("decode-config a b", 2, err="Usage:"),
    # A library without the exports: the report says so and the questions refuse, no crash.
    "report_on_library_without_exports": Case(NO_LIBM + "--json",
                                              out='"Test": false.*"fnGetSVID": null'),
    "cpu_has_on_library_without_exports": Case(NO_LIBM + "cpu-has x", 2,
                                               err="does not export fnVoIsCPU"),
    "svid_on_library_without_exports": Case(NO_LIBM + "svid", 2, err="does not export fnGetSVID"),
    # The board, the drives and one drive's caption from the fixture: values as the files hold
    # them, captions trimmed and joined, letters from D: on, wide text as UTF-8.
    "board": Case("board", sysfs=FIXTURE, out="^product: Quoril Test Board\nmanufacturer: "
                  "Quoril Boards Inc\\.\nnarrow product: Quoril Test Board\n\\Z"),
    "drives": Case("drives", sysfs=FIXTURE,
                   out="^QUORIL DVD-RW QD-100\nQUORIL BD-RE QB-200\nQUORIL Lecteur — 3\n\\Z"),
    "caption_lower_case_letter": Case("caption e:", sysfs=FIXTURE, out="^QUORIL BD-RE QB-200\n\\Z"),
    "caption_drive_inside_a_path": Case("caption F:/setup.exe", sysfs=FIXTURE,
                                        out="^QUORIL Lecteur — 3\n\\Z"),
    "caption_no_such_drive": Case("caption Q:", 1, sysfs=FIXTURE, out="^\n\\Z"),
    # A board named in UTF-8, one byte of it no UTF-8 at all: the library reads that byte as
    # U+FFFD, and every answer, the narrow one included, carries the same characters.
    "report_json_non_ascii_board": Case("--json", sysfs=NON_ASCII,
                                        report={"board": ("Bøard ß", "Fabrik � Groß")}),
    "board_non_ascii": Case("board", sysfs=NON_ASCII, out="^product: Bøard ß\nmanufacturer: "
                            "Fabrik � Groß\nnarrow product: Bøard ß\n\\Z"),
    # A machine without board data or optical drives: the queries still run, and find nothing.
    "board_without_board_data": Case("board", sysfs=NO_SYSFS,
                                     out="^product: \nmanufacturer: \nnarrow product: \n\\Z"),
    "drives_without_drives": Case("drives", sysfs=NO_SYSFS, out="^\\Z"),
    "caption_without_drives": Case("caption D:", 1, sysfs=NO_SYSFS, out="^\n\\Z"),
    "caption_without_drive_text": Case("caption", 2, err="Usage:"),
    "board_with_operand": Case("board x", 2, err="no operands.*Usage:"),
    "drives_on_library_without_exports": Case(NO_LIBM + "drives", 2,
                                              err="does not export fnListDriverCaption"),
}
# Under Wine, drive D: of the tests' prefix is a CD-ROM drive, which its WMI lists uncaptioned.
ON_WINDOWS = {"report_json": Case("--json", report={"no_captions": True, "optical": ["D:"]})}


def cases(where: str) -> None:
    tree = {"--native": "native", "--windows": "windows"}[where]
    names = [name for name, row in CASES.items() if tree in row.where]
    print("\n".join(names + (list(SPECIAL) if tree == "native" else [])))


def case(name: str, *arguments: str) -> None:
    parser = argparse.ArgumentParser(prog="report.py case")
    for option in ("tool", "version", "work", "windows", "library", "samples"):
        parser.add_argument(f"--{option}")
    opts = parser.parse_args(arguments)
    if name in SPECIAL:
        return SPECIAL[name](opts)
    row = opts.windows and ON_WINDOWS.get(name) or CASES[name]
    fill = {"library": opts.library, "fixtures": FIXTURES, "work": opts.work}
    args = [word.format(**fill) for word in shlex.split(row.args)]
    env = dict(os.environ, QUORIL_SYSFS_ROOT=row.sysfs.format(**fill)) if row.sysfs else None
    with launched(opts.tool, args, opts.windows, env) as ran:
        allowed = row.exit if isinstance(row.exit, tuple) else (row.exit,)
        if ran.status not in allowed:
            fail(f"expected exit status {'|'.join(map(str, allowed))}")
        for stream, pattern, text in (("output", row.out, ran.out), ("error", row.err, ran.err)):
            pattern = pattern and pattern.replace("{version}", re.escape(opts.version))
            if pattern is not None and not re.search(pattern, text, re.DOTALL):
                fail(f"standard {stream} does not match '{pattern}'")
        if "--json" in args and ran.status == 0:
            report = parse(ran.out, Path(opts.work) / "reports" / f"{name}.json")
            if row.report is not None:
                library = opts.library if row.report.get("library") else None
                holds(report, ran.out, **dict(row.report, library=library, version=opts.version))


@contextmanager
def launched(tool: str, args: list, windows: str | None = None, env=None):
    """Runs TOOL, under Wine for the architecture WINDOWS names (whose 77 is this test's skip),
    for the checks inside: bytes that are no UTF-8 kept as escapes, Windows' line ends as ours, a
    failure followed by the command and all it said."""
    command = [*(windows_command(windows) if windows else []), tool, *args]
    result = run(command, text=False, env=env)
    out, err = (text.decode("utf-8", "surrogateescape") for text in (result.stdout, result.stderr))
    if windows:
        out, err = out.replace("\r\n", "\n"), err.replace("\r\n", "\n")
        if result.returncode == SKIP:
            print(out + err, flush=True)
            sys.exit(SKIP)
    with showing(f"command: {shown(command)}\nexit status: {result.returncode}\n--- stdout\n"
                 f"{out}\n--- stderr\n{err}"):
        yield Ran(result.returncode, out, err)


@contextmanager
def showing(context: str):
    """A failure inside, or a member or fact the checks do not find, says so and then CONTEXT."""
    try:
        yield
    except Exception as problem:
        fail(f"{problem if isinstance(problem, Failure) else f'not found: {problem!r}'}\n{context}")


def members_once(pairs: list) -> dict:
    """A member named twice is a malformed report, though json.loads would keep the last one."""
    names = [name for name, _ in pairs]
    if repeated := sorted({name for name in names if names.count(name) > 1}):
        raise ValueError("member named more than once: " + ", ".join(repeated))
    return dict(pairs)


@cache
def validator():
    schema = json.loads(SCHEMA.read_text(encoding="utf-8"))
    jsonschema.validators.validator_for(schema).check_schema(schema)
    return jsonschema.validators.validator_for(schema)(schema)


def parse(text: str, keep: Path) -> dict:
    """The report in TEXT, kept in KEEP: one JSON value that holds to the published schema."""
    keep.parent.mkdir(parents=True, exist_ok=True)
    keep.write_text(text, encoding="utf-8", errors="surrogateescape")
    try:
        report = json.loads(text, object_pairs_hook=members_once)
    except ValueError as problem:
        fail(f"{keep} is not one JSON value: {problem}")
    errors = [f"{'/'.join(map(str, e.absolute_path)) or '(the report)'}: {e.message}"
              for e in sorted(validator().iter_errors(report), key=lambda e: [*map(str, e.path)])]
    if errors:
        fail(f"{keep} does not hold to {SCHEMA.name}:\n" + "\n".join(errors))
    return report


def same(what: str, actual, expected) -> None:
    if actual != expected:
        fail(f"{what} is {actual!r}, expected {expected!r}")


def holds(report: dict, text: str, version=None, library=None, board=None, drives=(),
          optical=(), no_captions=False) -> None:
    """Beyond the schema (`parse`), what a report answers on any machine, and what the caller
    knows of this one: the library's version and file, the board (product, maker), drives with a
    caption or among the optical drives, or no captions at all."""
    if re.search(r"[^\r\n -~]", text):  # beyond ASCII, escapes, whatever the system's encoding
        fail("the JSON report holds bytes other than printable ASCII")
    if not report["library"]["path"]:
        fail("library.path is empty")
    if library:
        same("library.path", os.path.realpath(report["library"]["path"]), os.path.realpath(library))
    # Answers by their paths: every export the schema names (which exports.declarations holds to
    # the library's list), the empty text in every brand, adapters listed to their end, the two
    # query-style board exports reaching WMI and agreeing while the narrow one answers 0 always.
    exports = validator().schema["properties"]["exports"]["required"]
    expected = {**{f"exports.{name}": True for name in exports}, "Test": "called",
                "fnVoIsCPU.0": {"text": "", "answer": 1}, "fnGetSVID.limit_reached": False,
                "fnGetPID.answer": 1, "fnGetWMIInfo.answer": 1,
                "fnGetBaseBoardPorductA.answer": 0, "fnListDriverCaption.answer": 1}
    if version:
        expected["library.version"] = version
    if board:
        expected.update({"fnGetPID.product": board[0], "fnGetWMIInfo.manufacturer": board[1],
                         "fnGetBaseBoardPorductA.product": board[0]})
    expected["fnGetWMIInfo.product"] = report["fnGetPID"]["product"]
    for path, value in expected.items():
        answer = report
        for key in path.split("."):
            answer = answer[int(key) if key.isdigit() else key]
        same(path, answer, value)
    for index, adapter in enumerate(report["fnGetSVID"]["adapters"]):
        same(f"fnGetSVID.adapters.{index}.index", adapter["index"], index)  # no gaps
        if len(adapter["vendor"]) > 4:
            fail(f"vendor {adapter['vendor']!r} is longer than four")
    # At most ten drives listed; every caption found by letter is among them (which holds while
    # the machine has at most ten optical drives).
    listed = report["fnListDriverCaption"]["captions"]
    found = {entry["drive"]: entry["caption"] for entry in report["fnGetDriveCaptionW"]}
    if len(listed) > 10:
        fail(f"{len(listed)} captions listed, more than ten")
    if len(listed) < 10 and (unlisted := {d: c for d, c in found.items() if c not in listed}):
        fail(f"the captions found by letter, {unlisted}, are not among those listed, {listed}")
    if no_captions and (listed or found):
        fail(f"expected no drive captions, found {listed} listed and {found}")
    letters = [drive["letter"] for drive in report["optical_drives"]]
    for what, wanted, have in (("a caption", drives, found),
                               ("an optical drive", optical, letters)):
        if missing := sorted(set(wanted) - set(have)):
            fail(f"expected {missing} with {what}, found only {sorted(have)}")
    # The schema holds each optical drive to a letter with its capabilities or why it has none.
    capable = int(any({"CAP_BD_ROM", "CAP_BD_R", "CAP_BD_RE"} & set(drive.get("capabilities", ()))
                      for drive in report["optical_drives"]))
    if report["hasBDOdd"] != capable:
        fail(f"hasBDOdd is {report['hasBDOdd']!r}, but the optical drives listed say {capable}")


def odd_path(opts) -> None:
    """The report carries the library's path, so a path full of awkward bytes shows whether both
    reports escape quotes, backslashes, control characters, UTF-8 and a byte that is no UTF-8."""
    work = fresh(Path(opts.work) / "odd_path")
    folder = work / os.fsdecode(b'odd "quoted" back\\slash\ttab\nnewline\x01control \xc3\xa9 \xff')
    folder.mkdir(parents=True)
    library = shutil.copy(opts.library, folder)
    with launched(opts.tool, ["--library", library, "--json"]) as ran:
        same("the JSON report's exit status", ran.status, 0)
        report = parse(ran.out, work.with_suffix(".json"))
        # The path reads back as the characters its UTF-8 names, the stray byte as U+FFFD.
        for key in ("path", "requested"):
            same(f"library.{key}", report["library"][key],
                 os.fsencode(library).decode("utf-8", "replace"))
        if r"control \u00e9 \ufffd" not in ran.out or r"\u0001" not in ran.out:
            fail("characters are not escaped as \\uXXXX")
        if re.search(r"[^\n -~]", ran.out):
            fail("the JSON report holds bytes other than printable ASCII")
    with launched(opts.tool, ["--library", library]) as ran:
        same("the text report's exit status", ran.status, 0)
        if r'odd \"quoted\" back\\slash\x09tab\x0anewline\x01control \xc3\xa9 \xff' not in ran.out:
            fail("the text report does not show the path's bytes escaped")
    shutil.rmtree(work)


def samples(opts) -> None:
    """Every sample answer beside the repository decodes as the samples' own checker expects."""
    check = Path(opts.samples or "/nonexistent") / "check.sh"
    if not os.access(check, os.X_OK):
        skip(f"no sample answers in {opts.samples}")
    result = run([check, opts.tool, "decode-config"])
    print(result.stdout + result.stderr)
    if not re.search(r"[1-9][0-9]* passed, 0 failed", result.stdout):
        fail("the sample answers do not all decode as expected")


SPECIAL = {"report_escapes_odd_bytes": odd_path, "decode_config_samples": samples}


def json_report(*arguments: str) -> None:
    parser = argparse.ArgumentParser(prog="report.py json")
    for option in ("windows", "version", "report"):
        parser.add_argument(f"--{option}", required=True)
    parser.add_argument("tool")
    opts = parser.parse_args(arguments)
    with launched(opts.tool, ["--json"], opts.windows) as ran:
        same("quoril-info --json's exit status", ran.status, 0)
        holds(parse(ran.out, Path(opts.report)), ran.out, version=opts.version)


def schema(*reports: str) -> None:
    for report in reports:
        parse(Path(report).read_text(encoding="utf-8"), Path(report))


if __name__ == "__main__":
    main({"cases": cases, "case": case, "json": json_report, "schema": schema})
