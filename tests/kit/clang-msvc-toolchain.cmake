# SPDX-License-Identifier: MIT
# clang compiling for the MSVC ABI (QUORIL_MSVC_TARGET: x86_64-pc-windows-msvc or
# i686-pc-windows-msvc) and linking with lld-link, with no MSVC libraries on the machine: the
# compiler checks build static libraries only, and no standard library is linked by default.
set(CMAKE_SYSTEM_NAME Windows)
find_program(CMAKE_C_COMPILER NAMES clang-14 clang REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++-14 clang++ REQUIRED)
find_program(CMAKE_LINKER NAMES lld-link-14 lld-link REQUIRED)
find_program(CMAKE_AR NAMES llvm-ar-14 llvm-ar REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${QUORIL_MSVC_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${QUORIL_MSVC_TARGET})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORIL_MSVC_TARGET)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
