# SPDX-License-Identifier: MIT
# The drive channel of the NT family against real drives: in the emulated PC, where the Wine
# prefix's D: and E: are its two optical drives with their raw devices (QUORIL_WINE_CDROMS), the
# capabilities quoril-info.exe reads through SCSI pass-through, the DLL's own channel, must equal
# the decoding of what each drive answers when asked directly through the Linux SCSI interface,
# and hasBDOdd must answer 0 (the emulated drives list no Blu-ray profile).
#
#   cmake -DWINE_RUN=<wine-run.sh> -DWINE_ARCH=--win32|--win64 -DTOOL=<quoril-info.exe>
#         -DDECODER=<a native quoril-info> -DASK_DRIVE=<ask_drive.sh> -DWORK=<folder>
#         -P drives_pass_through.cmake
cmake_minimum_required(VERSION 3.25)

function(fail)
  string(JOIN "" problem ${ARGN})
  message(FATAL_ERROR "FAILED: ${problem}")
endfunction()
if(NOT "$ENV{QUORIL_GUEST}" STREQUAL "1" OR NOT "$ENV{QUORIL_WINE_CDROMS}" STREQUAL "/dev/sr0 /dev/sr1")
  fail("this test asks real drives: it runs only in the emulated PC (make test-guest)")
endif()
if(NOT EXISTS "${DECODER}")
  fail("${DECODER} has not been built (make test-release builds it)")
endif()
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND ${WINE_RUN} ${WINE_ARCH} ${TOOL} --json
  RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  fail("quoril-info.exe --json exited with ${status}: ${errors}")
endif()
message(STATUS "quoril-info.exe --json:\n${report}")
include(${CMAKE_CURRENT_LIST_DIR}/../tool/report_schema.cmake)
file(WRITE ${WORK}/report.json "${report}")
check_report_schema(${WORK}/report.json)

string(JSON bluray GET "${report}" hasBDOdd)
if(NOT bluray EQUAL 0)
  fail("hasBDOdd answered ${bluray}, but no drive lists a Blu-ray profile")
endif()
string(JSON count LENGTH "${report}" optical_drives)
if(NOT count EQUAL 2)
  fail("${count} optical drives probed, not D: and E:")
endif()

foreach(i RANGE 1)
  string(JSON letter GET "${report}" optical_drives ${i} letter)
  string(SUBSTRING "DE" ${i} 1 expected_letter)
  if(NOT letter STREQUAL "${expected_letter}:")
    fail("optical drive ${i} is ${letter}, not ${expected_letter}:")
  endif()
  string(JSON low ERROR_VARIABLE problem GET "${report}" optical_drives ${i} capsLow)
  if(problem)
    string(JSON why ERROR_VARIABLE ignored GET "${report}" optical_drives ${i} problem)
    fail("${letter} was not probed through pass-through: ${why}")
  endif()
  string(JSON high GET "${report}" optical_drives ${i} capsHigh)

  set(answer ${WORK}/sr${i}.config)
  execute_process(COMMAND sh ${ASK_DRIVE} /dev/sr${i} ${answer}
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    fail("/dev/sr${i} could not be asked directly: ${errors}")
  endif()
  execute_process(COMMAND ${DECODER} decode-config ${answer}
    RESULT_VARIABLE status OUTPUT_VARIABLE decoded ERROR_VARIABLE errors)
  string(REGEX MATCH "^[^\n]*" decoded "${decoded}")
  if(NOT status EQUAL 0 OR NOT decoded STREQUAL "capsLow=${low} capsHigh=${high}")
    fail("${letter} through pass-through: capsLow=${low} capsHigh=${high}; /dev/sr${i} asked "
         "directly: ${decoded}${errors}")
  endif()
  message(STATUS "${letter} (/dev/sr${i}): capsLow=${low} capsHigh=${high}, as the drive answers")
endforeach()
