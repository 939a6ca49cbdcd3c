# cpack: on Linux a Debian package of what cmake --install puts in place
# (the plug-in, the host services library, the SDK, ais-host and ais-sim with
# their manual pages, the CMake and pkg-config files, the example host), under
# /usr; on Windows a zip of AIS.dll, the SDK headers, ais-host.exe,
# ais-sim.exe and the README.
set(CPACK_PACKAGE_NAME vestrafold-ais)
set(CPACK_PACKAGE_VENDOR Vestrafold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "AIS receiver plug-in for survey hosts, with its SDK, reference host and traffic simulator")
set(CPACK_PACKAGE_CONTACT "Vestrafold AIS plug-in team")
if(WIN32)
  install(TARGETS AIS ais-host ais-sim RUNTIME DESTINATION .)
  install(FILES sdk/ais_plugin.h sdk/ais_plugin_loader.h sdk/ais_shared_string.h sdk/ais_msvc_abi.h sdk/ais_utf8.h
          DESTINATION sdk)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vestrafold-ais-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
  include(CPack)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries it links, as dpkg-shlibdeps finds them
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
