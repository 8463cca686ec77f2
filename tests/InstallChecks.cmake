# Checks of a Release build as it is installed and packaged: what
# `cmake --install` and the Debian package hold, the package packed a second
# time, and the installed module's column in a real host.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(stage ${PROJECT_BINARY_DIR}/check)
set(deb tc-ombrels_${PROJECT_VERSION}_${arch}.deb)
add_test(NAME linux_stage
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/stage_linux_install.sh ${PROJECT_BINARY_DIR} ${stage})
set_tests_properties(linux_stage PROPERTIES FIXTURES_SETUP linux_stage)
add_test(NAME linux_install_and_package
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_linux_install.sh ${stage}/install ${stage}/first/${deb}
          ${PROJECT_VERSION})
add_test(NAME deb_packed_again_the_same
  COMMAND ${CMAKE_COMMAND} -DFIRST=${stage}/first/${deb} -DAGAIN=${stage}/again/${deb}
          -P ${CMAKE_CURRENT_LIST_DIR}/CompareDebs.cmake)
set_tests_properties(linux_stage linux_install_and_package deb_packed_again_the_same
  PROPERTIES LABELS package)
add_test(NAME doublecmd_column
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_doublecmd.sh
          ${stage}/install/${OMBRELS_INSTALL_MODULEDIR}/TC_Ombrels.wdx ${PROJECT_BINARY_DIR}/doublecmd)
set_tests_properties(doublecmd_column PROPERTIES LABELS host TIMEOUT 240)
set_tests_properties(linux_install_and_package deb_packed_again_the_same doublecmd_column
  PROPERTIES FIXTURES_REQUIRED linux_stage)
