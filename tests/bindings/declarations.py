# SPDX-License-Identifier: MIT
"""Holds every binding's raw declarations to the library's exports: exactly the exported names of
the export list (each of fnGetSVID's, the decorated ones included), each cdecl with the result and
argument kinds (void, int32, narrow or wide text) the header declares for it.
   declarations.py HEADER BINDINGS_FOLDER "EXPORTED NAMES..."
"""

import re
import sys

# Each binding's type names, by kind.
KINDS = {"void": "void", "None": "void", "int": "int32", "c_int32": "int32", "Int32": "int32",
         "byte[]": "narrow", "c_char_p": "narrow", "NARROW": "narrow", "PAnsiChar": "narrow",
         "char[]": "wide", "string": "wide", "WIDE": "wide", "PWideChar": "wide"}


def c_kind(declaration):
    text = re.sub(r"\bconst\b", "", declaration).strip()
    for kind, pattern in (("void", r"void$"), ("int32", r"(int|quoril_long32)\b[\w\s]*$"),
                          ("wide", r"quoril_wchar\s*\*"), ("narrow", r"char\s*(\*|\w+\[\])")):
        if re.match(pattern, text):
            return kind
    raise ValueError("header type not understood: " + declaration)


def header(path, exported):
    """The header's kinds for each exported name; a decorated C++ name ("?name@...") has those of
    the function it names."""
    text = open(path, encoding="utf-8").read()
    found = {}
    for result, name, arguments in re.findall(r"QUORIL_API\s+(\w+)\s+QUORIL_CALL\s+(\w+)\(([^)]*)\);",
                                              text):
        arguments = [] if arguments.strip() == "void" else arguments.split(",")
        found[name] = (c_kind(result), tuple(map(c_kind, arguments)))
    return {name: found.get(re.sub(r"^\?(\w+)@.*", r"\1", name), "not in the header")
            for name in exported}


def csharp(text):
    pattern = r"\[DllImport\(([^\]]*)\)\]\s*(?:public\s+)?static\s+extern\s+([\w\[\]]+)\s+(\w+)\((.*?)\);"
    for attribute, result, method, arguments in re.findall(pattern, text, re.S):
        entry = re.search(r'EntryPoint\s*=\s*"([^"]+)"', attribute)
        name, argument_kinds = entry.group(1) if entry else method, []
        # Commas inside an attribute ([In, Out]) separate no arguments.
        for argument in filter(None, map(str.strip, re.split(r",(?![^\[]*\])", arguments))):
            marshal = re.match(r"(\s*\[[^\]]+\])*", argument).group(0)
            kind = KINDS[argument[len(marshal):].split()[0]]
            # .NET passes char arrays and strings as 16-bit units only when told so.
            if kind == "wide" and "CharSet.Unicode" not in attribute and "LPWStr" not in marshal:
                raise ValueError("%s passes wide text without CharSet.Unicode" % name)
            argument_kinds.append(kind)
        if "CallingConvention.Cdecl" in attribute:
            yield name, (KINDS[result], tuple(argument_kinds))


def python(text):
    svid_names = re.findall(r'SVID_NAME = "([^"]+)"', text)
    for name, result, arguments in re.findall(r'_declare\(("[^"]+"|SVID_NAME), (\w+)((?:, \w+)*)\)',
                                              text):
        signature = (KINDS[result], tuple(KINDS[a] for a in arguments.split(", ")[1:]))
        for exported in svid_names if name == "SVID_NAME" else [name.strip('"')]:
            yield exported, signature


def pascal(text):
    constants = {}
    for constant, value in re.findall(r"(\w+) = '([^']*)';", text):
        constants.setdefault(constant, []).append(value)
    pattern = (r"(procedure|function)\s+\w+(?:\(([^)]*)\))?(?:\s*:\s*(\w+))?;\s*cdecl;\s*"
               r"external\s+QuorilLibrary\s+name\s+('[^']*'|\w+)\s*"
               r"(?:\{\$IFDEF QUORIL_DELAYED\}delayed\{\$ENDIF\})?;")
    for routine, arguments, result, name in re.findall(pattern, text):
        argument_kinds = []
        for names, type_name in re.findall(r"([\w\s,]+):\s*(\w+)", arguments):
            argument_kinds += [KINDS[type_name]] * len(names.split(","))
        signature = ("void" if routine == "procedure" else KINDS[result], tuple(argument_kinds))
        for exported in [name.strip("'")] if name.startswith("'") else constants[name]:
            yield exported, signature


def main(header_path, folder, exported):
    expected = header(header_path, exported.split())
    failures = []
    for read, path in ((csharp, "dotnet/Quoril.cs"), (python, "python/quoril/native.py"),
                       (pascal, "pascal/Quoril.pas")):
        try:
            declared = dict(read(open("%s/%s" % (folder, path), encoding="utf-8").read()))
        except (ValueError, KeyError) as problem:
            declared = {"?": repr(problem)}
        failures += ["%s declares %s as %s, the header as %s"
                     % (path, name, declared.get(name), expected.get(name))
                     for name in sorted(set(expected) | set(declared))
                     if declared.get(name) != expected.get(name)]
    for failure in failures:
        print("FAILED " + failure)
    print("%d exported names in 3 bindings: %d failed" % (len(expected), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
