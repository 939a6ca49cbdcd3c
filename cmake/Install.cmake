# cmake --install: the plug-in, the host services library, the SDK headers,
# ais-host and ais-sim with their help and manual pages, a CMake package and a
# pkg-config file, so that a host finds the SDK with find_package or
# pkg-config.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(AIS_SDK_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/vestrafold-ais)
set_target_properties(AIS PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(ais-host ais-sim PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS vfsystem EXPORT VestrafoldAisTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS AIS LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS ais-host ais-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES sdk/ais_plugin.h sdk/ais_plugin_loader.h sdk/ais_shared_string.h sdk/ais_msvc_abi.h sdk/ais_utf8.h
              sdk/vf_system.h
        DESTINATION ${AIS_SDK_INCLUDE_DIR})

# The programs' --help, as text and, made by help2man from --help and
# --version, as manual pages.
find_program(HELP2MAN_PROGRAM help2man)
set(ais-host_summary "reference host of the Vestrafold AIS receiver plug-in")
set(ais-sim_summary "AIS traffic simulator with the faults of real receivers")
foreach(program ais-host ais-sim)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/doc/${program}.txt)
  add_custom_command(OUTPUT ${page} COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
                     COMMAND $<TARGET_FILE:${program}> --help > ${page} DEPENDS ${program})
  list(APPEND help_pages ${page})
  if(HELP2MAN_PROGRAM)
    set(man_page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${man_page} COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                       COMMAND ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr --name=${${program}_summary}
                               --output=${man_page} $<TARGET_FILE:${program}>
                       DEPENDS ${program} VERBATIM)
    list(APPEND man_pages ${man_page})
  endif()
endforeach()
add_custom_target(help_pages ALL DEPENDS ${help_pages} ${man_pages})
install(FILES ${help_pages} DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A host written from the installed SDK alone, to start from.
install(FILES tests/install/small_host.cpp tests/install/CMakeLists.txt DESTINATION ${CMAKE_INSTALL_DOCDIR}/example-host)
if(HELP2MAN_PROGRAM)
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages (Debian package help2man)")
endif()

install(EXPORT VestrafoldAisTargets NAMESPACE VestrafoldAis:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VestrafoldAis)
configure_package_config_file(cmake/VestrafoldAisConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/VestrafoldAisConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VestrafoldAis
                              PATH_VARS CMAKE_INSTALL_LIBDIR AIS_SDK_INCLUDE_DIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VestrafoldAisConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VestrafoldAisConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VestrafoldAisConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VestrafoldAis)
configure_file(cmake/vestrafold-ais.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vestrafold-ais.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vestrafold-ais.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
