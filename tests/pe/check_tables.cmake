# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.25)
# Holds quoril.dll's export table, import table and header to what every host and every
# supported Windows needs:
#  - exports exactly the names of the project's export list (src/export/exports.cmake), with
#    fnGetSVID's decorated name for the architecture, nothing else;
#  - an image of the architecture asked for (ARCH: x86 or x86-64) with the subsystem version
#    its oldest Windows accepts: 4.0 for 32-bit (Windows 95 and NT 4), 5.2 for 64-bit (the first
#    x86-64 Windows, and what the x86-64 linker gives by default);
#  - no thread-local storage directory: Windows 95 and NT 4 do not set up static thread-local
#    data for a library loaded at run time, and nothing of the library needs any;
#  - imports only from KERNEL32.DLL, and only functions on the allow-list, each of which exists
#    on all of those systems. A new import fails here until it has been checked and added. The
#    64-bit DLL imports exactly the list's functions not marked "x86 only", so one it no longer
#    calls fails too;
#  - no section that a language runtime would need to run at load or unload (.CRT, .ctors,
#    .dtors, .tls) or to unwind (.eh_frame): the library carries no runtime, so nothing would
#    ever run them;
#  - at most MAX_BYTES bytes, where given.
# With IMPORTS_ONLY (the platform probe) the exports, the sections and the size are not
# checked.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${DLL}")
endif()
string(REPLACE ";" "," dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

if(ARCH STREQUAL "x86")
  set(format pei-i386)
  set(subsystem_major 4)
  set(subsystem_minor 0)
  set(export_platform x86)
elseif(ARCH STREQUAL "x86-64")
  set(format pei-x86-64)
  set(subsystem_major 5)
  set(subsystem_minor 2)
  set(export_platform x64)
else()
  message(FATAL_ERROR "ARCH must be x86 or x86-64, not '${ARCH}'")
endif()
if(NOT dump MATCHES "file format ${format}\n")
  fail("not a ${ARCH} image (${format})")
endif()
if(NOT dump MATCHES "MajorSubsystemVersion[ \t]+${subsystem_major}\n" OR
   NOT dump MATCHES "MinorSubsystemVersion[ \t]+${subsystem_minor}\n")
  fail("subsystem version is not ${subsystem_major}.${subsystem_minor}")
endif()
# The data directory's entry for thread-local storage: address and size, both zero when absent.
if(NOT dump MATCHES "\nEntry 9 ([0-9a-f]+) ([0-9a-f]+) Thread Storage Directory")
  fail("no thread-local storage entry in the data directory: the dump's format was not understood")
else()
  set(tls_address ${CMAKE_MATCH_1})
  set(tls_size ${CMAKE_MATCH_2})
  if(NOT IMPORTS_ONLY AND (tls_address MATCHES "[1-9a-f]" OR tls_size MATCHES "[1-9a-f]"))
    fail("has a thread-local storage directory (address 0x${tls_address}, size 0x${tls_size})")
  endif()
endif()
if(NOT IMPORTS_ONLY)
  execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE headers)
  foreach(section .CRT .ctors .dtors .tls .eh_frame)
    string(REPLACE "." "\\." pattern "${section}")
    if(headers MATCHES "[ \t]${pattern}[ \t]")
      fail("has a ${section} section")
    endif()
  endforeach()
  file(SIZE ${DLL} bytes)
  if(MAX_BYTES AND bytes GREATER MAX_BYTES)
    fail("is ${bytes} bytes, more than its budget of ${MAX_BYTES}")
  endif()
endif()
if(NOT dump MATCHES "Characteristics[^\n]*\n([^\n]*\n)*[ \t]*DLL\n")
  fail("the image is not marked as a DLL")
endif()

# Walk the dump once, collecting exported names and (DLL, function) imports.
set(section "")
set(exports "")
set(imports "")
set(current_dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(section exports)
  elseif(line MATCHES "^[ \t]*DLL Name: (.+)$")
    set(section imports)
    string(TOUPPER "${CMAKE_MATCH_1}" current_dll)
  elseif(line MATCHES "^PE File Base Relocations" OR line MATCHES "^The Function Table")
    set(section "")
  elseif(section STREQUAL "exports" AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] (.+)$")
    list(APPEND exports "${CMAKE_MATCH_1}")
  elseif(section STREQUAL "imports" AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+([A-Za-z0-9_]+)$")
    list(APPEND imports "${current_dll}!${CMAKE_MATCH_1}")
  elseif(section STREQUAL "imports" AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+<none>[ \t]+([0-9a-f]+)$")
    list(APPEND imports "${current_dll}!#ordinal-${CMAKE_MATCH_1}")
  endif()
endforeach()

list(SORT exports)
include(${CMAKE_CURRENT_LIST_DIR}/../../src/export/exports.cmake)
quoril_export_names(expected_exports ${export_platform})
list(SORT expected_exports)
if(NOT IMPORTS_ONLY AND NOT exports STREQUAL expected_exports)
  fail("exports are [${exports}], expected exactly [${expected_exports}]")
endif()

if(NOT imports)
  fail("found no imports: the dump's format was not understood")
endif()
file(STRINGS ${ALLOWED_IMPORTS} allowed REGEX "^[A-Z0-9]+\\.DLL![A-Za-z0-9_]+")
foreach(entry IN LISTS allowed)
  if(ARCH STREQUAL "x86-64" AND entry MATCHES "^[^ \t]+[ \t]+x86 only:")
    continue()
  endif()
  string(REGEX REPLACE "[ \t].*$" "" entry "${entry}")
  list(APPEND allowed_names "${entry}")
endforeach()
if(ARCH STREQUAL "x86-64" AND NOT IMPORTS_ONLY)
  foreach(name IN LISTS allowed_names)
    if(NOT name IN_LIST imports)
      fail("does not import ${name}: take it off the allow-list or mark it \"x86 only\"")
    endif()
  endforeach()
endif()
foreach(import IN LISTS imports)
  if(NOT import MATCHES "^KERNEL32\\.DLL!")
    fail("import ${import} is not from KERNEL32.DLL")
  elseif(NOT import IN_LIST allowed_names)
    fail("import ${import} is not on the allow-list")
  endif()
endforeach()

list(LENGTH exports export_count)
list(LENGTH imports import_count)
if(failures)
  message(FATAL_ERROR "${DLL}:\n${failures}")
endif()
message(STATUS "${DLL}: ${export_count} exports, ${import_count} imports, all allowed")
