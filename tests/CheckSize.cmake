# Fails when FILE has more than MAX_KIB KiB.
file(SIZE "${FILE}" size)
math(EXPR max "${MAX_KIB} * 1024")
math(EXPR kib "${size} / 1024")
if(size GREATER_EQUAL max)
  message(FATAL_ERROR "${FILE} has ${size} bytes, more than ${MAX_KIB} KiB")
endif()
message(STATUS "${FILE}: ${kib} KiB")
