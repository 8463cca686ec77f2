# The tests of a Windows build, each program run under the wine of its
# bitness (CMAKE_CROSSCOMPILING_EMULATOR, from the toolchain file) in a
# prefix of this build's own: once in a single-byte code page (1252) and
# once in a double-byte one (932). MUST_RUN names the tests that the code
# page must not skip.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bits 64)
else()
  set(bits 32)
endif()
set(wine ${CMAKE_CROSSCOMPILING_EMULATOR})

# How long one program may run under wine: OMBRELS_WINE_LIMIT seconds, or
# when it is empty 300, and 900 where this kernel runs no i386 programs and
# the 32-bit wine runs under CPU emulation (qemu-user in binfmt_misc),
# several times slower: that is decided here, when the build is configured.
set(OMBRELS_WINE_LIMIT "" CACHE STRING
    "Seconds one program may run under wine (empty: 300, or 900 under CPU emulation)")
set(emulated OFF)
if(bits EQUAL 32)
  file(GLOB entries /proc/sys/fs/binfmt_misc/*)
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "/(status|register)$")
      file(READ "${entry}" text)
      if(text MATCHES "^enabled\n" AND text MATCHES "\ninterpreter [^\n]*(qemu-i386|i386-binfmt)")
        set(emulated ON)
      endif()
    endif()
  endforeach()
endif()
if(OMBRELS_WINE_LIMIT)
  set(limit ${OMBRELS_WINE_LIMIT})
elseif(emulated)
  set(limit 900)
else()
  set(limit 300)
endif()
if(NOT limit MATCHES "^[0-9]+$" OR limit LESS 120)
  message(FATAL_ERROR "OMBRELS_WINE_LIMIT is '${limit}': a number of seconds, at least 120")
endif()
# The script that runs a program ends it a little earlier than CTest would,
# so that what the program wrote until then is shown; the prefix's setup
# leaves a minute of that for the wine server to end. (The test command
# reads the limit back from the tests' TIMEOUT property.)
math(EXPR inner_limit "${limit} - 20")
math(EXPR boot_limit "${inner_limit} - 60")
message(STATUS "Tests under ${wine} (emulated: ${emulated}), at most ${limit} s each")

set(wine_env "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" WINEDEBUG=-all WINEARCH=win${bits}
    "WINEDLLOVERRIDES=mscoree,mshtml=")
add_test(NAME wine${bits}_prefix_setup
  COMMAND ${CMAKE_COMMAND} -DACTION=setup -DWINE=${wine} -DARCH=win${bits} -DTIMEOUT=${boot_limit}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/WinePrefix.cmake)
add_test(NAME wine${bits}_prefix_cleanup
  COMMAND ${CMAKE_COMMAND} -DACTION=cleanup -DWINE=${wine} -P ${CMAKE_CURRENT_SOURCE_DIR}/WinePrefix.cmake)
set_tests_properties(wine${bits}_prefix_setup PROPERTIES FIXTURES_SETUP wine${bits})
set_tests_properties(wine${bits}_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine${bits})
set_tests_properties(wine${bits}_prefix_setup wine${bits}_prefix_cleanup PROPERTIES
  ENVIRONMENT "${wine_env}" TIMEOUT ${limit} LABELS wine)

# The programs under wine share the prefix, and its registry, which most of
# them write: they take its lock, one at a time.
function(wine_properties name)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${wine_env}" FIXTURES_REQUIRED wine${bits}
    TIMEOUT ${limit} LABELS wine RESOURCE_LOCK wine${bits}_registry)
endfunction()

# wine_test(NAME LOCALE COMMAND... [MUST_RUN NAME...] [CONTAINS TEXT...]) :
# COMMAND under wine, in the build folder, passes when it exits 0 and its
# output holds what the lists ask.
function(wine_test name locale)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "COMMAND;MUST_RUN;CONTAINS")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} "-DCOMMAND=${wine};${arg_COMMAND}" "-DMUST_RUN=${arg_MUST_RUN}"
            "-DCONTAINS=${arg_CONTAINS}" -DTIMEOUT=${inner_limit} -P ${CMAKE_CURRENT_SOURCE_DIR}/CheckOutput.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  wine_properties(${name})
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT LC_ALL=${locale})
endfunction()

set(single_byte Win32Os.SingleByteCodePageBestFitAndDefault
    Win32Os.TranslationOutsideTheCodePageGetsBestFitOrDefault)
if(bits EQUAL 64)
  list(APPEND single_byte Win32Os.RegistryViewsOfThe64BitModule)
endif()
set(double_byte Win32Os.DoubleByteCodePageNeverCutsACharacter
    Win32Os.DirectoryChainWalksDoubleByteCharacters)
set(non_ascii ModuleTest.FindsANonAsciiNameInAUtf16Store)
# wdxquery.exe --explain against the module
set(explain ModuleTest.ExplainShowsTheRoadOfEachValue)

wine_test(wine${bits}_unit_cp1252 C.UTF-8
  COMMAND $<TARGET_FILE:ombrels_unit_tests> MUST_RUN ${single_byte})
wine_test(wine${bits}_unit_cp932 ja_JP.UTF-8
  COMMAND $<TARGET_FILE:ombrels_unit_tests> MUST_RUN ${double_byte})
wine_test(wine${bits}_module_cp1252 C.UTF-8 COMMAND $<TARGET_FILE:ombrels_module_tests>
  MUST_RUN ${non_ascii} ${explain} ModuleConcurrency.AnswersStayConsistentWhileFilesAreReplaced)
wine_test(wine${bits}_module_cp932 ja_JP.UTF-8
  COMMAND $<TARGET_FILE:ombrels_module_tests> --gtest_filter=ModuleTest.* MUST_RUN ${non_ascii})
wine_test(wine${bits}_hostile_cp1252 C.UTF-8
  COMMAND $<TARGET_FILE:ombrels_hostile_tests> MUST_RUN HostileTest.FiftyMegabyteStore)
# The host tool of the same build loads the module, by its name in the
# tool's folder, as a user types it.
wine_test(wine${bits}_wdxquery_loads_the_module C.UTF-8
  COMMAND wdxquery.exe $<TARGET_FILE_NAME:TC_Ombrels> "C:\\none.txt"
  CONTAINS "\"Ombrel\"  type 8" "C:\\none.txt  -3 (ft_fieldempty)")
wine_test(wine${bits}_contplug_header_compiles_as_c C.UTF-8 COMMAND $<TARGET_FILE:contplug_c_test>)
# The tool's refusals: a module without the interface's exports, and an
# option it does not know.
function(wine_expect_failure name regex)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} "-DCOMMAND=${wine};${ARGN}" "-DREGEX=${regex}"
                                -DTIMEOUT=${inner_limit} -P ${CMAKE_CURRENT_SOURCE_DIR}/ExpectFailure.cmake)
  wine_properties(${name})
endfunction()
wine_expect_failure(wine${bits}_wdxquery_reports_a_module_without_the_exports
  "does not export ContentGetSupportedField" $<TARGET_FILE:wdxquery> $<TARGET_FILE:not_a_plugin>)
wine_expect_failure(wine${bits}_wdxquery_names_an_unknown_option
  "unknown option '--explian'" $<TARGET_FILE:wdxquery> --explian $<TARGET_FILE:TC_Ombrels> /none.txt)

# The module's tables as the host and a bare Windows see them, its version
# resource and its size. The 32-bit stdcall check stays beside the tests
# under wine: the tests and wdxquery take the calling convention from the
# same header as the module, so they would pass with a wrong convention on
# both sides.
if(bits EQUAL 64)
  set(format pei-x86-64)
else()
  set(format pei-i386)
endif()
add_test(NAME win${bits}_module_tables
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_pe_tables.sh ${CMAKE_OBJDUMP}
          $<TARGET_FILE:TC_Ombrels> ${format} $<TARGET_FILE_NAME:TC_Ombrels>)
add_test(NAME win${bits}_module_version
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check_pe_version.py $<TARGET_FILE:TC_Ombrels>
          ${PROJECT_VERSION} $<TARGET_FILE_NAME:TC_Ombrels>)
add_test(NAME win${bits}_module_size
  COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:TC_Ombrels> -DMAX_KIB=400
          -P ${CMAKE_CURRENT_SOURCE_DIR}/CheckSize.cmake)
set_tests_properties(win${bits}_module_tables win${bits}_module_version win${bits}_module_size
  PROPERTIES LABELS pe)
