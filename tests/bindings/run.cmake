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
elseif(STEP STREQUAL "dotnet")
  need(mcs mono)
  run(${CMAKE_COMMAND} -E tar xf ${NUPKG})
  # The package compiles its source into the project and carries every library.
  file(READ ${WORK}/Quoril.nuspec nuspec)
  if(NOT nuspec MATCHES "<files include=\"cs/any/Quoril.cs\" buildAction=\"Compile\" />" OR
     NOT EXISTS ${WORK}/runtimes/win-x86/native/quoril.dll OR
     NOT EXISTS ${WORK}/runtimes/win-x64/native/quoril.dll)
    message(FATAL_ERROR "${NUPKG} lacks the source's contentFiles entry or a Windows DLL")
  endif()
  run(mcs -langversion:7.2 -warnaserror+ -nologo -out:quoril_test.exe ${here}/quoril_test.cs
      contentFiles/cs/any/Quoril.cs)
  file(COPY ${WORK}/runtimes/linux-x64/native/libquoril.so DESTINATION ${WORK})
  run_over_trees(mono quoril_test.exe)
else()
  message(FATAL_ERROR "unknown step ${STEP}")
endif()
