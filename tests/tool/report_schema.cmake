# SPDX-License-Identifier: MIT
# check_report_schema(FILE): stops the script unless the JSON report in FILE holds to the
# report's schema, docs/quoril-info.schema.json, as python3-jsonschema judges it. Included by
# every script that checks a report quoril-info printed. Debian's own python3 runs the check,
# since that is the one the jsonschema package is installed for.
set(QUORIL_REPORT_SCHEMA_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_report_schema.py)

function(check_report_schema file)
  execute_process(COMMAND /usr/bin/python3 ${QUORIL_REPORT_SCHEMA_CHECK} ${file}
    RESULT_VARIABLE status OUTPUT_VARIABLE findings ERROR_VARIABLE findings)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the report does not hold to docs/quoril-info.schema.json:\n${findings}")
  endif()
endfunction()
