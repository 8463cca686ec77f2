# Install rules and the Debian package of the native module and the host
# tool. The module is no library for programs to link against: a file
# manager loads it by its path, so it lives in a folder of its own under
# the library directory, as other programs' plugins do; the host tool is a
# program like any other.
include(GNUInstallDirs)
set(OMBRELS_INSTALL_MODULEDIR "${CMAKE_INSTALL_LIBDIR}/ombrels" CACHE STRING
    "Folder of the plugin module, relative to the install prefix")
install(TARGETS TC_Ombrels LIBRARY DESTINATION "${OMBRELS_INSTALL_MODULEDIR}")
install(TARGETS wdxquery RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# The installed tool finds the installed module when none is named.
if(IS_ABSOLUTE "${OMBRELS_INSTALL_MODULEDIR}")
  set(module_from_tool "${OMBRELS_INSTALL_MODULEDIR}")
else()
  file(RELATIVE_PATH module_from_tool "/prefix/${CMAKE_INSTALL_BINDIR}"
       "/prefix/${OMBRELS_INSTALL_MODULEDIR}")
endif()
target_compile_definitions(wdxhost PRIVATE OMBRELS_MODULE_FROM_TOOL="${module_from_tool}")

# The host tool's manual page, and the package's copyright and changelog.
# The page and the changelog are compressed as Debian keeps them, without
# name or date in the gzip header (-n), so the bytes depend on the text only.
set(OMBRELS_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/tc-ombrels")
configure_file(packaging/wdxquery.1.in packaging/wdxquery.1 @ONLY)
configure_file(packaging/changelog packaging/changelog COPYONLY)
foreach(page IN ITEMS wdxquery.1 changelog)
  execute_process(COMMAND gzip -9 -n -c
                  INPUT_FILE "${PROJECT_BINARY_DIR}/packaging/${page}"
                  OUTPUT_FILE "${PROJECT_BINARY_DIR}/packaging/${page}.gz"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress packaging/${page}: ${failed}")
  endif()
endforeach()
install(FILES "${PROJECT_BINARY_DIR}/packaging/wdxquery.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES packaging/copyright "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
        DESTINATION "${OMBRELS_DOCDIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tc-ombrels)
set(CPACK_PACKAGE_VENDOR "TC_Ombrels developers")
set(CPACK_PACKAGE_CONTACT "TC_Ombrels developers <tc-ombrels@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Ombrel column for file managers: content plugin module and host tool")
set(CPACK_PACKAGE_DESCRIPTION
    "A content plugin that shows the mark each file was given in the Ombrels
program (Certified, Cool, ... Web) as the field Ombrel, for file managers
that load content plugins (wdx), and wdxquery, a tool that asks a plugin
module for its fields and values as a file manager does.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Read by cpack as it packs: the dependencies from the libraries the two
# files link (dpkg-shlibdeps), and the date that every file in the package
# gets. CPack's own dependency search would also add maintainer scripts
# that call ldconfig, for any shared object below /usr/lib; the module is
# in no folder the dynamic linker searches, so they would have nothing to do.
configure_file(cmake/CPackProject.cmake.in CPackProject.cmake.in @ONLY)
file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/CPackProject.cmake"
     INPUT "${PROJECT_BINARY_DIR}/CPackProject.cmake.in")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackProject.cmake")
# The folders of the package get their modes from the one who packs; the
# umask would take bits away.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/PackageFolders.cmake")
include(CPack)
