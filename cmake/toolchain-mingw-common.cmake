# SPDX-License-Identifier: MIT
# Shared by every MinGW-w64 toolchain file: the target, the search paths, the compilers and Wine
# as the emulator that runs the built executables (tests included), in the prefix of the
# target's architecture, or skips them saying where they run instead (tests/harness/windows.py). The including file sets:
#   quoril_mingw_arch     i686 or x86_64
#   quoril_mingw_threads  win32 (the product: no threading library, so the DLL's import table
#                         names only Windows system DLLs) or posix (the tests: GoogleTest needs
#                         std::mutex, which only the posix thread model has)
set(CMAKE_SYSTEM_NAME Windows)
set(triple ${quoril_mingw_arch}-w64-mingw32)
if(quoril_mingw_arch STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(wine_flavour --win64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
  set(wine_flavour --win32)
endif()
set(CMAKE_C_COMPILER ${triple}-gcc-${quoril_mingw_threads})
set(CMAKE_CXX_COMPILER ${triple}-g++-${quoril_mingw_threads})
set(CMAKE_ASM_COMPILER ${triple}-gcc-${quoril_mingw_threads})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/windows.py
                                  ${wine_flavour})
