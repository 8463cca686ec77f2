# SOURCE_DATE_EPOCH, the date of everything that is packed: the variable's
# own value when it is a number, otherwise the time of the last commit or,
# outside a git checkout, the date of the top CMakeLists.txt. Included, this
# sets the environment variable; run as `cmake -P`, it also prints it.
get_filename_component(top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  execute_process(COMMAND git -C "${top}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP "${top}/CMakeLists.txt" epoch "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "$ENV{SOURCE_DATE_EPOCH}")
endif()
