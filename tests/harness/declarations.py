# SPDX-License-Identifier: MIT
"""What is written by hand about the exports, held to the export list (src/export/exports.cmake):
the public header declares each export, with a pointer type quoril_<name>_fn, and no other
function but fnGetSVID's C name; the schema of quoril-info's JSON report has a member for each
export at the top and under "exports", required in both places, and no other.

    declarations.py check HEADER SCHEMA
"""
import json
import re
from pathlib import Path

import pe
from common import fail, main

REPORT = {"format_version", "library", "exports", "optical_drives"}  # beside the exports


def check(header, schema):
    names, svid = pe.export_list()
    text, report = Path(header).read_text(encoding="utf-8"), json.loads(Path(schema).read_text())
    functions = re.findall(r"QUORIL_API[^;(]*QUORIL_CALL +(\w+)\(", text)
    exports = report["properties"]["exports"]
    found = {"the header's functions": (functions, {svid["C_NAME"]}),
             "the header's pointer types": (
                 re.findall(r"QUORIL_CALL *\* *quoril_(\w+)_fn\)", text), set()),
             "the schema's report members": (report["properties"], REPORT),
             "the schema's required report members": (report["required"], REPORT),
             'the schema\'s members of "exports"': (exports["properties"], set()),
             'the schema\'s required members of "exports"': (exports["required"], set())}
    failures = [f"{what}: {sorted(set(listed) - others)}, but the list has {sorted(names)}"
                for what, (listed, others) in found.items() if set(listed) - others != set(names)]
    if svid["C_NAME"] not in functions:
        failures.append(f"the header does not declare {svid['C_NAME']}")
    if failures:
        fail("\n".join(failures))


if __name__ == "__main__":
    main({"check": check})
