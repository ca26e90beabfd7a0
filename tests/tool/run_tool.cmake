# Runs quoril-info once and checks its exact exit status and, when asked, its output.
#
#   cmake -DTOOL=<exe> [-DEMULATOR=<runner>] -DEXPECT_EXIT=<n> [-DARGS=a|b|c]
#         [-DSTDOUT_MATCHES=<regex>] [-DSTDERR_MATCHES=<regex>]
#         [-DREPORT_JSON=ON [-DLIBRARY_PATH=<file the report must name>]] -P run_tool.cmake
#
# ARGS and EMULATOR separate their items with '|'. REPORT_JSON parses standard output as the
# JSON report and checks its shape and the answers every machine gives.
cmake_minimum_required(VERSION 3.25)

foreach(required TOOL EXPECT_EXIT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_tool.cmake needs -D${required}=...")
  endif()
endforeach()

set(command)
if(EMULATOR)
  string(REPLACE "|" ";" command "${EMULATOR}")
endif()
list(APPEND command "${TOOL}")
if(DEFINED ARGS)
  string(REPLACE "|" ";" args "${ARGS}")
  list(APPEND command ${args})
endif()

execute_process(COMMAND ${command}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE ";" "," shown "${command}")
set(context "command: ${shown}\nexit status: ${status}\n--- stdout\n${out}\n--- stderr\n${err}")

if(NOT status STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "expected exit status ${EXPECT_EXIT}\n${context}")
endif()
if(DEFINED STDOUT_MATCHES AND NOT out MATCHES "${STDOUT_MATCHES}")
  message(FATAL_ERROR "standard output does not match '${STDOUT_MATCHES}'\n${context}")
endif()
if(DEFINED STDERR_MATCHES AND NOT err MATCHES "${STDERR_MATCHES}")
  message(FATAL_ERROR "standard error does not match '${STDERR_MATCHES}'\n${context}")
endif()

if(REPORT_JSON)
  # Each lookup stops the test with the path it could not follow.
  function(report_get out_var)
    string(JSON value ERROR_VARIABLE problem GET "${out}" ${ARGN})
    if(problem)
      message(FATAL_ERROR "report JSON: ${ARGN}: ${problem}\n${context}")
    endif()
    set(${out_var} "${value}" PARENT_SCOPE)
  endfunction()
  function(expect what actual expected)
    if(NOT actual STREQUAL expected)
      message(FATAL_ERROR "report JSON: ${what} is '${actual}', expected '${expected}'\n${context}")
    endif()
  endfunction()

  string(JSON kind ERROR_VARIABLE problem TYPE "${out}")
  if(problem OR NOT kind STREQUAL "OBJECT")
    message(FATAL_ERROR "standard output is not one JSON object: ${problem}\n${context}")
  endif()

  report_get(loaded library loaded)
  expect("library.loaded" "${loaded}" "ON")
  report_get(path library path)
  if(path STREQUAL "")
    message(FATAL_ERROR "report JSON: library.path is empty\n${context}")
  endif()
  if(DEFINED LIBRARY_PATH)
    file(REAL_PATH "${path}" loaded_file)
    file(REAL_PATH "${LIBRARY_PATH}" expected_file)
    expect("library.path" "${loaded_file}" "${expected_file}")
  endif()
  foreach(name Test fnVoIsCPU fnGetSVID)
    report_get(present exports ${name})
    expect("exports.${name}" "${present}" "ON")
  endforeach()
  report_get(test_answer Test)
  expect("Test" "${test_answer}" "called")

  # The empty text is in every brand the processor can report.
  report_get(first_text fnVoIsCPU 0 text)
  expect("fnVoIsCPU[0].text" "${first_text}" "")
  report_get(first_answer fnVoIsCPU 0 answer)
  expect("fnVoIsCPU[0].answer" "${first_answer}" "1")

  # Adapters are listed from index 0 without gaps, each vendor at most four characters.
  report_get(limit fnGetSVID limit_reached)
  expect("fnGetSVID.limit_reached" "${limit}" "OFF")
  string(JSON count ERROR_VARIABLE problem LENGTH "${out}" fnGetSVID adapters)
  if(problem)
    message(FATAL_ERROR "report JSON: fnGetSVID.adapters: ${problem}\n${context}")
  endif()
  if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      report_get(index fnGetSVID adapters ${i} index)
      expect("fnGetSVID.adapters[${i}].index" "${index}" "${i}")
      report_get(vendor fnGetSVID adapters ${i} vendor)
      string(LENGTH "${vendor}" vendor_length)
      if(vendor_length GREATER 4)
        message(FATAL_ERROR "report JSON: vendor '${vendor}' is longer than four\n${context}")
      endif()
    endforeach()
  endif()
endif()
