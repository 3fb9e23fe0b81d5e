# SPDX-License-Identifier: MIT
# The Debian packages, made by `cpack -G DEB` from a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (which puts the library in /usr/lib/<multiarch>):
#   cantext                  the programs and their manual pages (component tools)
#   libcantext-dev           headers, static library or link, CMake package, pkg-config file (dev)
#   libcantext<SONAME ver.>  the shared library, in a shared build only (lib)
#   python3-cantext          the Python package, when the module is built (python)
# Each package carries the licence as a machine-readable copyright file, and a changelog.
set(CANTEXT_DEB_MAINTAINER "cantext developers <maintainers@cantext.invalid>" CACHE STRING
  "Maintainer field of the Debian packages: name <address>")
set(cantext_deb_tools cantext)
set(cantext_deb_dev libcantext-dev)
set(cantext_deb_lib libcantext${CANTEXT_SOVERSION})
set(cantext_deb_python python3-cantext)
set(cantext_deb_components tools dev)
if(BUILD_SHARED_LIBS)
  list(APPEND cantext_deb_components lib)
endif()
if(CANTEXT_PYTHON)
  list(APPEND cantext_deb_components python)
endif()

# The copyright file: the licence text of LICENSE, in Debian's machine-readable format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n+(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE does not have the expected Copyright line and text")
endif()
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n\n" "\n.\n" text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " text " ${text}")
set(debian_dir ${PROJECT_BINARY_DIR}/debian)
file(WRITE ${debian_dir}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${PROJECT_NAME}\n\n"
  "Files: *\nCopyright: ${holder}\n"
  "License: Expat\nComment: the MIT licence (SPDX-License-Identifier: MIT)\n\n"
  "License: Expat\n${text}\n")

# The changelog, whose newest entry must be this version's.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${debian_dir}/changelog @ONLY)
file(STRINGS ${debian_dir}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^cantext \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog has no entry for version ${PROJECT_VERSION} at the top")
endif()
execute_process(COMMAND gzip -9n -c ${debian_dir}/changelog OUTPUT_FILE ${debian_dir}/changelog.gz)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
foreach(component IN LISTS cantext_deb_components)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${cantext_deb_${component}} COMPONENT ${component})
endforeach()

if(NOT CANTEXT_TOP_LEVEL)
  return()
endif()
# Packages laid out the Debian way come only from a build for /usr: cpack refuses any other.
set(CPACK_CANTEXT_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/debian/cpack-checks.cmake)

set(CPACK_PACKAGE_NAME cantext)
set(CPACK_PACKAGE_VENDOR "The cantext developers")
set(CPACK_PACKAGE_CONTACT "${CANTEXT_DEB_MAINTAINER}")
# Each package's description starts with its own summary: CPack would put a shared one before it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${cantext_deb_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${cantext_deb_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "text forms of CAN and CAN FD frames: command-line programs
cantext-long rewrites every frame of a text capture log of a CAN bus, given in
compact notation such as 123#DEADBEEF, in a long, column-aligned form that is
easy to read. cantext shows a capture log in any of the library's views (long,
compact, error frames explained), reads files by name and says which line is
bad. Both need nothing at run time but the C library.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${cantext_deb_dev})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "text forms of CAN and CAN FD frames: development files
cantext is a small C++17 library of text routines for CAN and CAN FD frames: a
parser of compact notation, long and compact renderers, an error-frame
explainer, length codes and hex strings. It allocates no memory and throws
nothing.
.
This package holds the headers, the library to link, the CMake package and
the pkg-config file.")
set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${cantext_deb_lib})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIB_DESCRIPTION "text forms of CAN and CAN FD frames: shared library
cantext is a small C++17 library of text routines for CAN and CAN FD frames: a
parser of compact notation, long and compact renderers, an error-frame
explainer, length codes and hex strings.
.
This package holds the shared library.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME ${cantext_deb_python})
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "text forms of CAN and CAN FD frames: Python 3 module
The module cantext parses frames in compact notation such as 123#DEADBEEF and
renders them in the library's long and compact forms, and reads capture logs
into NumPy columns or a pandas DataFrame, or as python-can messages, many
times as fast as python-can's own reader.")
# The module is built for one Python version, whose interpreter it needs; it carries the
# library in it.  pandas and python-can serve Log.to_pandas and iter_messages alone, Dask
# cantext.dask.
if(CANTEXT_PYTHON)
  math(EXPR cantext_python_next "${Python_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${cantext_python_next}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-pandas, python3-can, python3-dask")
endif()
if(BUILD_SHARED_LIBS)
  # The programs build on the library's internals, which the shared library hides: they carry
  # the library in them and need no library package.
  set(CPACK_COMPONENT_DEV_DEPENDS lib)
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/ldconfig-trigger.cmake)
else()
  # A program linked with the static library needs the C library's development files.
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
include(CPack)
