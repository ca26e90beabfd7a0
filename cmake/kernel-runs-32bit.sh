#!/bin/sh
# SPDX-License-Identifier: MIT
#   kernel-runs-32bit.sh [FOLDER]
# Exit status 0 when this machine's kernel runs 32-bit x86 programs itself, 1 when it does not,
# or only through an emulator registered for them (binfmt_misc): then 32-bit Wine belongs in the
# emulated PC (tests/vm/guest.sh), where it runs at the processor's own pace and with threads.
#
# The probe is the smallest such program, written here byte by byte: an ELF header, one program
# header loading the whole file at 0x08048000, and three instructions that end the process with
# status 42 (mov eax, 1; mov ebx, 42; int 0x80). It is written into FOLDER (by default the
# temporary folder), which must allow programs to run.
set -u
for entry in /proc/sys/fs/binfmt_misc/*; do
  [ -f "$entry" ] || continue
  if head -n 1 "$entry" 2>/dev/null | grep -qx enabled &&
     grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null; then
    exit 1
  fi
done

probe=$(mktemp "${1:-${TMPDIR:-/tmp}}/kernel-runs-32bit.XXXXXX")
trap 'rm -f "$probe"' EXIT
{
  # e_ident: ELF, 32-bit, little-endian, version 1, System V; e_type executable, e_machine 386,
  # e_version 1, e_entry 0x08048054 (just past both headers), e_phoff 52, e_shoff 0, e_flags 0,
  # e_ehsize 52, e_phentsize 32, e_phnum 1, no section headers.
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'
  # p_type load, p_offset 0, p_vaddr and p_paddr 0x08048000, p_filesz and p_memsz 96,
  # p_flags read and execute, p_align 4096.
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000'
  printf '\270\001\000\000\000\273\052\000\000\000\315\200'
} >"$probe"
chmod 755 "$probe"
"$probe" 2>/dev/null
[ $? -eq 42 ]
