# SPDX-License-Identifier: MIT
# The one time every artefact of a build carries (PE time stamps, the times of the zip's
# entries): SOURCE_DATE_EPOCH where the builder sets it, otherwise the time of the commit the
# source tree is checked out at, otherwise (a tree without its history) the time of the top
# CMakeLists.txt, which an unpacked source archive carries. Never the time of the build: the same
# commit then builds the same bytes on any machine, on any day.
#   quoril_source_date_epoch(VAR SOURCE_DIR): VAR = seconds since 1970-01-01 00:00 UTC
include_guard(GLOBAL)

function(quoril_source_date_epoch out_var source_dir)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    set(origin "SOURCE_DATE_EPOCH")
  else()
    execute_process(COMMAND git log -1 --format=%ct
                    WORKING_DIRECTORY ${source_dir}
                    RESULT_VARIABLE status OUTPUT_VARIABLE epoch ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(origin "the commit")
    if(NOT status EQUAL 0 OR epoch STREQUAL "")
      file(TIMESTAMP ${source_dir}/CMakeLists.txt epoch "%s" UTC)
      set(origin "${source_dir}/CMakeLists.txt")
    endif()
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "the build time from ${origin} is not a count of seconds: '${epoch}'")
  endif()
  set(${out_var} ${epoch} PARENT_SCOPE)
endfunction()
