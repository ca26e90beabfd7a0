# SPDX-License-Identifier: MIT
# The zip holds exactly the promised files under one top folder, and its checksum file is one
# that `sha256sum -c` accepts beside it.
#   cmake -DZIP=<zip> -DKIT_NAME=<top folder> -DSHA256SUM=<sha256sum> -P contents.cmake
set(expected
  LICENSE
  README.md
  bin/x64/quoril-info.exe
  bin/x64/quoril.dll
  bin/x86/quoril-info.exe
  bin/x86/quoril.dll
  bindings/README.md
  bindings/dotnet/Quoril.cs
  bindings/pascal/Quoril.pas
  bindings/pascal/QuorilSizes.inc
  bindings/python/README.md
  bindings/python/build_backend/quoril_build.py
  bindings/python/pyproject.toml
  bindings/python/quoril/__init__.py
  bindings/python/quoril/native.py
  bindings/python/quoril/py.typed
  include/quoril.h
  lib/cmake/Quoril/QuorilConfig.cmake
  lib/cmake/Quoril/QuorilConfigVersion.cmake
  lib/x64/libquoril.dll.a
  lib/x64/quoril.lib
  lib/x86/libquoril.dll.a
  lib/x86/quoril.lib
  quoril-info.schema.json)
list(TRANSFORM expected PREPEND ${KIT_NAME}/)

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP}
  RESULT_VARIABLE status OUTPUT_VARIABLE listing)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${ZIP}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" members "${listing}")
# Folders may be listed as members of their own; only files are compared.
list(FILTER members EXCLUDE REGEX "/$")
list(SORT members)
if(NOT members STREQUAL expected)
  string(REPLACE ";" "\n  " members "${members}")
  string(REPLACE ";" "\n  " expected "${expected}")
  message(FATAL_ERROR "${ZIP} holds\n  ${members}\ninstead of\n  ${expected}")
endif()

get_filename_component(folder ${ZIP} DIRECTORY)
get_filename_component(name ${ZIP} NAME)
file(READ ${ZIP}.sha256 line)
if(NOT line MATCHES "^[0-9a-f]+  ${name}\n$")
  message(FATAL_ERROR "${ZIP}.sha256 is not one line \"<hash>  ${name}\": ${line}")
endif()
execute_process(COMMAND ${SHA256SUM} -c ${name}.sha256 WORKING_DIRECTORY ${folder}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "sha256sum -c ${name}.sha256 failed")
endif()
