# SPDX-License-Identifier: MIT
# Installation: the library with its headers, the programs with their manual pages, a CMake
# package and a pkg-config file, all relocatable.  Every file belongs to one of the parts that
# the Debian packages split (cmake/debian.cmake): `tools`, the programs, their pages and the
# completion, which a plain install() line joins; `dev`, what building against the library
# needs; `lib`, the shared library itself.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(CANTEXT_INSTALL "Generate the install rules" ${CANTEXT_TOP_LEVEL})
if(NOT CANTEXT_INSTALL)
  return()
endif()
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tools)

set(CANTEXT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/cantext)
set(CANTEXT_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS cantext EXPORT cantext-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lib)
# The DBC component, a static library in every build (dbc/CMakeLists.txt): cantext::dbc.
install(TARGETS cantext_dbc EXPORT cantext-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/cantext DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev FILES_MATCHING PATTERN "*.hpp" PATTERN "*.h")

install(EXPORT cantext-targets NAMESPACE cantext:: DESTINATION ${CANTEXT_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/cantext-config.cmake.in
  ${PROJECT_BINARY_DIR}/cantext-config.cmake INSTALL_DESTINATION ${CANTEXT_CMAKE_DIR})
# Before 1.0 a new minor version may change the interface (the SONAME says so too).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cantext-config-version.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cantext-config.cmake
  ${PROJECT_BINARY_DIR}/cantext-config-version.cmake DESTINATION ${CANTEXT_CMAKE_DIR} COMPONENT dev)

# pkg-config finds the prefix from the file's own location, so the prefix can move.  Installed
# into the system (/usr, as the Debian packages are), the file names its prefix, as the system's
# own files do: its paths then lead straight to the system's directories, which pkg-config
# leaves out of the flags it gives.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(CANTEXT_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(CANTEXT_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
endif()
file(RELATIVE_PATH CANTEXT_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH CANTEXT_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/cantext.pc.in ${PROJECT_BINARY_DIR}/cantext.pc @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/cantext-dbc.pc.in ${PROJECT_BINARY_DIR}/cantext-dbc.pc
  @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cantext.pc ${PROJECT_BINARY_DIR}/cantext-dbc.pc
  DESTINATION ${CANTEXT_PKGCONFIG_DIR} COMPONENT dev)

# A manual page is installed compressed, as Debian has it; a change to it reconfigures.
function(cantext_install_manual page)
  get_filename_component(name ${page} NAME)
  string(REGEX MATCH "[1-9]$" section ${name})
  set(packed ${PROJECT_BINARY_DIR}/man/${name}.gz)
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
  execute_process(COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${page} OUTPUT_FILE ${packed}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${page}")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${page})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT tools)
endfunction()

# The programs and their pages, one line each.
install(TARGETS cantext-long cantext_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
cantext_install_manual(man/cantext-long.1)
cantext_install_manual(man/cantext.1)
install(FILES ${PROJECT_SOURCE_DIR}/tools/cantext.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME cantext)

include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
