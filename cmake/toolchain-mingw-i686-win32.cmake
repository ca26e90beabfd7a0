# SPDX-License-Identifier: MIT
# The product's compiler for 32-bit Windows (see toolchain-mingw-common.cmake).
set(quoril_mingw_arch i686)
set(quoril_mingw_threads win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
