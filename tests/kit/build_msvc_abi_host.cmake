# SPDX-License-Identifier: MIT
# Builds the MSVC-ABI host as an MSVC user of the kit would, with no MSVC on the machine: clang
# for the MSVC ABI and lld-link, configured with CMake and find_package(Quoril), which must pick
# quoril.lib. KERNEL32's import library is made here with llvm-dlltool from a small definition.
# The program must import exactly what quoril.dll exports, and otherwise only from KERNEL32.
#   cmake -DLLVM_DLLTOOL=... -DREADOBJ=... -DTARGET=<clang target> -DARCH=x86|x64
#         -DPREFIX=<kit folder> -DSOURCE=<project> -DTOOLCHAIN=<clang toolchain file>
#         -DKERNEL32_DEF=<def> -DBINARY=<build folder> -P build_msvc_abi_host.cmake
set(kernel32 ${BINARY}.kernel32)
file(REMOVE_RECURSE ${kernel32})
file(MAKE_DIRECTORY ${kernel32})
file(READ ${KERNEL32_DEF} def)
if(ARCH STREQUAL "x86")
  set(machine i386)
  # The stdcall names are imported without their decoration.
  set(kill_at -k)
else()
  set(machine i386:x86-64)
  set(kill_at "")
  string(REGEX REPLACE "@[0-9]+" "" def "${def}")
endif()
file(WRITE ${kernel32}/kernel32.def "${def}")
execute_process(COMMAND ${LLVM_DLLTOOL} -m ${machine} ${kill_at} -d ${kernel32}/kernel32.def
                        -l ${kernel32}/kernel32.lib
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "llvm-dlltool could not make KERNEL32's import library")
endif()

set(CONFIGURE_ARGS -DQUORIL_MSVC_TARGET=${TARGET} -DKERNEL32_LIB=${kernel32}/kernel32.lib)
set(PROGRAM ${BINARY}/msvc_abi_host.exe)
set(DLL ${PREFIX}/bin/${ARCH}/quoril.dll)
set(EXPECT_IMPORTS all)
include(${CMAKE_CURRENT_LIST_DIR}/build_consumer.cmake)

kit_pe_imports(${READOBJ} ${PROGRAM} imports)
string(TOUPPER "${imports}" dlls)
list(SORT dlls)
if(NOT dlls STREQUAL "KERNEL32.DLL;QUORIL.DLL")
  message(FATAL_ERROR "msvc_abi_host.exe imports from ${imports}, not KERNEL32.dll and quoril.dll")
endif()
