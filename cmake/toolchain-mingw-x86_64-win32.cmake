# The product's compiler: the win32 thread model links no threading library, so the DLL's
# import table names only Windows system DLLs.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64-common.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_ASM_COMPILER x86_64-w64-mingw32-gcc-win32)
