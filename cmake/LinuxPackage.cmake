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
# Dependencies from the libraries the two files link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
