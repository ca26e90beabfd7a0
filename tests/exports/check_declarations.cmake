# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.25)
# Holds what is written by hand about the exports to the export list (src/export/exports.cmake):
# the public header declares each export, with a pointer type quoril_<name>_fn, and no other
# function but fnGetSVID's C name; the schema of quoril-info's JSON report has a member for each
# export at the top and under "exports", required in both places, and no other.
#   cmake -DHEADER=<quoril.h> -DSCHEMA=<quoril-info.schema.json> -P check_declarations.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../src/export/exports.cmake)
set(listed ${QUORIL_EXPORTS})
list(SORT listed)

# compare(WHAT <names...>): the names, in any order, must be the listed ones.
function(compare what)
  set(names ${ARGN})
  list(REMOVE_DUPLICATES names)
  list(REMOVE_ITEM names ${QUORIL_FNGETSVID_C_NAME} format_version library exports optical_drives)
  list(SORT names)
  if(NOT names STREQUAL listed)
    message(SEND_ERROR "${what}: [${names}], but the list has [${listed}]")
  endif()
endfunction()

file(READ ${HEADER} header)
string(REGEX MATCHALL "QUORIL_API[^;(]*QUORIL_CALL +[A-Za-z_0-9]+\\(" functions "${header}")
list(TRANSFORM functions REPLACE ".*QUORIL_CALL +([A-Za-z_0-9]+)\\($" "\\1")
compare("the header's functions" ${functions})
if(NOT QUORIL_FNGETSVID_C_NAME IN_LIST functions)
  message(SEND_ERROR "the header does not declare ${QUORIL_FNGETSVID_C_NAME}")
endif()
string(REGEX MATCHALL "QUORIL_CALL *\\* *quoril_[A-Za-z_0-9]+_fn\\)" pointers "${header}")
list(TRANSFORM pointers REPLACE ".*quoril_([A-Za-z_0-9]+)_fn\\)$" "\\1")
compare("the header's pointer types" ${pointers})

# names(<json path...>): the members of the object, or the strings of the array, there.
file(READ ${SCHEMA} schema)
function(names what)
  string(JSON type TYPE "${schema}" ${ARGN})
  string(JSON count LENGTH "${schema}" ${ARGN})
  math(EXPR last "${count} - 1")
  set(found "")
  foreach(i RANGE ${last})
    if(type STREQUAL "OBJECT")
      string(JSON name MEMBER "${schema}" ${ARGN} ${i})
    else()
      string(JSON name GET "${schema}" ${ARGN} ${i})
    endif()
    list(APPEND found ${name})
  endforeach()
  compare("${what}" ${found})
endfunction()
names("the schema's report members" properties)
names("the schema's required report members" required)
names("the schema's members of \"exports\"" properties exports properties)
names("the schema's required members of \"exports\"" properties exports required)
