# cpack: a Debian package of what cmake --install puts in place (the plug-in,
# the host services library, the SDK, ais-host and ais-sim with their manual
# pages, the CMake and pkg-config files, the example host), under /usr.
set(CPACK_PACKAGE_NAME vestrafold-ais)
set(CPACK_PACKAGE_VENDOR Vestrafold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "AIS receiver plug-in for survey hosts, with its SDK, reference host and traffic simulator")
set(CPACK_PACKAGE_CONTACT "Vestrafold AIS plug-in team")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries it links, as dpkg-shlibdeps finds them
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
