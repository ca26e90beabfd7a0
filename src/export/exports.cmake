# SPDX-License-Identifier: MIT
# The library's exports, listed once. The build writes from this list the DLL's module-definition
# file, the ELF version script, the kit's import definitions, the header's exported names of
# fnGetSVID and the export list the host tool walks; the tests hold the built libraries, the
# header's declarations and the report's schema to it. A new export takes a line here, its
# declaration in include/quoril.h.in, its implementation in exports.cpp and its tests.

# Every export by the name the header declares, in the order quoril-info reports them
# ("Porduct" and "Driver" are spelled as the hosts link against them).
set(QUORIL_EXPORTS
  Test
  fnVoIsCPU
  fnGetSVID
  fnGetPID
  fnGetWMIInfo
  fnGetBaseBoardPorductA
  fnListDriverCaption
  fnGetDriveCaptionW
  hasBDOdd)

# fnGetSVID has C++ linkage on Windows. The DLL exports it only under MSVC's decoration of
# `int __cdecl fnGetSVID(long, char[])`, which marks the pointer as 64-bit in the x64 DLL; the
# function itself is GCC's decoration of the same declaration, the name MinGW hosts reference
# too. C hosts that link an import library call it by the plain C name.
set(QUORIL_FNGETSVID_EXPORT_x86 "?fnGetSVID@@YAHJQAD@Z")
set(QUORIL_FNGETSVID_EXPORT_x64 "?fnGetSVID@@YAHJQEAD@Z")
set(QUORIL_FNGETSVID_SYMBOL_GCC "_Z9fnGetSVIDlPc")
set(QUORIL_FNGETSVID_C_NAME "quoril_fnGetSVID")

# quoril_export_names(<variable> <x86|x64|elf>): the names the library exports there.
function(quoril_export_names variable platform)
  set(names ${QUORIL_EXPORTS})
  if(platform STREQUAL "x86" OR platform STREQUAL "x64")
    list(TRANSFORM names REPLACE "^fnGetSVID$" "${QUORIL_FNGETSVID_EXPORT_${platform}}")
  elseif(NOT platform STREQUAL "elf")
    message(FATAL_ERROR "quoril_export_names: no platform '${platform}'")
  endif()
  set(${variable} ${names} PARENT_SCOPE)
endfunction()

# Writes `content` to `file` only when it differs, so an unchanged file keeps its time stamp.
# (configure_file would take the '@' pairs of the decorated names for variables.)
function(quoril_write_if_changed file content)
  file(WRITE ${file}.new "${content}")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
  file(REMOVE ${file}.new)
endfunction()

# quoril_write_module_definition(<file> <x86|x64> <dll|msvc|mingw>): the export table of
#   dll    the DLL's link: fnGetSVID exported under its decorated name from GCC's symbol, and
#          nothing else, since with a definition file the linker exports no symbol on its own;
#   msvc   MSVC's import library: every exported name as it stands (quoril_fnGetSVID comes from
#          an object of its own, src/export/import_thunk.cpp: llvm-dlltool cannot import one
#          name under another);
#   mingw  MinGW's import library: the plain names, and for fnGetSVID GCC's decoration and the
#          C name, both imported under the decorated one.
function(quoril_write_module_definition file arch flavour)
  set(decorated "${QUORIL_FNGETSVID_EXPORT_${arch}}")
  set(text "; Written by the build from src/export/exports.cmake.\nLIBRARY quoril.dll\nEXPORTS\n")
  foreach(name IN LISTS QUORIL_EXPORTS)
    if(NOT name STREQUAL "fnGetSVID")
      string(APPEND text "  ${name}\n")
    elseif(flavour STREQUAL "dll")
      string(APPEND text "  \"${decorated}\" = ${QUORIL_FNGETSVID_SYMBOL_GCC}\n")
    elseif(flavour STREQUAL "msvc")
      string(APPEND text "  \"${decorated}\"\n")
    elseif(flavour STREQUAL "mingw")
      foreach(alias ${QUORIL_FNGETSVID_SYMBOL_GCC} ${QUORIL_FNGETSVID_C_NAME})
        string(APPEND text "  ${alias} == \"${decorated}\"\n")
      endforeach()
    else()
      message(FATAL_ERROR "quoril_write_module_definition: no flavour '${flavour}'")
    endif()
  endforeach()
  quoril_write_if_changed(${file} "${text}")
endfunction()

# The ELF version script of libquoril.so: the exports and nothing else.
function(quoril_write_version_script file)
  list(JOIN QUORIL_EXPORTS ";\n    " names)
  quoril_write_if_changed(${file}
    "/* Written by the build from src/export/exports.cmake. */\n{\n  global:\n    ${names};\n  local:\n    *;\n};\n")
endfunction()

# A C header defining QUORIL_EXPORT_LIST(X), which applies the macro X to each export's name in
# the list's order, for code that walks every export.
function(quoril_write_export_list_header file)
  list(TRANSFORM QUORIL_EXPORTS PREPEND "  X(" OUTPUT_VARIABLE entries)
  list(TRANSFORM entries APPEND ")")
  list(JOIN entries " \\\n" entries)
  quoril_write_if_changed(${file}
    "/* Written by the build from src/export/exports.cmake: every export, in the list's order. */\n#pragma once\n#define QUORIL_EXPORT_LIST(X) \\\n${entries}\n")
endfunction()
