// SPDX-License-Identifier: MIT
// Which instruction sets the fast paths use: the one place where that is decided.
//
// Every fast path has a portable form in plain 64-bit word arithmetic, which every processor
// runs.  x86-64 kernels live in files of their own (named *_x86): SSE2, part of every x86-64
// processor, is used unconditionally; SSSE3 and AVX2, which not every x86-64 processor has, are
// used where the processor has them, asked once.  Building with CANTEXT_FORCE_PORTABLE (the CMake
// option of that name) leaves the x86-64 kernels out, so that the portable forms, which other
// processors run, are what every program and test on x86-64 runs too.
#ifndef CANTEXT_SRC_INSTRUCTION_SETS_HPP
#define CANTEXT_SRC_INSTRUCTION_SETS_HPP

#if defined(__x86_64__) && !defined(CANTEXT_FORCE_PORTABLE)
#define CANTEXT_X86_KERNELS 1
#else
#define CANTEXT_X86_KERNELS 0
#endif

namespace cantext::detail {

// The instruction sets beyond x86-64's own that this processor has and this build uses.
struct instruction_sets {
  bool ssse3;  // byte shuffles: almost every x86-64 processor made since 2006
  bool avx2;   // 32-byte vectors
};

// Asked of the processor once, when the program or library is loaded.  All false elsewhere than
// on x86-64, in a portable build, and before the loading has finished (in another library's
// static constructors, say), where the portable forms give the same results.
extern const instruction_sets usable_instruction_sets;

}  // namespace cantext::detail

#endif
