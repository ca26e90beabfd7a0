# SPDX-License-Identifier: MIT
# Unpacks the kit's zip into a fresh folder, as a user would: -DZIP=<zip> -DDESTINATION=<folder>
file(REMOVE_RECURSE ${DESTINATION})
file(MAKE_DIRECTORY ${DESTINATION})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${DESTINATION}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
