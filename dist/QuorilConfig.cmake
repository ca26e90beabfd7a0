# SPDX-License-Identifier: MIT
# Quoril for Windows programs: find_package(Quoril CONFIG) with this kit's folder (the one that
# holds bin/, include/ and lib/) in CMAKE_PREFIX_PATH, or Quoril_DIR set to this file's folder.
#
#   Quoril::quoril   quoril.dll for the architecture being built (x86 or x64), with the import
#                    library that the compiler's linker reads (quoril.lib for MSVC and for clang
#                    targeting the MSVC ABI, libquoril.dll.a for MinGW) and the header's folder.
#                    $<TARGET_FILE:Quoril::quoril> is the DLL, to be copied beside the program.
#   Quoril::headers  the header's folder alone, for hosts that load quoril.dll at run time
#                    (LoadLibrary and GetProcAddress) and link nothing.
#
# The package version file has already refused anything but a 32-bit or 64-bit Windows build.

get_filename_component(_quoril_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_quoril_arch x64)
else()
  set(_quoril_arch x86)
endif()

# The linker is chosen by the compiler of whichever language the project enabled: MSVC's own,
# and clang or Intel's compiler in MSVC mode, link quoril.lib; GCC and clang for MinGW link
# libquoril.dll.a.
set(_quoril_msvc_abi OFF)
get_property(_quoril_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
foreach(_quoril_language IN ITEMS CXX C)
  if(_quoril_language IN_LIST _quoril_languages)
    if(CMAKE_${_quoril_language}_COMPILER_ID STREQUAL "MSVC" OR
       CMAKE_${_quoril_language}_SIMULATE_ID STREQUAL "MSVC")
      set(_quoril_msvc_abi ON)
    endif()
    break()
  endif()
endforeach()
if(_quoril_msvc_abi)
  set(_quoril_implib "${_quoril_prefix}/lib/${_quoril_arch}/quoril.lib")
else()
  set(_quoril_implib "${_quoril_prefix}/lib/${_quoril_arch}/libquoril.dll.a")
endif()

foreach(_quoril_file IN ITEMS "${_quoril_prefix}/include/quoril.h" "${_quoril_implib}"
                              "${_quoril_prefix}/bin/${_quoril_arch}/quoril.dll")
  if(NOT EXISTS "${_quoril_file}")
    set(Quoril_FOUND FALSE)
    set(Quoril_NOT_FOUND_MESSAGE "the Quoril kit in ${_quoril_prefix} lacks ${_quoril_file}")
    return()
  endif()
endforeach()

if(NOT TARGET Quoril::headers)
  add_library(Quoril::headers INTERFACE IMPORTED)
  set_target_properties(Quoril::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_quoril_prefix}/include")
endif()
if(NOT TARGET Quoril::quoril)
  add_library(Quoril::quoril SHARED IMPORTED)
  set_target_properties(Quoril::quoril PROPERTIES
    IMPORTED_LOCATION "${_quoril_prefix}/bin/${_quoril_arch}/quoril.dll"
    IMPORTED_IMPLIB "${_quoril_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_quoril_prefix}/include")
endif()
set(Quoril_FOUND TRUE)

unset(_quoril_prefix)
unset(_quoril_arch)
unset(_quoril_msvc_abi)
unset(_quoril_languages)
unset(_quoril_language)
unset(_quoril_implib)
unset(_quoril_file)
