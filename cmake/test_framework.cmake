# SPDX-License-Identifier: MIT
# Finds GoogleTest for the tests.  Asked for (CANTEXT_BUILD_TESTS=ON), it must be there; left to
# AUTO, the tests are left out with one note when it is not, so that the library and the filter
# build on a machine without it.  Sets CANTEXT_BUILD_TESTS to ON or OFF for what follows.
set(cantext_tests_asked ${CANTEXT_BUILD_TESTS})

# Cross builds compile the framework from Debian's source package with the cross compiler.
option(CANTEXT_GTEST_FROM_SOURCE "Build GoogleTest from /usr/src/googletest" ${CMAKE_CROSSCOMPILING})
if(CANTEXT_GTEST_FROM_SOURCE)
  set(cantext_gtest_source /usr/src/googletest)
  set(cantext_gtest_package googletest)
  if(EXISTS ${cantext_gtest_source}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${cantext_gtest_source} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
else()
  set(cantext_gtest_package libgtest-dev)
  find_package(GTest QUIET)
endif()

if(TARGET GTest::gtest_main)
  set(CANTEXT_BUILD_TESTS ON)
elseif(cantext_tests_asked STREQUAL "AUTO")
  message(STATUS "GoogleTest not found: the tests are left out (Debian package ${cantext_gtest_package})")
  set(CANTEXT_BUILD_TESTS OFF)
else()
  message(FATAL_ERROR "CANTEXT_BUILD_TESTS is ${cantext_tests_asked} but GoogleTest was not found: "
    "install the Debian package ${cantext_gtest_package}, or configure with -DCANTEXT_BUILD_TESTS=OFF")
endif()
