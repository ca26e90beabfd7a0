# SPDX-License-Identifier: MIT
# What find_package(Quoril <version>) takes the kit for: its own major version no newer than the
# kit is compatible, another major or a newer version is not, and only a 32-bit or 64-bit Windows
# build may use it at all (any other build keeps looking elsewhere).
#   cmake -DFILE=<QuorilConfigVersion.cmake> -DVERSION=<the kit's version> -P version_file.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "." ";" parts ${VERSION})
list(GET parts 0 major)
list(GET parts 1 minor)
math(EXPR next_major "${major} + 1")
math(EXPR next_minor "${minor} + 1")

# expect(<WIN32> <pointer size> <requested version> <answer>)
set(failures "")
function(expect win32 pointer_size requested expected)
  set(WIN32 ${win32})
  set(CMAKE_SIZEOF_VOID_P ${pointer_size})
  set(PACKAGE_FIND_VERSION ${requested})
  string(REGEX MATCH "^[0-9]+" PACKAGE_FIND_VERSION_MAJOR ${requested})
  include(${FILE})
  if(PACKAGE_VERSION_UNSUITABLE)
    set(answer unsuitable)
  elseif(PACKAGE_VERSION_COMPATIBLE)
    set(answer compatible)
  else()
    set(answer incompatible)
  endif()
  if(NOT answer STREQUAL expected)
    set(failures "${failures}  ${requested} (WIN32 '${win32}', pointers of ${pointer_size} bytes): "
                 "${answer}, expected ${expected}\n" PARENT_SCOPE)
  endif()
endfunction()

expect(1 8 ${major} compatible)
expect(1 4 ${major}.${minor} compatible)
expect(1 8 ${next_major} incompatible)
expect(1 4 ${major}.${next_minor} incompatible)
expect("" 8 ${major} unsuitable)
expect(1 2 ${major} unsuitable)
if(failures)
  message(FATAL_ERROR "${FILE} answers\n${failures}")
endif()
