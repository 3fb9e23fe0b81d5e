// SPDX-License-Identifier: MIT
// The fuzzing engine's entry point for one target, chosen when the target is built.
#include "fuzz_targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return CANTEXT_FUZZ_TARGET::fuzz_one(data, size);
}
