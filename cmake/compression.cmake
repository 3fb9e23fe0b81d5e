# SPDX-License-Identifier: MIT
# The compression libraries with which captures compressed with gzip (zlib), xz (liblzma) or
# zstd (libzstd) are read, and `cantext convert -o` writes them.  Each option is AUTO (the
# default: on in a native build that finds the library, asked again at every configure, so that
# packages installed later are taken), ON (the library is required) or OFF.  Cross builds are
# for the boards, whose programs need the C library alone: AUTO leaves the libraries out there,
# and a compressed input is then refused with a message that says so.
# Sets CANTEXT_HAVE_ZLIB, CANTEXT_HAVE_LZMA and CANTEXT_HAVE_ZSTD to ON or OFF, and for each
# one that is on, the target cantext_<name>_library to link.

# Finds one library; sets cantext_found and, when found, makes its target.
macro(cantext_find_zlib)
  find_package(ZLIB QUIET)
  set(cantext_found ${ZLIB_FOUND})
  if(ZLIB_FOUND AND NOT TARGET cantext_zlib_library)
    add_library(cantext_zlib_library INTERFACE IMPORTED)
    target_link_libraries(cantext_zlib_library INTERFACE ZLIB::ZLIB)
  endif()
endmacro()
# CMake's module for liblzma checks it by compiling C, which this C++ project does not enable;
# CMake has no module for zstd, and not every system installs zstd's own package file.
macro(cantext_find_plain library header)
  string(TOUPPER ${library} upper)
  find_path(CANTEXT_${upper}_INCLUDE_DIR ${header})
  find_library(CANTEXT_${upper}_LIBRARY ${library})
  mark_as_advanced(CANTEXT_${upper}_INCLUDE_DIR CANTEXT_${upper}_LIBRARY)
  if(CANTEXT_${upper}_INCLUDE_DIR AND CANTEXT_${upper}_LIBRARY)
    set(cantext_found ON)
    if(NOT TARGET cantext_${library}_library)
      add_library(cantext_${library}_library UNKNOWN IMPORTED)
      set_target_properties(cantext_${library}_library PROPERTIES
        IMPORTED_LOCATION ${CANTEXT_${upper}_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${CANTEXT_${upper}_INCLUDE_DIR})
    endif()
  else()
    set(cantext_found OFF)
  endif()
endmacro()
macro(cantext_find_lzma)
  cantext_find_plain(lzma lzma.h)
endmacro()
macro(cantext_find_zstd)
  cantext_find_plain(zstd zstd.h)
endmacro()

set(cantext_compressions "")
foreach(entry IN ITEMS "ZLIB;zlib;gzip;zlib1g-dev" "LZMA;lzma;xz;liblzma-dev"
                      "ZSTD;zstd;zstd;libzstd-dev")
  list(GET entry 0 name)
  list(GET entry 1 library)
  list(GET entry 2 format)
  list(GET entry 3 package)
  set(CANTEXT_${name} AUTO CACHE STRING
    "Read and write ${format}-compressed captures with ${library}: ON, OFF or AUTO (native builds that find it)")
  set_property(CACHE CANTEXT_${name} PROPERTY STRINGS AUTO ON OFF)
  set(CANTEXT_HAVE_${name} OFF)
  set(asked ${CANTEXT_${name}})
  if(asked STREQUAL "AUTO" AND CMAKE_CROSSCOMPILING)
    message(STATUS "${format} captures: not read (a cross build for a board leaves ${library} out)")
    continue()
  endif()
  if(NOT asked STREQUAL "AUTO" AND NOT asked)
    continue()
  endif()
  cmake_language(CALL cantext_find_${library})
  if(cantext_found)
    set(CANTEXT_HAVE_${name} ON)
    list(APPEND cantext_compressions ${format})
  elseif(asked STREQUAL "AUTO")
    message(STATUS "${format} captures: not read (${library} not found: Debian package ${package})")
  else()
    message(FATAL_ERROR "CANTEXT_${name} is ON but ${library} was not found (Debian package ${package})")
  endif()
endforeach()
if(cantext_compressions)
  string(REPLACE ";" ", " shown "${cantext_compressions}")
  message(STATUS "Compressed captures read and written: ${shown}")
endif()
