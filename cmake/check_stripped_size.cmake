# SPDX-License-Identifier: MIT
# Strips a copy of FILE with the target's strip tool and fails if the copy is larger than LIMIT
# bytes: the filter has to fit small root file systems.
#   cmake -DSTRIP=<strip> -DFILE=<elf file> -DCOPY=<path of the copy> -DLIMIT=<bytes> -P ...
foreach(var STRIP FILE COPY LIMIT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_stripped_size: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${STRIP} -o ${COPY} ${FILE} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_stripped_size: ${STRIP} failed on ${FILE}: ${errors}")
endif()

file(SIZE ${COPY} size)
math(EXPR kib_tenths "(${size} * 10 + 512) / 1024")
math(EXPR kib "${kib_tenths} / 10")
math(EXPR tenth "${kib_tenths} % 10")
set(report "${FILE} stripped is ${size} bytes (${kib}.${tenth} KiB)")
if(size GREATER LIMIT)
  message(NOTICE "${report}, over the limit of ${LIMIT}")
  message(FATAL_ERROR "stripped size check failed")
endif()
message(STATUS "${report}, limit ${LIMIT}")
