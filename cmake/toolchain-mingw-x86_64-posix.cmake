# The tests' compiler: GoogleTest needs std::mutex, which only the posix thread model has.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64-common.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_ASM_COMPILER x86_64-w64-mingw32-gcc-posix)
