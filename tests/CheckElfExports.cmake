# Fails unless the native module defines exactly the two interface functions
# among its dynamic symbols.
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
if(NOT names STREQUAL "ContentGetSupportedField;ContentGetValue")
  message(FATAL_ERROR "module exports [${names}], expected exactly ContentGetSupportedField and ContentGetValue")
endif()
message(STATUS "exports: ${names}")
