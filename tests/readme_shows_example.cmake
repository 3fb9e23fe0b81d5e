# SPDX-License-Identifier: MIT
# Fails unless README.md shows an example program verbatim in a ```cpp block, followed by the
# program's real output in a plain ``` block.
# Variables: README, SOURCE, PROGRAM, and EMULATOR (the cross build's runner, "|"-separated).
file(READ "${README}" readme)
file(READ "${SOURCE}" source)
# The README shows the program without its licence line.
string(REGEX REPLACE "^// SPDX-License-Identifier: [^\n]*\n" "" source "${source}")
string(FIND "${readme}" "```cpp\n${source}```\n" source_at)
if(source_at EQUAL -1)
  message(FATAL_ERROR "${README} does not show ${SOURCE} verbatim in a ```cpp block")
endif()

if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "${PROGRAM} has not been built")
endif()
string(REPLACE "|" ";" runner "${EMULATOR}")
execute_process(COMMAND ${runner} "${PROGRAM}" OUTPUT_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ended with ${status}")
endif()
string(FIND "${readme}" "```\n${output}```\n" output_at)
if(output_at LESS_EQUAL source_at)
  message(FATAL_ERROR "${README} does not show what ${PROGRAM} prints after its code:\n${output}")
endif()
