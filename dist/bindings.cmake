# SPDX-License-Identifier: MIT
# The language bindings, included by the kit's project: their sources in the zip's bindings/
# folder, and beside the zip the packages that carry them with the libraries the build made:
#   Quoril.<version>.nupkg                           .NET: the assembly, both Windows DLLs, libquoril.so
#   quoril-<version>-py3-none-<platform>.whl         Python, one wheel for each library
# libquoril.so comes from the Linux release tree (`make dist` builds it), as the file itself
# under the name .NET and the Python package look for beside them.
set(QUORIL_RELEASE_DIR ${QUORIL_SOURCE_DIR}/build/release CACHE PATH "The Linux release build tree")
set(QUORIL_DEBIAN_PYTHON /usr/bin/python3 CACHE FILEPATH
    "The Python whose pip builds the wheels (Debian's, for its packages)")

# The Linux library must be built from the same header the DLLs were.
set(release_header ${QUORIL_RELEASE_DIR}/include/quoril.h)
set(QUORIL_LINUX_LIBRARY ${QUORIL_RELEASE_DIR}/libquoril.so.${QUORIL_VERSION})
if(NOT EXISTS ${release_header})
  message(FATAL_ERROR "${QUORIL_RELEASE_DIR} is not a configured release tree: "
                      "run `make dist` (or configure and build the release preset) first")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${release_header})
file(READ ${release_header} linux_header)
if(NOT linux_header STREQUAL kit_x64_header)
  message(FATAL_ERROR "the release tree generated another header than the Windows trees: "
                      "reconfigure it")
endif()

set(bindings ${QUORIL_SOURCE_DIR}/bindings)
set(python_sources pyproject.toml README.md build_backend/quoril_build.py quoril/__init__.py
    quoril/native.py quoril/py.typed)

# The zip: each binding's source, and the bindings' guide as bindings/README.md. The Python
# package builds from there with the kit's header (pip wheel bindings/python); the Pascal unit
# includes the exports' buffer sizes, written here from the header.
set(binding_files dotnet/Quoril.cs pascal/Quoril.pas)
foreach(source IN LISTS python_sources)
  list(APPEND binding_files python/${source})
endforeach()
foreach(file IN LISTS binding_files)
  configure_file(${bindings}/${file} ${kit}/bindings/${file} COPYONLY)
  list(APPEND kit_files bindings/${file})
endforeach()
# The buffer sizes the exports take, as the header defines them, one NAME=VALUE a line: the
# Pascal unit's include file here and the .NET assembly's constants (nuget.cmake) are written
# from it.
string(REGEX MATCHALL "#define QUORIL_[A-Z0-9_]+_(UNITS|BYTES) [0-9]+" header_sizes "${linux_header}")
list(JOIN header_sizes "\n" header_sizes)
string(REGEX REPLACE "#define ([A-Z0-9_]+) ([0-9]+)" "\\1=\\2" header_sizes "${header_sizes}")
string(REGEX REPLACE "([A-Z0-9_]+)=([0-9]+)" "  \\1 = \\2;" sizes "${header_sizes}")
file(CONFIGURE OUTPUT ${kit}/bindings/pascal/QuorilSizes.inc CONTENT
  "{ Written by the build from quoril.h: the buffer sizes the exports take. }\n${sizes}\n")
list(APPEND kit_files bindings/pascal/QuorilSizes.inc)
set(QUORIL_PASCAL_DIR ${kit}/bindings/pascal)
configure_file(${QUORIL_SOURCE_DIR}/docs/bindings.md ${kit}/bindings/README.md COPYONLY)
list(APPEND kit_files bindings/README.md)

# Every library of the packages: the platform's name for it in each package, and its file.
set(native_platforms win-x86 win-x64 linux-x64)
set(native_win-x86 quoril.dll ${QUORIL_WIN32_DIR}/quoril.dll)
set(native_win-x64 quoril.dll ${QUORIL_WIN64_DIR}/quoril.dll)
set(native_linux-x64 libquoril.so ${QUORIL_LINUX_LIBRARY})
set(wheel_win-x86 win32)
set(wheel_win-x64 win_amd64)
# The Linux library needs nothing newer than glibc 2.17 (the wheel's test holds it to its tag).
set(wheel_linux-x64 manylinux_2_17_x86_64.manylinux2014_x86_64)
set(QUORIL_WHEELS "")
foreach(platform IN LISTS native_platforms)
  set(wheel_file_${platform}
      ${CMAKE_CURRENT_BINARY_DIR}/quoril-${QUORIL_VERSION}-py3-none-${wheel_${platform}}.whl)
  list(APPEND QUORIL_WHEELS ${wheel_file_${platform}})
endforeach()

# The NuGet package, built by the .NET SDK.
include(nuget.cmake)

# The wheels, each built by pip from the package's folder as it is, with the release tree's
# header and one library. The backend writes them whole: the same sources and library make the
# same bytes, with the build's one time (QUORIL_SOURCE_DATE_EPOCH) on every file.
execute_process(COMMAND ${QUORIL_DEBIAN_PYTHON} -m pip --version
                RESULT_VARIABLE python_status OUTPUT_QUIET ERROR_QUIET)
if(NOT python_status EQUAL 0)
  # Their test fails and says so; the kit and the NuGet package are still made.
  message(WARNING "no wheels: ${QUORIL_DEBIAN_PYTHON} lacks pip "
                  "(python3-pip: cmake/install-deps.sh, group bindings)")
  return()
endif()
list(TRANSFORM python_sources PREPEND ${bindings}/python/ OUTPUT_VARIABLE sources)
foreach(platform IN LISTS native_platforms)
  list(GET native_${platform} 1 library)
  set(wheel ${wheel_file_${platform}})
  add_custom_command(OUTPUT ${wheel}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${wheel}
    COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1 SOURCE_DATE_EPOCH=${QUORIL_SOURCE_DATE_EPOCH}
            ${QUORIL_DEBIAN_PYTHON} -m pip wheel --quiet --no-build-isolation --no-index
            --no-deps --no-cache-dir --disable-pip-version-check --wheel-dir ${CMAKE_CURRENT_BINARY_DIR}
            --config-settings header=${release_header} --config-settings library=${library}
            --config-settings platform=${wheel_${platform}} ${bindings}/python
    DEPENDS ${library} ${sources} ${release_header} ${QUORIL_SOURCE_DIR}/LICENSE
    COMMENT "Bindings: quoril-${QUORIL_VERSION}-py3-none-${wheel_${platform}}.whl"
    VERBATIM)
endforeach()
add_custom_target(wheels ALL DEPENDS ${QUORIL_WHEELS})
