// SPDX-License-Identifier: MIT
#include "instruction_sets.hpp"

namespace cantext::detail {
namespace {

instruction_sets ask_processor() noexcept {
#if CANTEXT_X86_KERNELS
  // The answers are filled in by a static constructor of the compiler's run-time support, which
  // may not have run yet.
  __builtin_cpu_init();
  return {__builtin_cpu_supports("ssse3") != 0, __builtin_cpu_supports("avx2") != 0};
#else
  return {false, false};
#endif
}

}  // namespace

const instruction_sets usable_instruction_sets = ask_processor();

}  // namespace cantext::detail
