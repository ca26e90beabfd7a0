# SPDX-License-Identifier: MIT
"""Checks quoril-info's JSON reports against the report's published schema.

    /usr/bin/python3 check_report_schema.py [--schema SCHEMA] REPORT...

SCHEMA defaults to docs/quoril-info.schema.json of this source tree. Every finding is printed as
the report's file, the path to the offending value and what is wrong with it. Exit status 0 when
every report holds to the schema, 1 when one does not or cannot be read as one JSON value, 2 when
the check itself cannot run.
"""
import json
import os
import sys

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (cmake/install-deps.sh installs it)")
    sys.exit(2)


def members_once(pairs):
    """A JSON object whose members are named once each: a repeated name is a malformed report."""
    names = [name for name, _ in pairs]
    repeated = sorted({name for name in names if names.count(name) > 1})
    if repeated:
        raise ValueError("member named more than once: " + ", ".join(repeated))
    return dict(pairs)


def main(args):
    schema_path = os.path.join(os.path.dirname(__file__), "..", "..", "docs",
                               "quoril-info.schema.json")
    if args[:1] == ["--schema"]:
        schema_path, args = args[1], args[2:]
    if not args:
        print(__doc__)
        return 2
    with open(schema_path, encoding="utf-8") as file:
        schema = json.load(file)
    checker = jsonschema.validators.validator_for(schema)
    checker.check_schema(schema)
    validator = checker(schema)
    failed = False
    for path in args:
        try:
            with open(path, encoding="utf-8") as file:
                report = json.load(file, object_pairs_hook=members_once)
        except (OSError, ValueError) as problem:
            print(f"{path}: {problem}")
            failed = True
            continue
        for error in sorted(validator.iter_errors(report), key=lambda e: list(map(str, e.path))):
            where = "/".join(str(step) for step in error.absolute_path) or "(the report)"
            print(f"{path}: {where}: {error.message}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
