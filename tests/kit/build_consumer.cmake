# SPDX-License-Identifier: MIT
# Configures and builds a CMake project against the unpacked kit, in a fresh build folder, as a
# user of the kit would: the kit's folder in CMAKE_PREFIX_PATH, find_package(Quoril) in the
# project. Warnings are errors.
#   cmake -DSOURCE=<project> -DBINARY=<build folder> -DTOOLCHAIN=<toolchain file>
#         -DPREFIX=<kit folder> [-DREADOBJ=<llvm-readobj> -DPROGRAM=<built exe> -DDLL=<kit DLL>
#         -DEXPECT_IMPORTS=all|none] -P build_consumer.cmake
# With PROGRAM, the built program's imports from quoril.dll are checked against the DLL's exports,
# and the quoril.dll beside it must be the kit's DLL. A script that includes this one may give
# more configure arguments in CONFIGURE_ARGS.
include(${CMAKE_CURRENT_LIST_DIR}/pe_names.cmake)

file(REMOVE_RECURSE ${BINARY})
set(warnings "-Wall -Wextra -Werror")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G Ninja --no-warn-unused-cli
          -DCMAKE_BUILD_TYPE=Release
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_PREFIX_PATH=${PREFIX}
          -DCMAKE_C_FLAGS=${warnings} -DCMAKE_CXX_FLAGS=${warnings} ${CONFIGURE_ARGS}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring ${SOURCE} against ${PREFIX} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building ${SOURCE} against ${PREFIX} failed")
endif()
if(PROGRAM)
  get_filename_component(program_dir ${PROGRAM} DIRECTORY)
  if(NOT EXISTS ${program_dir}/quoril.dll)
    message(FATAL_ERROR "the build did not put quoril.dll beside ${PROGRAM}")
  endif()
  file(SHA256 ${program_dir}/quoril.dll copied)
  file(SHA256 ${DLL} shipped)
  if(NOT copied STREQUAL shipped)
    message(FATAL_ERROR "the quoril.dll beside ${PROGRAM} is not ${DLL}")
  endif()
  kit_check_quoril_imports(${READOBJ} ${PROGRAM} ${DLL} ${EXPECT_IMPORTS})
endif()
