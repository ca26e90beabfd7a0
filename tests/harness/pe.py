# SPDX-License-Identifier: MIT
"""A Windows image's own tables, read once from its headers, held to what every host and every
supported Windows needs: `pe.py tables x86|x64 DLL` (the DLL as it ships), `pe.py imports x86|x64
DLL` (the imports alone: the platform probe), `pe.py instructions DLL` (all of the 386)."""
import re
import shutil
import struct
from pathlib import Path

from common import SOURCE, fail, main, run, skip

# Each architecture: its machine in the file header; the subsystem version its oldest Windows
# accepts (Windows 95 and NT 4; the first x86-64 Windows, the x86-64 linker's default); the
# DLL's size budget; the objdump that disassembles it.
ARCHES = {"x86": (0x14C, (4, 0), 48 << 10, "i686-w64-mingw32-objdump"),
          "x64": (0x8664, (5, 2), 64 << 10, "x86_64-w64-mingw32-objdump")}
# Sections a language runtime would run at load or unload, or unwind with: the library carries no
# runtime, so nothing would ever run them. An image keeps eight characters of a longer name.
RUNTIME_SECTIONS = (".CRT", ".ctors", ".dtors", ".tls", ".eh_frame", ".eh_fram")


def export_list() -> tuple[list[str], dict[str, str]]:
    """The export list (src/export/exports.cmake), and its names of fnGetSVID."""
    text = (SOURCE / "src/export/exports.cmake").read_text(encoding="utf-8")
    listed = re.search(r"set\(QUORIL_EXPORTS\s([^)]*)\)", text)
    svid = dict(re.findall(r'set\(QUORIL_FNGETSVID_(\w+) "([^"]+)"\)', text))
    if not listed or not svid:
        fail("src/export/exports.cmake no longer reads as this harness expects")
    return listed.group(1).split(), svid


class Image:
    """A PE file's header fields, sections, exports and imports ({DLL in capitals: names})."""

    def __init__(self, path):
        self.path, self.data = Path(path), Path(path).read_bytes()
        self.size, field = len(self.data), lambda form, at: struct.unpack_from(form, self.data, at)
        header = field("<I", 0x3C)[0] if self.data[:2] == b"MZ" else 0
        if self.data[header:header + 4] != b"PE\0\0":
            fail(f"{path} is not a PE image")
        (self.machine, count, _, symbols, symbol_count, optional_size,
         self.characteristics) = field("<HHIIIHH", header + 4)
        optional, wide = header + 24, field("<H", header + 24)[0] == 0x20B
        self.subsystem, directories = field("<HH", optional + 48), optional + (112 if wide else 96)
        self.directories = [field("<II", directories + 8 * i)
                            for i in range(field("<I", directories - 4)[0])]
        self.sections = []
        for at in range(optional + optional_size, optional + optional_size + 40 * count, 40):
            name = self.data[at:at + 8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and symbols:  # a long name, kept in the string table
                name = self.text(symbols + 18 * symbol_count + int(name[1:]))
            self.sections.append((name, *field("<IIII", at + 8)))
        rva, size = self.directories[0]
        self.exports = sorted(self.text(self.offset(self.word(self.word(rva + 32) + 4 * i)))
                              for i in range(self.word(rva + 24) if size else 0))
        self.imports, (rva, size) = {}, self.directories[1]
        form, ordinal = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
        while size and any(entry := field("<5I", self.offset(rva))):
            names = self.imports.setdefault(self.text(self.offset(entry[3])).upper(), [])
            at = entry[0] or entry[4]  # the lookup table, or else the address table
            while thunk := self.word(at, form):
                names.append(f"#ordinal-{thunk & 0xFFFF}" if thunk & ordinal
                             else self.text(self.offset(thunk + 2)))
                at += struct.calcsize(form)
            names.sort()
            rva += 20

    def offset(self, rva: int) -> int:
        for _, size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        fail(f"{self.path}: address 0x{rva:x} is in no section")

    def text(self, at: int) -> str:
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def word(self, rva: int, form: str = "<I") -> int:
        return struct.unpack_from(form, self.data, self.offset(rva))[0]


def table_failures(path, arch: str, imports_only: bool = False) -> list[str]:
    """What is wrong with the DLL's tables: the DLL as it ships, or only its imports. The 64-bit
    DLL must import every allow-list entry not marked "x86 only" (the 32-bit ASPI channel's)."""
    image, (machine, subsystem, budget, _) = Image(path), ARCHES[arch]
    entries = [line.split(None, 1) for line in (SOURCE / "tests/pe/allowed_imports.txt")
               .read_text(encoding="utf-8").splitlines() if re.match(r"[A-Z0-9]+\.DLL!\w", line)]
    required = {name for name, why in entries if not why.startswith("x86 only:")}
    allowed = required if arch == "x64" else {name for name, _ in entries}
    imports = [f"{dll}!{name}" for dll, names in image.imports.items() for name in names]
    names, svid = export_list()
    exported = sorted(svid[f"EXPORT_{arch}"] if name == "fnGetSVID" else name for name in names)
    # Windows 95 and NT 4 set up no static thread-local data for a library loaded at run time.
    tls = image.directories[9]  # the thread-local storage directory
    # Each check: whether it holds, and what fails if not.
    checks = [(image.machine == machine, f"not an {arch} image (machine 0x{image.machine:x})"),
              (image.subsystem == subsystem,
               "subsystem version is %d.%d, not %d.%d" % (*image.subsystem, *subsystem)),
              (image.characteristics & 0x2000, "the image is not marked as a DLL"),
              *((name in allowed, f"import {name} is not on the allow-list"
                 if name.startswith("KERNEL32.DLL!") else f"import {name} is not from KERNEL32.DLL")
                for name in imports),
              (imports, "found no imports")]
    if not imports_only:
        checks += [(not any(tls), "has a thread-local storage directory (address 0x%x, size 0x%x)"
                    % tls),
                   *((name not in RUNTIME_SECTIONS, f"has a {name} section")
                     for name, *_ in image.sections),
                   (image.size <= budget,
                    f"is {image.size} bytes, more than its budget of {budget}"),
                   *((arch != "x64" or name in imports,
                      f'does not import {name}: take it off the allow-list or mark it "x86 only"')
                     for name in sorted(required)),
                   (image.exports == exported,
                    f"exports {image.exports}, expected exactly {exported}")]
    return [failure for holds, failure in checks if not holds]


# What each row finds, then the instruction as objdump spells it, a whole word: a mnemonic, after
# any prefix, or (for registers) an operand. The processor that first had it is in parentheses.
# CPUID is not here: the library runs it on purpose, guarded, and answers without it where the
# processor lacks it.
NEWER_THAN_386 = {
    "CMOV, FCMOV, FCOMI or multi-byte NOP (Pentium Pro)": r"f?cmov[a-z]+|fu?comip?|nop[wl]? +[^ ]+",
    "BSWAP, CMPXCHG or XADD (486)": r"bswap|cmpxchg[bwl]?|xadd[bwl]?",
    "CMPXCHG8B or RDTSC (Pentium)": r"cmpxchg8b|rdtscp?",
    "MMX or SSE register": r"[^ ]*%[xyz]?mm[0-9]+[^ ]*",
    "MMX or SSE instruction": r"emms|femms|ldmxcsr|stmxcsr|fxsave|fxrstor|[lms]fence"
                              r"|prefetch[a-z0-9]*|clflush|movnti"}


def instruction_failures(path) -> list[str]:
    """Every instruction of the 32-bit DLL that a 386 lacks, the oldest processor its Windows
    versions run on (Windows 95 runs on a 386DX), with its address."""
    objdump = shutil.which(ARCHES["x86"][3]) or shutil.which("objdump")
    if not objdump:
        skip("no objdump for 32-bit Windows images (make deps)")
    dump = run([objdump, "-d", "--no-show-raw-insn", path], check=True).stdout
    lines = re.findall(r"^ *([0-9a-f]+):\t(.*)$", dump, re.MULTILINE)
    if len(lines) < 100:
        fail(f"{path}: only {len(lines)} instructions disassembled: the dump was not understood")
    return [f"{what} at 0x{address}: {text.strip()}" for address, text in lines
            for what, pattern in NEWER_THAN_386.items()
            if re.search(f" (?:{pattern}) ", f" {text.replace(chr(9), ' ')} ")]


def verdict(path, failures: list[str], passed: str) -> None:
    if failures:
        fail(f"{path}:\n  " + "\n  ".join(failures))
    print(f"{path}: {passed}")


if __name__ == "__main__":
    main({"tables": lambda arch, dll: verdict(dll, table_failures(dll, arch), "as promised"),
          "imports": lambda arch, dll: verdict(dll, table_failures(dll, arch, True), "allowed"),
          "instructions": lambda dll: verdict(dll, instruction_failures(dll), "all of the 386")})
