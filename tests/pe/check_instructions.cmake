# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.25)
# Holds the 32-bit quoril.dll to the instructions of the 386, the oldest processor its Windows
# versions run on (Windows 95 runs on a 386DX): every executable section is disassembled by
# OBJDUMP, and each instruction a later processor brought fails the test with its address.
# CPUID is not in the table: the library runs it on purpose, guarded, and answers without it
# where the processor lacks it.
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL}
                OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT dump MATCHES "Disassembly of section")
  message(FATAL_ERROR "objdump could not disassemble ${DLL}")
endif()

# What each row finds, then the instruction as objdump spells it: a mnemonic, after any prefix,
# or (for registers) an operand. The processor that first had it is in parentheses.
set(newer_than_386
  "CMOV (Pentium Pro)"                  "cmov[a-z]+"
  "FCMOV (Pentium Pro)"                 "fcmov[a-z]+"
  "FCOMI or FUCOMI (Pentium Pro)"       "fu?comip?"
  "multi-byte NOP, 0F 1F (Pentium Pro)" "nop[wl]? +[^ \n]+"
  "BSWAP (486)"                         "bswap"
  "CMPXCHG (486)"                       "cmpxchg[bwl]?"
  "CMPXCHG8B (Pentium)"                 "cmpxchg8b"
  "XADD (486)"                          "xadd[bwl]?"
  "RDTSC (Pentium)"                     "rdtscp?"
  "MMX or SSE register"                 "[^ \n]*%[xyz]?mm[0-9]+[^ \n]*"
  "MMX or SSE instruction"              "emms|femms|ldmxcsr|stmxcsr|fxsave|fxrstor|[lms]fence|prefetch[a-z0-9]*|clflush|movnti")

# One instruction a line, framed by spaces ("<address>:\t <prefixes> <mnemonic> <operands> "),
# so that every row matches whole words only.
string(REPLACE ";" "," dump "${dump}")
string(REGEX REPLACE "\n([ ]*[0-9a-f]+):\t([^\n]*)" "\n\\1:\t \\2 " dump "${dump}")
string(REPLACE "\t" " " dump "${dump}")
string(REGEX MATCHALL "\n[ ]*[0-9a-f]+: [^\n]*" instructions "${dump}")
list(LENGTH instructions instruction_count)
if(instruction_count LESS 100)
  message(FATAL_ERROR "${DLL}: only ${instruction_count} instructions disassembled: "
                      "the dump's format was not understood")
endif()

set(failures "")
while(newer_than_386)
  list(POP_FRONT newer_than_386 what pattern)
  string(REGEX MATCHALL "\n[ ]*[0-9a-f]+: [^\n]* (${pattern}) [^\n]*" found "${dump}")
  foreach(line IN LISTS found)
    string(REGEX MATCH "([0-9a-f]+): +([^\n]*[^ \n])" line "${line}")
    string(APPEND failures "  ${what} at 0x${CMAKE_MATCH_1}: ${CMAKE_MATCH_2}\n")
  endforeach()
endwhile()
if(failures)
  message(FATAL_ERROR "${DLL} has instructions a 386 lacks:\n${failures}")
endif()
message(STATUS "${DLL}: ${instruction_count} instructions, all of the 386")
