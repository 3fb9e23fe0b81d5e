# SPDX-License-Identifier: MIT
# Fails unless every tracked source file of DIR starts with its licence line
# (SPDX-License-Identifier: MIT, in the file's comment syntax, after the #! line of a script).
# Only data files are exempt: texts that a program must read or print byte for byte, and the
# Debian changelog and the tests' DBC files, whose formats have no comment.
# Usage: cmake -DDIR=<source dir> [-DFILES=<files relative to DIR>] -P licence_lines.cmake
set(exempt "^(LICENSE|.*\\.md|fuzz/corpus/.*|.*/expected/.*|examples/sample\\..*|.*\\.out|cmake/debian/changelog|.*/py\\.typed|tests/dbc/data/.*\\.dbc)$")
if(NOT DEFINED FILES)
  execute_process(COMMAND git ls-files WORKING_DIRECTORY ${DIR} RESULT_VARIABLE status
                  OUTPUT_VARIABLE FILES ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(STATUS "${DIR} is not a git checkout: no list of tracked files to check")
    return()
  endif()
  string(REGEX REPLACE "\n$" "" FILES "${FILES}")
  string(REPLACE "\n" ";" FILES "${FILES}")
endif()

set(lacking "")
set(checked 0)
foreach(name IN LISTS FILES)
  if(name MATCHES "${exempt}")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS "${DIR}/${name}" head LIMIT_COUNT 2)
  list(GET head 0 first)
  if(first MATCHES "^#!")
    list(GET head 1 first)
  endif()
  if(NOT first MATCHES "^(//|#|\\.\\\\\") SPDX-License-Identifier: MIT$")
    list(APPEND lacking "${name}")
  endif()
endforeach()
if(lacking)
  string(REPLACE ";" " " lacking "${lacking}")
  message(FATAL_ERROR "these files lack the licence line: ${lacking}")
endif()
message(STATUS "all ${checked} source files of ${DIR} start with the licence line")
