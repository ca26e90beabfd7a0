# Builds msvc_abi_host.exe as an MSVC toolchain would, without one: clang compiles for the MSVC
# ABI, lld-link links against the kit's quoril.lib and a KERNEL32 import library made here, and
# nothing else (no C or C++ runtime, no default libraries). The program must import exactly what
# quoril.dll exports, and otherwise only from KERNEL32.
#   cmake -DCLANG=... -DLLD_LINK=... -DLLVM_DLLTOOL=... -DREADOBJ=... -DTARGET=<clang target>
#         -DARCH=x86|x64 -DKIT=<kit folder> -DSOURCE=<host source> -DKERNEL32_DEF=<def>
#         -DBINARY=<build folder> -P build_msvc_abi_host.cmake
include(${CMAKE_CURRENT_LIST_DIR}/pe_names.cmake)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "failed: ${shown}")
  endif()
endfunction()

file(REMOVE_RECURSE ${BINARY})
file(MAKE_DIRECTORY ${BINARY})

if(ARCH STREQUAL "x86")
  set(machine i386)
  # The stdcall names are imported without their decoration.
  set(kill_at -k)
  file(COPY_FILE ${KERNEL32_DEF} ${BINARY}/kernel32.def)
else()
  set(machine i386:x86-64)
  set(kill_at "")
  file(READ ${KERNEL32_DEF} def)
  string(REGEX REPLACE "@[0-9]+" "" def "${def}")
  file(WRITE ${BINARY}/kernel32.def "${def}")
endif()
run(${LLVM_DLLTOOL} -m ${machine} ${kill_at} -d ${BINARY}/kernel32.def -l ${BINARY}/kernel32.lib)

run(${CLANG} --target=${TARGET} -std=c++20 -O2 -ffreestanding -fno-builtin -fno-exceptions
    -fno-rtti -Wall -Wextra -Werror -I${KIT}/include -c ${SOURCE} -o ${BINARY}/msvc_abi_host.obj)
run(${LLD_LINK} /nologo /nodefaultlib /subsystem:console /entry:HostEntry
    /out:${BINARY}/msvc_abi_host.exe ${BINARY}/msvc_abi_host.obj ${KIT}/lib/${ARCH}/quoril.lib
    ${BINARY}/kernel32.lib)
file(COPY_FILE ${KIT}/bin/${ARCH}/quoril.dll ${BINARY}/quoril.dll)

kit_pe_imports(${READOBJ} ${BINARY}/msvc_abi_host.exe imports)
string(TOUPPER "${imports}" dlls)
list(SORT dlls)
if(NOT dlls STREQUAL "KERNEL32.DLL;QUORIL.DLL")
  message(FATAL_ERROR "msvc_abi_host.exe imports from ${imports}, not KERNEL32.dll and quoril.dll")
endif()
kit_check_quoril_imports(${READOBJ} ${BINARY}/msvc_abi_host.exe ${KIT}/bin/${ARCH}/quoril.dll all)
