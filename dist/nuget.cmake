# SPDX-License-Identifier: MIT
# The NuGet package Quoril.<version>.nupkg, included by bindings.cmake: bindings/dotnet/Quoril.csproj
# packed by the .NET SDK with both Windows DLLs and libquoril.so (see native_<platform> there).
# Without `dotnet` the rest of the kit is still made; QUORIL_NUPKG is then empty and the package's
# tests say why they skip.
find_program(QUORIL_DOTNET NAMES dotnet)
set(QUORIL_NUPKG "")
if(NOT QUORIL_DOTNET)
  message(NOTICE "No NuGet package: Quoril.${QUORIL_VERSION}.nupkg needs the .NET SDK (dotnet)")
  return()
endif()

# The SDK's own tasks (package validation among them) split the paths they are given at commas.
if(CMAKE_CURRENT_BINARY_DIR MATCHES "," OR QUORIL_SOURCE_DIR MATCHES ",")
  message(NOTICE "No NuGet package: the .NET SDK splits paths at commas, and "
                 "${CMAKE_CURRENT_BINARY_DIR} or ${QUORIL_SOURCE_DIR} has one")
  return()
endif()

set(nuget_work ${CMAKE_CURRENT_BINARY_DIR}/nuget)
set(QUORIL_NUPKG ${CMAKE_CURRENT_BINARY_DIR}/Quoril.${QUORIL_VERSION}.nupkg)
# The environment of every dotnet command of the package and its tests: the restored packages in
# the build tree, not in the user's ~/.nuget, and no first-run chatter.
set(QUORIL_DOTNET_ENVIRONMENT DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1
    DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1 NUGET_PACKAGES=${nuget_work}/packages)

# The buffer sizes the exports take, as the header defines them, for the assembly.
string(REGEX REPLACE "([A-Z0-9_]+)=([0-9]+)" "        internal const int \\1 = \\2;" sizes
       "${header_sizes}")
string(CONCAT sizes_source "// SPDX-License-Identifier: MIT\n// Written by dist/nuget.cmake from quoril.h.\n"
       "namespace Quoril\n{\n    internal static class Sizes\n    {\n${sizes}\n")
string(APPEND sizes_source "    }\n}\n")
set(sizes_file ${nuget_work}/generated/Sizes.g.cs)
quoril_write_if_changed(${sizes_file} "${sizes_source}")

set(project ${bindings}/dotnet)
set(project_files Quoril.csproj Quoril.cs Quoril.targets PublicAPI.Shipped.txt PublicAPI.Unshipped.txt)
list(TRANSFORM project_files PREPEND ${project}/)
list(GET native_win-x86 1 win32_dll)
list(GET native_win-x64 1 win64_dll)
# The same commit gives the same package's bytes: the assembly names neither the build's folders
# (--artifacts-path, in the build tree) nor the sources' (the project's PathMap), and NuGet gives
# every entry of the zip the build's one time (QUORIL_SOURCE_DATE_EPOCH, the kit's project).
# NuGet takes a package path for a folder unless it ends in the file's own extension: the Linux
# library goes in under the name it has in the package.
set(nuget_linux_library ${nuget_work}/linux-x64/libquoril.so)
add_custom_command(OUTPUT ${QUORIL_NUPKG}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QUORIL_NUPKG}
  COMMAND ${CMAKE_COMMAND} -E copy ${QUORIL_LINUX_LIBRARY} ${nuget_linux_library}
  COMMAND ${CMAKE_COMMAND} -E env ${QUORIL_DOTNET_ENVIRONMENT}
          SOURCE_DATE_EPOCH=${QUORIL_SOURCE_DATE_EPOCH} ${QUORIL_DOTNET} pack ${project}/Quoril.csproj --nologo -v:q -c Release
          --artifacts-path ${nuget_work}/artifacts -o ${CMAKE_CURRENT_BINARY_DIR}
          -p:Version=${QUORIL_VERSION} -p:QuorilSizes=${sizes_file}
          -p:QuorilWin32Dll=${win32_dll} -p:QuorilWin64Dll=${win64_dll}
          -p:QuorilLinuxLibrary=${nuget_linux_library} -p:SOURCE_DATE_EPOCH=${QUORIL_SOURCE_DATE_EPOCH}
  DEPENDS ${project_files} ${sizes_file} ${QUORIL_SOURCE_DIR}/docs/bindings.md
          ${win32_dll} ${win64_dll} ${QUORIL_LINUX_LIBRARY}
  COMMENT "Bindings: Quoril.${QUORIL_VERSION}.nupkg (dotnet pack)"
  VERBATIM)
add_custom_target(nupkg ALL DEPENDS ${QUORIL_NUPKG})
