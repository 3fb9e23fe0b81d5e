// SPDX-License-Identifier: MIT
#include "fuzz_check.hpp"

#include <cstdio>
#include <cstdlib>

namespace cantext_fuzz {
namespace {

const char* input_name = nullptr;

}  // namespace

void fail(const char* condition, const char* file, int line) noexcept {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  if (input_name != nullptr) std::fprintf(stderr, "input: %s\n", input_name);
  std::abort();
}

void set_input_name(const char* name) noexcept {
  input_name = name;
}

}  // namespace cantext_fuzz
