# SPDX-License-Identifier: MIT
# Fails unless the ELF file FILE needs, at run time, nothing beyond the C library (and the
# project's own shared library): the boards it runs on often carry no C++ runtime.  ALSO, a
# regular expression, names libraries it may need besides (the compression libraries that a
# desktop build of the command reads compressed captures with).
#   cmake -DREADELF=<readelf> -DFILE=<elf file> [-DALSO=<regex>] -P check_needed.cmake
foreach(var READELF FILE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_needed: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${READELF} -d ${FILE} RESULT_VARIABLE status OUTPUT_VARIABLE dynamic
                ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_needed: ${READELF} -d ${FILE} failed: ${errors}")
endif()

string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" entries "${dynamic}")
set(needed "")
set(unwanted "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[(.*)\\]$" "\\1" name "${entry}")
  list(APPEND needed ${name})
  # The C library under any of its names (glibc, uClibc, musl) with its mathematics part (a
  # library of its own in glibc and uClibc), its loader, and this project.
  if(NOT name MATCHES "^(libc\\.so(\\.[0-9]+)?|libm\\.so(\\.[0-9]+)?|ld-[^/]*\\.so[.0-9]*|libcantext\\.so[.0-9]*)$"
     AND NOT (ALSO AND name MATCHES "^(${ALSO})$"))
    list(APPEND unwanted ${name})
  endif()
endforeach()

if(NOT needed)
  # A dynamically linked program always needs the C library: no entry means the output of
  # readelf was not understood, not that the file is clean.
  message(FATAL_ERROR "check_needed: no NEEDED entry found in ${FILE}")
endif()
if(unwanted)
  string(REPLACE ";" " " unwanted "${unwanted}")
  # One unwrapped line that a test of this check can match.
  message(NOTICE "${FILE} needs more than the C library at run time: ${unwanted}")
  message(FATAL_ERROR "run-time libraries check failed")
endif()
string(REPLACE ";" " " needed "${needed}")
message(STATUS "${FILE} needs: ${needed}")
