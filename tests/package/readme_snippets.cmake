# SPDX-License-Identifier: MIT
# Fails unless the README shows each given file's text verbatim, so that what it shows is what
# the tests build and run.
# Usage: cmake -DREADME=path -DFILES="a;b" -P readme_snippets.cmake
file(READ "${README}" readme)
set(missing "")
foreach(snippet_file IN LISTS FILES)
  file(READ "${snippet_file}" snippet)
  # The README shows each file without its licence line.
  string(REGEX REPLACE "^(//|#) SPDX-License-Identifier: [^\n]*\n" "" snippet "${snippet}")
  string(FIND "${readme}" "${snippet}" at)
  if(at EQUAL -1)
    list(APPEND missing "${snippet_file}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${README} does not show these files verbatim: ${missing}")
endif()
list(LENGTH FILES count)
message(STATUS "${README} shows all ${count} files verbatim")
