# SPDX-License-Identifier: MIT
# What find_package(Quoril <version>) takes the kit for: its own major version no newer than the
# kit is compatible, another major or a newer version is not, and only 32-bit and 64-bit Windows
# builds may take it at all.
#   cmake -DFILE=<QuorilConfigVersion.cmake> -DVERSION=<the kit's version> -P version_file.cmake
cmake_minimum_required(VERSION 3.25)
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)" found ${VERSION})
math(EXPR next_major "${CMAKE_MATCH_1} + 1")
math(EXPR next_minor "${CMAKE_MATCH_2} + 1")
foreach(case "1;8;${CMAKE_MATCH_1};compatible" "1;4;${CMAKE_MATCH_0};compatible"
             "1;8;${next_major};incompatible" "1;4;${CMAKE_MATCH_1}.${next_minor};incompatible"
             ";8;${CMAKE_MATCH_1};unsuitable" "1;2;${CMAKE_MATCH_1};unsuitable")
  list(GET case 0 WIN32)
  list(GET case 1 CMAKE_SIZEOF_VOID_P)
  list(GET case 2 PACKAGE_FIND_VERSION)
  list(GET case 3 expected)
  string(REGEX MATCH "^[0-9]+" PACKAGE_FIND_VERSION_MAJOR ${PACKAGE_FIND_VERSION})
  unset(PACKAGE_VERSION_UNSUITABLE)
  unset(PACKAGE_VERSION_COMPATIBLE)
  include(${FILE})
  set(answer incompatible)
  if(PACKAGE_VERSION_UNSUITABLE)
    set(answer unsuitable)
  elseif(PACKAGE_VERSION_COMPATIBLE)
    set(answer compatible)
  endif()
  if(NOT answer STREQUAL expected)
    message(SEND_ERROR "${PACKAGE_FIND_VERSION} (WIN32 '${WIN32}', ${CMAKE_SIZEOF_VOID_P}-byte "
                       "pointers): ${answer}, expected ${expected}")
  endif()
endforeach()
