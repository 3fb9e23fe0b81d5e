# SPDX-License-Identifier: MIT
# Installation and packaging: the library with its headers, the programs with their manual pages,
# a CMake package and a pkg-config file, all relocatable, and a Debian package through CPack.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(CANTEXT_INSTALL "Generate the install rules" ${CANTEXT_TOP_LEVEL})
if(NOT CANTEXT_INSTALL)
  return()
endif()

set(CANTEXT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/cantext)
set(CANTEXT_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# A shared filter finds its library relative to its own location, wherever the prefix is moved.
if(BUILD_SHARED_LIBS)
  file(RELATIVE_PATH cantext_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(cantext-long cantext_command PROPERTIES
    INSTALL_RPATH "$ORIGIN/${cantext_bin_to_lib}")
endif()

install(TARGETS cantext EXPORT cantext-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/cantext DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")
install(TARGETS cantext-long cantext_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/cantext-long.1 ${PROJECT_SOURCE_DIR}/man/cantext.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/tools/cantext.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME cantext)

install(EXPORT cantext-targets NAMESPACE cantext:: DESTINATION ${CANTEXT_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/cantext-config.cmake.in
  ${PROJECT_BINARY_DIR}/cantext-config.cmake INSTALL_DESTINATION ${CANTEXT_CMAKE_DIR})
# Before 1.0 a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cantext-config-version.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cantext-config.cmake
  ${PROJECT_BINARY_DIR}/cantext-config-version.cmake DESTINATION ${CANTEXT_CMAKE_DIR})

# pkg-config finds the prefix from the file's own location, so the prefix can move.
file(RELATIVE_PATH CANTEXT_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
  ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" CANTEXT_PC_TO_PREFIX "${CANTEXT_PC_TO_PREFIX}")
file(RELATIVE_PATH CANTEXT_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH CANTEXT_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/cantext.pc.in ${PROJECT_BINARY_DIR}/cantext.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cantext.pc DESTINATION ${CANTEXT_PKGCONFIG_DIR})

if(CANTEXT_TOP_LEVEL)
  set(CPACK_PACKAGE_NAME cantext)
  set(CPACK_PACKAGE_VENDOR "cantext developers")
  set(CPACK_PACKAGE_CONTACT "cantext developers <cantext@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_PACKAGE_DESCRIPTION
    "A library of text routines for CAN and CAN FD frames (compact notation parser, long and compact renderers, error-frame explainer, length codes) and the cantext-long filter and cantext command built on it.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  include(CPack)
endif()
