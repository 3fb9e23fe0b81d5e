# SPDX-License-Identifier: MIT
# Fails unless every test name of the build is short, readable and the same from run to run,
# so that `ctest -R` can pick tests by name: no printed parameter values (which may hold the
# bytes of pointers), only letters, digits and `_./-`, at most 100 characters.
# Usage: cmake -DCTEST=<ctest> -DBUILD=<build dir> -P test_names.cmake
execute_process(COMMAND ${CTEST} -N --test-dir ${BUILD} OUTPUT_VARIABLE listing
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ctest -N failed in ${BUILD}")
endif()
# Characters that CMake's lists treat specially would split or join names: any of them is
# already a fault, so they are kept as a character that fails the check.
string(REGEX REPLACE "[][;]" "?" listing "${listing}")
string(REGEX MATCHALL "Test +#[0-9]+: [^\n]*" lines "${listing}")
set(bad "")
set(count 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^Test +#[0-9]+: " "" name "${line}")
  math(EXPR count "${count} + 1")
  string(LENGTH "${name}" length)
  if(NOT name MATCHES "^[A-Za-z0-9_./-]+$" OR length GREATER 100)
    list(APPEND bad "${name}")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no test names found in the listing of ${BUILD}")
endif()
if(bad)
  list(LENGTH bad n)
  list(GET bad 0 first)
  message(FATAL_ERROR "${n} of ${count} test names are not short plain names, as: ${first}")
endif()
message(STATUS "all ${count} test names are short plain names")
