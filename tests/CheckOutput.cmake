# Runs COMMAND (a ;-list) and passes only when it exits 0 and its output
# holds every text of CONTAINS, and, for each GoogleTest name in MUST_RUN,
# the line saying that this test ran and passed (a skipped test fails).
# With TIMEOUT (seconds), a COMMAND still running then is ended, and what it
# wrote so far is shown.
if(NOT TIMEOUT)
  set(TIMEOUT 86400)
endif()
execute_process(COMMAND ${COMMAND} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc
                TIMEOUT ${TIMEOUT})
message("${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "exit code ${rc}: ${COMMAND}")
endif()
foreach(name IN LISTS MUST_RUN)
  list(APPEND CONTAINS "[       OK ] ${name} ")
endforeach()
foreach(text IN LISTS CONTAINS)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the output lacks '${text}'")
  endif()
endforeach()
