# SPDX-License-Identifier: MIT
# Looks for what the Python module needs: Debian's Python (not another one that may come first
# on PATH) with its headers and NumPy, and pybind11, when cantext is the top project.  Sets
# CANTEXT_PYTHON_FOUND, the default of CANTEXT_PYTHON.  Cross builds cannot run the build
# machine's Python on the target, fuzzing builds instrument for an engine that Python lacks, and
# a sanitizer build's tests preload GCC's sanitizer runtime into the interpreter.
set(CANTEXT_PYTHON_FOUND FALSE)
if(CANTEXT_TOP_LEVEL AND NOT CMAKE_CROSSCOMPILING AND NOT CANTEXT_FUZZ
   AND (NOT CANTEXT_SANITIZE OR CMAKE_CXX_COMPILER_ID STREQUAL "GNU"))
  if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the module is built for")
  endif()
  find_package(Python 3.9 QUIET COMPONENTS Interpreter Development.Module NumPy)
  find_package(pybind11 2.10 CONFIG QUIET)
  if(Python_FOUND AND pybind11_FOUND)
    set(CANTEXT_PYTHON_FOUND TRUE)
  endif()
endif()
