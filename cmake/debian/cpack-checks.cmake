# SPDX-License-Identifier: MIT
# Read by cpack: Debian packages only from a build for /usr, whose library directory is
# /usr/lib/<multiarch>.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_CANTEXT_PREFIX MATCHES "^/usr/?$")
  message(FATAL_ERROR "Debian packages are made from a build configured with "
    "-DCMAKE_INSTALL_PREFIX=/usr; this one is for ${CPACK_CANTEXT_PREFIX}")
endif()
