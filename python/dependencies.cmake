# SPDX-License-Identifier: MIT
# Decides whether the Python module is built, and sets CANTEXT_PYTHON to ON or OFF for what
# follows.  Asked for (ON), what it needs must be there; left to AUTO, the module is built when
# Debian's Python (not another one that may come first on PATH) with its headers and NumPy, and
# pybind11, are found, asked again at every configure, so that `make test` after `make demo`
# finds the packages installed in between.  Cross builds cannot run the build machine's Python
# on the target, fuzzing builds instrument for an engine that Python lacks, and a sanitizer
# build's tests preload GCC's sanitizer runtime into the interpreter.
set(cantext_python_asked ${CANTEXT_PYTHON})
if(NOT cantext_python_asked STREQUAL "AUTO" AND NOT cantext_python_asked)
  set(CANTEXT_PYTHON OFF)
  return()
endif()

set(cantext_python_lacks "")
if(CMAKE_CROSSCOMPILING)
  set(cantext_python_lacks "a cross build cannot run the module")
elseif(CANTEXT_FUZZ)
  set(cantext_python_lacks "a fuzzing build cannot load the module into Python")
elseif(CANTEXT_SANITIZE AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(cantext_python_lacks "a sanitizer build loads GCC's sanitizer runtime into Python")
else()
  if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the module is built for")
  endif()
  find_package(Python 3.9 QUIET COMPONENTS Interpreter Development.Module NumPy)
  find_package(pybind11 2.10 CONFIG QUIET)
  if(NOT Python_FOUND OR NOT pybind11_FOUND)
    set(cantext_python_lacks "Python with its headers and NumPy, and pybind11, were not all found "
      "(Debian packages python3-dev, python3-numpy, pybind11-dev)")
    string(JOIN "" cantext_python_lacks ${cantext_python_lacks})
  endif()
endif()

if(cantext_python_lacks STREQUAL "")
  set(CANTEXT_PYTHON ON)
elseif(cantext_python_asked STREQUAL "AUTO")
  message(STATUS "The Python module is left out: ${cantext_python_lacks}")
  set(CANTEXT_PYTHON OFF)
else()
  message(FATAL_ERROR "CANTEXT_PYTHON is ${cantext_python_asked} but ${cantext_python_lacks}; "
    "configure with -DCANTEXT_PYTHON=OFF to leave the module out")
endif()
