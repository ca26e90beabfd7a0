# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine and requires exit status 0.
#   cmake -DWINE_RUN=<wine-run.sh> -DWINE_ARCH=--win32|--win64 -DPROGRAM=<exe> [-DARGS=a|b]
#         [-DWORKING_DIRECTORY=<folder>] [-DEXPECT_EXPORTS=ON] -P run_program.cmake
# The program runs in WORKING_DIRECTORY, by default its own folder. With EXPECT_EXPORTS its
# output must hold a line for each export of the list, starting with the export's name.
get_filename_component(program_dir ${PROGRAM} DIRECTORY)
if(NOT WORKING_DIRECTORY)
  set(WORKING_DIRECTORY ${program_dir})
endif()
set(args "")
if(ARGS)
  string(REPLACE "|" ";" args "${ARGS}")
endif()
execute_process(COMMAND ${WINE_RUN} ${WINE_ARCH} ${PROGRAM} ${args}
  WORKING_DIRECTORY ${WORKING_DIRECTORY}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(err)
  message("${err}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}")
endif()
if(EXPECT_EXPORTS)
  include(${CMAKE_CURRENT_LIST_DIR}/../../src/export/exports.cmake)
  foreach(name IN LISTS QUORIL_EXPORTS)
    if(NOT out MATCHES "(^|\n)${name}[(:]")
      message(FATAL_ERROR "${PROGRAM} printed no answer of ${name}")
    endif()
  endforeach()
endif()
