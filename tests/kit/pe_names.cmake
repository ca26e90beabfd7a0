# SPDX-License-Identifier: MIT
# Reads a PE file's export and import names with llvm-readobj (included by the build scripts).

# kit_pe_exports(READOBJ FILE OUT): the exported names.
function(kit_pe_exports readobj file out)
  execute_process(COMMAND ${readobj} --coff-exports ${file}
    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the exports of ${file}: ${err}")
  endif()
  string(REGEX MATCHALL "\n  Name: [^\n]+" lines "${text}")
  list(TRANSFORM lines REPLACE "^\n  Name: " "")
  list(SORT lines)
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# kit_pe_imports(READOBJ FILE OUT_DLLS): the imported DLLs' names (as written, in order); for each
# DLL, its imported names (sorted) in <OUT_DLLS>_<name in upper case>.
function(kit_pe_imports readobj file out)
  execute_process(COMMAND ${readobj} --coff-imports ${file}
    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the imports of ${file}: ${err}")
  endif()
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(dlls "")
  set(current "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^  Name: (.+)$")
      set(current ${CMAKE_MATCH_1})
      string(TOUPPER ${current} key)
      list(APPEND dlls ${current})
      set(names_${key} "")
    elseif(current AND line MATCHES "^  Symbol: (.+) \\([0-9]+\\)$")
      list(APPEND names_${key} "${CMAKE_MATCH_1}")
    elseif(line STREQUAL "}")
      set(current "")
    endif()
  endforeach()
  set(${out} "${dlls}" PARENT_SCOPE)
  foreach(dll IN LISTS dlls)
    string(TOUPPER ${dll} key)
    list(SORT names_${key})
    set(${out}_${key} "${names_${key}}" PARENT_SCOPE)
  endforeach()
endfunction()

# kit_check_quoril_imports(READOBJ PROGRAM DLL all|none): the program imports either every name
# the DLL exports, and only those, or nothing from it.
function(kit_check_quoril_imports readobj program dll expect)
  kit_pe_imports(${readobj} ${program} imports)
  set(imported "${imports_QUORIL.DLL}")
  if(expect STREQUAL "none")
    if(imported)
      message(FATAL_ERROR "${program} imports from quoril.dll, which it should load at run time")
    endif()
    return()
  endif()
  kit_pe_exports(${readobj} ${dll} exported)
  if(NOT imported STREQUAL exported)
    message(FATAL_ERROR "${program} imports from quoril.dll:\n  ${imported}\n"
                        "which should be what quoril.dll exports:\n  ${exported}")
  endif()
  message(STATUS "${program} imports all of quoril.dll's exports: ${imported}")
endfunction()
