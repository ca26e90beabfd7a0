# SPDX-License-Identifier: MIT
# The report carries the library's path, so a path full of awkward bytes shows whether the
# report escapes text correctly: quotes, backslashes, control characters, a UTF-8 character and
# a byte that is no UTF-8 at all.
#
#   cmake -DTOOL=<exe> -DLIBRARY=<library file> -DWORK_DIR=<scratch folder> -P odd_path.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/report_schema.cmake)

string(ASCII 1 control)
string(ASCII 255 not_utf8)
set(folder "${WORK_DIR}/odd \"quoted\" back\\slash\ttab\nnewline${control}control é ${not_utf8}")
get_filename_component(library_name "${LIBRARY}" NAME)
set(library "${folder}/${library_name}")
# CMake's own file commands read a backslash as a folder separator, so the shell tools make it.
execute_process(COMMAND rm -rf "${WORK_DIR}")
execute_process(COMMAND mkdir -p "${folder}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND cp "${LIBRARY}" "${library}" COMMAND_ERROR_IS_FATAL ANY)

execute_process(COMMAND "${TOOL}" --library "${library}" --json
  RESULT_VARIABLE status OUTPUT_VARIABLE json ERROR_VARIABLE err)
set(context "exit status: ${status}\n--- stdout\n${json}\n--- stderr\n${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the JSON report failed\n${context}")
endif()
file(WRITE "${WORK_DIR}.json" "${json}")
check_report_schema("${WORK_DIR}.json")

string(JSON path ERROR_VARIABLE problem GET "${json}" library path)
if(problem)
  message(FATAL_ERROR "library.path: ${problem}\n${context}")
endif()
string(JSON requested ERROR_VARIABLE problem GET "${json}" library requested)
# The path reads back as the characters its UTF-8 names, the stray byte as U+FFFD.
string(REPLACE "${not_utf8}" "�" readable "${library}")
foreach(value path requested)
  if(NOT "${${value}}" STREQUAL "${readable}")
    message(FATAL_ERROR "library.${value} does not round-trip: '${${value}}'\n${context}")
  endif()
endforeach()
if(NOT json MATCHES "control \\\\u00e9 \\\\ufffd" OR NOT json MATCHES "\\\\u0001")
  message(FATAL_ERROR "characters are not escaped as \\uXXXX\n${context}")
endif()
if(json MATCHES "[^\n -~]")
  message(FATAL_ERROR "the JSON report holds bytes other than printable ASCII\n${context}")
endif()

execute_process(COMMAND "${TOOL}" --library "${library}"
  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
set(context "exit status: ${status}\n--- stdout\n${text}\n--- stderr\n${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the text report failed\n${context}")
endif()
if(NOT text MATCHES "odd \\\\\"quoted\\\\\" back\\\\\\\\slash\\\\x09tab\\\\x0anewline\\\\x01control \\\\xc3\\\\xa9 \\\\xff")
  message(FATAL_ERROR "the text report does not show the path's bytes escaped\n${context}")
endif()
execute_process(COMMAND rm -rf "${WORK_DIR}")
