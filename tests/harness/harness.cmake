# SPDX-License-Identifier: MIT
# quoril_harness_test(NAME MODULE [ARGUMENT...]): the check `MODULE.py ARGUMENT...` of the test
# harness (tests/harness) as one CTest test; it skips, saying why, with status 77.
include_guard(GLOBAL)
set(QUORIL_PYTHON /usr/bin/python3 CACHE FILEPATH "The Python that runs the tests' harness")
set(QUORIL_HARNESS ${CMAKE_CURRENT_LIST_DIR})
function(quoril_harness_test name module)
  add_test(NAME ${name} COMMAND ${QUORIL_PYTHON} ${QUORIL_HARNESS}/${module}.py ${ARGN})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
