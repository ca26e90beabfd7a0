# SPDX-License-Identifier: MIT
# Where this machine runs Windows programs, decided once, when a Windows tree (or the kit's) is
# configured, from what the machine has:
#   here   under Wine on this machine;
#   guest  under Wine in the emulated PC (tests/vm/guest.sh): 32-bit programs where this kernel
#          runs no 32-bit programs or apt could not install 32-bit Wine here;
#   skip   nowhere: what they need is missing.
# A Wine that is installed but does not start is not a skip: its programs are run, and fail.
# Every Windows tree writes the decision for both architectures to wine.env in its build folder,
# which the scripts that run the tests read (cmake/run-windows-tests.sh and the like):
#   win32_place, win64_place   here, guest or skip
#   win32_reason, win64_reason why not here, or why skipped
#   win32_installable, ...     for a skip: yes when installing packages would let the tests run
#                              (a skip that CI does not accept), no when nothing would
#   win32_layer                the folder of 32-bit Wine the emulated PC puts over its root, or
#                              empty when 32-bit Wine is installed here
include_guard(GLOBAL)

set(quoril_wine_dir /usr/lib/wine)
set(quoril_wine32_layer ${CMAKE_CURRENT_LIST_DIR}/../build/wine32-layer)
cmake_path(NORMAL_PATH quoril_wine32_layer)

# The emulated PC needs QEMU, a kernel with its modules, and busybox.
function(quoril_guest_missing out_var)
  set(missing "")
  find_program(quoril_qemu qemu-system-x86_64)
  if(NOT quoril_qemu)
    list(APPEND missing qemu-system-x86_64)
  endif()
  if(NOT EXISTS /bin/busybox)
    list(APPEND missing busybox)
  endif()
  file(GLOB kernels /boot/vmlinuz-*)
  set(kernel_found FALSE)
  foreach(kernel IN LISTS kernels)
    string(REPLACE "/boot/vmlinuz-" "" version "${kernel}")
    if(EXISTS /lib/modules/${version}/modules.dep)
      set(kernel_found TRUE)
    endif()
  endforeach()
  if(NOT kernel_found)
    list(APPEND missing "a kernel in /boot with its modules")
  endif()
  set(${out_var} "${missing}" PARENT_SCOPE)
endfunction()

function(quoril_decide_wine)
  # 64-bit programs run here wherever 64-bit Wine is installed: every x86-64 kernel runs them.
  if(EXISTS ${quoril_wine_dir}/wine64)
    set(win64_place here)
    set(win64_reason "")
  else()
    set(win64_place skip)
    set(win64_reason "64-bit Wine is not installed (make deps as root installs it)")
  endif()
  set(win64_installable yes)

  execute_process(COMMAND sh ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/kernel-runs-32bit.sh
                          ${CMAKE_BINARY_DIR}
                  RESULT_VARIABLE kernel_runs_32bit OUTPUT_QUIET ERROR_QUIET)
  set(win32_layer "")
  set(win32_installable yes)
  if(kernel_runs_32bit EQUAL 0 AND EXISTS ${quoril_wine_dir}/wine)
    set(win32_place here)
    set(win32_reason "")
  else()
    if(NOT kernel_runs_32bit EQUAL 0)
      set(win32_reason "this kernel runs no 32-bit programs")
    else()
      set(win32_reason "apt could not install 32-bit Wine here")
    endif()
    quoril_guest_missing(guest_missing)
    if(NOT EXISTS ${quoril_wine_dir}/wine AND EXISTS ${quoril_wine32_layer}/.version)
      set(win32_layer ${quoril_wine32_layer})
    endif()
    if(guest_missing)
      list(JOIN guest_missing ", " guest_missing)
      set(win32_place skip)
      string(APPEND win32_reason
        ", and the emulated PC lacks ${guest_missing} (make deps as root installs it)")
    elseif(NOT EXISTS ${quoril_wine_dir}/wine AND NOT win32_layer)
      set(win32_place skip)
      string(APPEND win32_reason ", and 32-bit Wine could not be installed or downloaded for the "
                                 "emulated PC (make deps as root does it)")
    else()
      set(win32_place guest)
    endif()
  endif()

  set(env "# Where this machine runs Windows programs (cmake/QuorilWine.cmake).\n")
  foreach(arch win32 win64)
    foreach(field place reason installable)
      string(REPLACE "'" "" value "${${arch}_${field}}")
      string(APPEND env "${arch}_${field}='${value}'\n")
    endforeach()
  endforeach()
  string(APPEND env "win32_layer='${win32_layer}'\n")
  file(WRITE ${CMAKE_BINARY_DIR}/wine.env "${env}")
  foreach(arch win32 win64)
    if(NOT ${arch}_place STREQUAL "here")
      message(STATUS "${arch} programs run ${${arch}_place}: ${${arch}_reason}")
    endif()
  endforeach()
endfunction()

quoril_decide_wine()
