# The wine prefix that the tests of a Windows build share (a CTest fixture):
#   cmake -DACTION=setup -DWINE=... -DARCH=win32|win64 -DTIMEOUT=S -P WinePrefix.cmake
#   cmake -DACTION=cleanup -DWINE=... -P WinePrefix.cmake
# with WINEPREFIX in the environment. setup makes the prefix when it is
# missing (wineboot may take TIMEOUT seconds, the server then one minute)
# and checks its bitness; cleanup ends the prefix's wine server.
set(prefix "$ENV{WINEPREFIX}")
get_filename_component(wineserver "${WINE}" DIRECTORY)
set(wineserver "${wineserver}/wineserver")
if(ACTION STREQUAL "cleanup")
  # Ends the server, and waits until it is gone: a wine started later in
  # this prefix must not meet a server on its way out.
  execute_process(COMMAND "${wineserver}" -k TIMEOUT 30 OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND "${wineserver}" -w TIMEOUT 30 OUTPUT_QUIET ERROR_QUIET)
  return()
endif()
if(NOT TIMEOUT MATCHES "^[0-9]+$")
  message(FATAL_ERROR "setup needs -DTIMEOUT=SECONDS, the time wineboot may take")
endif()
if(NOT EXISTS "${prefix}/system.reg")
  execute_process(COMMAND "${WINE}" wineboot -i RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT ${TIMEOUT})
  if(NOT rc EQUAL 0)
    if("${rc}${out}" MATCHES "Exec format error")
      message(FATAL_ERROR "${WINE} cannot start: this kernel runs no i386 programs. "
              "As root, scripts/emulate-i386.sh start DIR runs them under qemu-user "
              "(scripts/test.sh does so itself).")
    endif()
    message(FATAL_ERROR "wineboot failed (${rc}): ${out}")
  endif()
  # The registry is on disk once the server is gone.
  execute_process(COMMAND "${wineserver}" -w TIMEOUT 60 RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the wine server of ${prefix} did not end: ${rc}")
  endif()
endif()
file(STRINGS "${prefix}/system.reg" arch REGEX "^#arch=")
if(NOT arch STREQUAL "#arch=${ARCH}")
  message(FATAL_ERROR "${prefix} is not a ${ARCH} prefix ('${arch}'); remove it")
endif()
