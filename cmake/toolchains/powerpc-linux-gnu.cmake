# SPDX-License-Identifier: MIT
# 32-bit big-endian PowerPC with Debian's cross compiler (g++-powerpc-linux-gnu): the target
# on which host byte order differs from the build host's.  Tests run under qemu-user.
set(CANTEXT_CROSS_TRIPLE powerpc-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CANTEXT_CROSS_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
