# SPDX-License-Identifier: MIT
# One step of the bindings' tests (see CMakeLists.txt): each test program runs once for each tree
# of the answers table, QUORIL_SYSFS_ROOT pointing at it. A missing tool fails the step and says
# which: cmake/install-deps.sh installs them all.
cmake_minimum_required(VERSION 3.25)
set(here ${CMAKE_CURRENT_LIST_DIR})

function(need)
  foreach(program IN LISTS ARGN)
    find_program(found NAMES ${program} NO_CACHE)
    if(NOT found)
      message(FATAL_ERROR "${program} is not installed: make deps as root installs it "
                          "(cmake/install-deps.sh, its bindings group)")
    endif()
  endforeach()
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}")
  endif()
endfunction()

function(run_over_trees)
  file(READ ${TREES}/answers.tsv table)
  string(REGEX MATCHALL "(^|\n)[^\t\n]+" trees "${table}")
  string(REPLACE "\n" "" trees "${trees}")
  list(REMOVE_DUPLICATES trees)
  foreach(tree IN LISTS trees)
    run(${CMAKE_COMMAND} -E env QUORIL_SYSFS_ROOT=${TREES}/${tree} ${ENVIRONMENT} ${ARGN}
        ${TREES}/answers.tsv ${tree})
  endforeach()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(STEP STREQUAL "declarations")
  need(${PYTHON})
  include(${here}/../../src/export/exports.cmake)
  set(names ${QUORIL_EXPORTS} ${QUORIL_FNGETSVID_EXPORT_x86} ${QUORIL_FNGETSVID_EXPORT_x64})
  list(JOIN names " " names)
  run(${PYTHON} ${here}/declarations.py ${HEADER} ${BINDINGS} ${names})
elseif(STEP STREQUAL "python")
  need(${PYTHON})
  if(NOT EXISTS "${WHEEL}")
    message(FATAL_ERROR "no wheel ${WHEEL}: `make dist` builds it with Debian's "
                        "python3-setuptools and python3-wheel (install-deps' bindings group)")
  endif()
  run(${PYTHON} -m venv venv)
  run(venv/bin/python -m pip install --quiet --no-index --no-cache-dir --disable-pip-version-check
      ${WHEEL})
  run_over_trees(venv/bin/python ${here}/quoril_test.py)
elseif(STEP STREQUAL "pascal")
  need(fpc)
  run(fpc -v0 -Sew -FU${WORK} -Fu${BINDINGS}/pascal -Fl${LIBRARY_DIR} -o${WORK}/quoril_test
      ${here}/quoril_test.pas)
  set(ENVIRONMENT LD_LIBRARY_PATH=${LIBRARY_DIR})
  run_over_trees(${WORK}/quoril_test)
else()
  message(FATAL_ERROR "unknown step ${STEP}")
endif()
