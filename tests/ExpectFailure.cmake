# Runs COMMAND (a ;-list) and passes only when it exits non-zero and its
# output matches REGEX.
execute_process(COMMAND ${COMMAND} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(rc EQUAL 0)
  message(FATAL_ERROR "expected a failure, got exit code 0: ${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${REGEX}")
  message(FATAL_ERROR "output does not match '${REGEX}': ${out}${err}")
endif()
