# SPDX-License-Identifier: MIT
# 32-bit Arm, hard-float, with Debian's cross compiler (g++-arm-linux-gnueabihf).
# Tests run under qemu-user (package qemu-user), so plain ctest works on the build host.
set(CANTEXT_CROSS_TRIPLE arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CANTEXT_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
