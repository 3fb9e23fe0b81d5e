# SPDX-License-Identifier: MIT
# Asks the installed package version file about each requested version, as find_package does,
# and fails unless it answers as expected: before 1.0 only the same minor version will do.
# Usage: cmake -DVERSION_FILE=path -P package_version.cmake
set(cases
  "0.1|TRUE"
  "0.1.0|TRUE"
  "0.0.9|FALSE"
  "0.2|FALSE"
  "1.0|FALSE")
set(wrong "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 requested)
  list(GET case 1 expected)
  set(PACKAGE_FIND_VERSION ${requested})
  string(REPLACE "." ";" parts "${requested}.0.0")
  list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
  list(GET parts 1 PACKAGE_FIND_VERSION_MINOR)
  list(GET parts 2 PACKAGE_FIND_VERSION_PATCH)
  set(PACKAGE_VERSION_COMPATIBLE "")
  include("${VERSION_FILE}")
  if(PACKAGE_VERSION_UNSUITABLE OR NOT PACKAGE_VERSION_COMPATIBLE)
    set(answer FALSE)
  else()
    set(answer TRUE)
  endif()
  if(NOT answer STREQUAL expected)
    list(APPEND wrong "${requested}: ${answer}, expected ${expected}")
  endif()
endforeach()
if(wrong)
  message(FATAL_ERROR "version ${PACKAGE_VERSION} answers wrongly for: ${wrong}")
endif()
message(STATUS "version ${PACKAGE_VERSION} answers as expected for every requested version")
