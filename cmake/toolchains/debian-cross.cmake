# SPDX-License-Identifier: MIT
# Shared part of the Debian cross toolchains: the including file sets CANTEXT_CROSS_TRIPLE,
# CMAKE_SYSTEM_PROCESSOR and CANTEXT_CROSS_QEMU.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${CANTEXT_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CANTEXT_CROSS_TRIPLE}-g++)
set(CMAKE_AR ${CANTEXT_CROSS_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CANTEXT_CROSS_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${CANTEXT_CROSS_TRIPLE}-strip CACHE FILEPATH "")
set(CMAKE_READELF ${CANTEXT_CROSS_TRIPLE}-readelf CACHE FILEPATH "")

# The target's libraries and headers live under /usr/<triple>; never take the build host's.
set(CMAKE_FIND_ROOT_PATH /usr/${CANTEXT_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every test program, and the end-to-end tests run the filter, in the emulator; the
# tests start it with execv, so its path must be absolute.  -L gives it the target's dynamic
# loader and C library.  Without the emulator the build still works, the tests cannot run.
find_program(CANTEXT_CROSS_QEMU_PATH ${CANTEXT_CROSS_QEMU} NO_CMAKE_FIND_ROOT_PATH)
if(CANTEXT_CROSS_QEMU_PATH)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CANTEXT_CROSS_QEMU_PATH} -L /usr/${CANTEXT_CROSS_TRIPLE})
endif()
