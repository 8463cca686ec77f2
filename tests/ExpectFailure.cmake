# Runs COMMAND (a ;-list) and passes only when it exits non-zero and its
# output matches REGEX. With TIMEOUT (seconds), a COMMAND still running then
# is ended, which fails.
if(NOT TIMEOUT)
  set(TIMEOUT 86400)
endif()
execute_process(COMMAND ${COMMAND} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc
                TIMEOUT ${TIMEOUT})
if(rc EQUAL 0 OR rc MATCHES "timeout")
  message(FATAL_ERROR "expected a failure, got exit code 0: ${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${REGEX}")
  message(FATAL_ERROR "output does not match '${REGEX}': ${out}${err}")
endif()
