# SPDX-License-Identifier: MIT
# The language bindings, included by the kit's project: their sources in the zip's bindings/
# folder, and beside the zip the packages that carry them with the libraries the build made:
#   Quoril.<version>.nupkg                           .NET: the assembly, both Windows DLLs, libquoril.so
#   quoril-<version>-py3-none-<platform>.whl         Python, one wheel for each library
# libquoril.so comes from the Linux release tree (`make dist` builds it), as the file itself
# under the name .NET and the Python package look for beside them.
set(QUORIL_RELEASE_DIR ${QUORIL_SOURCE_DIR}/build/release CACHE PATH "The Linux release build tree")
set(QUORIL_DEBIAN_PYTHON /usr/bin/python3 CACHE FILEPATH
    "The Python whose setuptools and wheel build the wheels (Debian's, for its packages)")

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
set(python_sources __init__.py native.py)

# The zip: each binding's source, and the bindings' guide as bindings/README.md.
set(binding_files dotnet/Quoril.cs pascal/Quoril.pas)
foreach(source IN LISTS python_sources)
  list(APPEND binding_files python/quoril/${source})
endforeach()
foreach(file IN LISTS binding_files)
  configure_file(${bindings}/${file} ${kit}/bindings/${file} COPYONLY)
  list(APPEND kit_files bindings/${file})
endforeach()
configure_file(${QUORIL_SOURCE_DIR}/docs/bindings.md ${kit}/bindings/README.md COPYONLY)
list(APPEND kit_files bindings/README.md)

# Every library of the packages: the platform's name for it in each package, and its file.
set(native_platforms win-x86 win-x64 linux-x64)
set(native_win-x86 quoril.dll ${QUORIL_WIN32_DIR}/quoril.dll)
set(native_win-x64 quoril.dll ${QUORIL_WIN64_DIR}/quoril.dll)
set(native_linux-x64 libquoril.so ${QUORIL_LINUX_LIBRARY})
set(wheel_win-x86 win32)
set(wheel_win-x64 win_amd64)
set(wheel_linux-x64 linux_x86_64)
set(QUORIL_WHEELS "")
foreach(platform IN LISTS native_platforms)
  set(wheel_file_${platform}
      ${CMAKE_CURRENT_BINARY_DIR}/quoril-${QUORIL_VERSION}-py3-none-${wheel_${platform}}.whl)
  list(APPEND QUORIL_WHEELS ${wheel_file_${platform}})
endforeach()

# The NuGet package, built by the .NET SDK.
include(nuget.cmake)

# The wheels, each built by setuptools and wheel in a fresh folder of its own from the package's
# sources and its one library. The files' times in them are the zip's fixed time.
execute_process(COMMAND ${QUORIL_DEBIAN_PYTHON} -c "import setuptools, wheel"
                RESULT_VARIABLE python_status OUTPUT_QUIET ERROR_QUIET)
if(NOT python_status EQUAL 0)
  # Their test fails and says so; the kit and the NuGet package are still made.
  message(WARNING "no wheels: ${QUORIL_DEBIAN_PYTHON} lacks setuptools or wheel "
                  "(python3-setuptools, python3-wheel: cmake/install-deps.sh, group bindings)")
  return()
endif()
foreach(platform IN LISTS native_platforms)
  list(GET native_${platform} 0 name)
  list(GET native_${platform} 1 library)
  set(wheel_stage ${CMAKE_CURRENT_BINARY_DIR}/wheels/${platform})
  set(wheel ${wheel_file_${platform}})
  list(TRANSFORM python_sources PREPEND ${bindings}/python/quoril/ OUTPUT_VARIABLE sources)
  add_custom_command(OUTPUT ${wheel}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${wheel_stage} ${wheel}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${wheel_stage}/quoril
    COMMAND ${CMAKE_COMMAND} -E copy ${bindings}/python/setup.py ${QUORIL_SOURCE_DIR}/LICENSE ${wheel_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${sources} ${wheel_stage}/quoril
    COMMAND ${CMAKE_COMMAND} -E copy ${library} ${wheel_stage}/quoril/${name}
    COMMAND ${CMAKE_COMMAND} -E chdir ${wheel_stage}
            ${CMAKE_COMMAND} -E env QUORIL_VERSION=${QUORIL_VERSION} SOURCE_DATE_EPOCH=946684800
            ${QUORIL_DEBIAN_PYTHON} setup.py -q bdist_wheel --python-tag py3
            --plat-name ${wheel_${platform}} --dist-dir ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS ${library} ${sources} ${bindings}/python/setup.py ${QUORIL_SOURCE_DIR}/LICENSE
    COMMENT "Bindings: quoril-${QUORIL_VERSION}-py3-none-${wheel_${platform}}.whl"
    VERBATIM)
endforeach()
add_custom_target(wheels ALL DEPENDS ${QUORIL_WHEELS})
