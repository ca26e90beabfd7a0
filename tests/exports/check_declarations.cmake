# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.25)
# Holds what is written by hand about the exports to the project's export list
# (src/export/exports.cmake):
#  - the public header declares each listed export, and no other function but the C name of
#    fnGetSVID, and a pointer type quoril_<name>_fn for each, and no other;
#  - the schema of quoril-info's JSON report has a member for each export, at the top and under
#    "exports", required in both places, and no other export member.
#   cmake -DHEADER=<quoril.h> -DSCHEMA=<quoril-info.schema.json> -P check_declarations.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../src/export/exports.cmake)
set(listed ${QUORIL_EXPORTS})
list(SORT listed)
set(failures "")

# compare(WHAT <names...>): the names, in any order and without repeats, must be the listed ones.
function(compare what)
  set(names ${ARGN})
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  if(NOT names STREQUAL listed)
    set(failures "${failures}  ${what}: [${names}], the list: [${listed}]\n" PARENT_SCOPE)
  endif()
endfunction()

file(READ ${HEADER} header)
string(REGEX MATCHALL "QUORIL_API[^;(]*QUORIL_CALL +[A-Za-z_0-9]+\\(" declarations "${header}")
list(TRANSFORM declarations REPLACE ".*QUORIL_CALL +([A-Za-z_0-9]+)\\($" "\\1")
if(NOT QUORIL_FNGETSVID_C_NAME IN_LIST declarations)
  string(APPEND failures "  the header does not declare ${QUORIL_FNGETSVID_C_NAME}\n")
endif()
list(REMOVE_ITEM declarations ${QUORIL_FNGETSVID_C_NAME})
compare("functions the header declares" ${declarations})
string(REGEX MATCHALL "QUORIL_CALL *\\* *quoril_[A-Za-z_0-9]+_fn\\)" pointers "${header}")
list(TRANSFORM pointers REPLACE ".*quoril_([A-Za-z_0-9]+)_fn\\)$" "\\1")
compare("the header's pointer types quoril_<name>_fn" ${pointers})

file(READ ${SCHEMA} schema)
# members(<variable> <json path...>): the member names of the object there.
function(members variable)
  string(JSON count LENGTH "${schema}" ${ARGN})
  set(names "")
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON name MEMBER "${schema}" ${ARGN} ${i})
      list(APPEND names ${name})
    endforeach()
  endif()
  set(${variable} ${names} PARENT_SCOPE)
endfunction()
# elements(<variable> <json path...>): the strings of the array there.
function(elements variable)
  string(JSON count LENGTH "${schema}" ${ARGN})
  set(names "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON name GET "${schema}" ${ARGN} ${i})
    list(APPEND names ${name})
  endforeach()
  set(${variable} ${names} PARENT_SCOPE)
endfunction()
# The report's members that are no export.
set(report_members format_version library exports optical_drives)
members(top properties)
list(REMOVE_ITEM top ${report_members})
compare("the schema's report members" ${top})
elements(required required)
list(REMOVE_ITEM required ${report_members})
compare("the schema's required report members" ${required})
members(present properties exports properties)
compare("the schema's members of \"exports\"" ${present})
elements(required properties exports required)
compare("the schema's required members of \"exports\"" ${required})

if(failures)
  message(FATAL_ERROR "Not as the export list says:\n${failures}")
endif()
list(LENGTH listed count)
message(STATUS "${count} exports: the header and the report's schema agree with the list")
