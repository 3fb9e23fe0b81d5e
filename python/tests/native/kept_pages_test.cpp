// SPDX-License-Identifier: MIT
// Which kept mapping a request gets, and which are let go to make room.
#include "kept_pages.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstddef>
#include <vector>

namespace {

using cantext_python::keep_pages;
using cantext_python::kept_mapping;
using cantext_python::take_kept_pages;

constexpr std::size_t MiB = std::size_t{1} << 20;

// The kept store is the process's own: each case starts with it empty.
void take_all() {
  for (kept_mapping m; (m = take_kept_pages(SIZE_MAX)).base != nullptr;) ::munmap(m.base, m.bytes);
}

void keep_new(std::size_t bytes) {
  void* base = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(base, MAP_FAILED);
  static_cast<char*>(base)[bytes - 1] = 1;
  keep_pages(base, bytes);
}

struct take_case {
  const char* name;
  std::vector<std::size_t> kept_mib;  // kept in this order
  std::size_t wanted_mib;
  std::size_t got_mib;  // 0: none
};

class KeptPages : public testing::TestWithParam<take_case> {};

TEST_P(KeptPages, TakeTheBestFit) {
  const take_case& c = GetParam();
  take_all();
  for (const std::size_t mib : c.kept_mib) keep_new(mib * MiB);
  const kept_mapping got = take_kept_pages(c.wanted_mib * MiB);
  EXPECT_EQ(got.bytes, c.got_mib * MiB);
  EXPECT_EQ(got.base == nullptr, c.got_mib == 0);
  if (got.base != nullptr) {
    // Usable to its end.
    static_cast<char*>(got.base)[got.bytes - 1] = 2;
    ::munmap(got.base, got.bytes);
  }
  take_all();
}

INSTANTIATE_TEST_SUITE_P(Requests, KeptPages,
                         testing::Values(take_case{"none_kept", {}, 4, 0},
                                         take_case{"largest_that_fits", {1, 8, 4, 2}, 6, 4},
                                         take_case{"exact", {2, 64, 8}, 64, 64},
                                         take_case{"larger_cut_down", {16, 8}, 6, 6},
                                         take_case{"oldest_let_go_for_room", {200, 100}, 256, 100},
                                         take_case{"too_large_to_keep", {300}, 300, 0}),
                         [](const testing::TestParamInfo<take_case>& row) {
                           return row.param.name;
                         });

TEST(KeptPages, TheOldestGoWhenTooManyAreKept) {
  take_all();
  for (std::size_t i = 1; i <= 40; ++i) keep_new(i * 64 * 1024);
  std::size_t smallest = SIZE_MAX;
  std::size_t count = 0;
  for (kept_mapping m; (m = take_kept_pages(SIZE_MAX)).base != nullptr; ++count) {
    smallest = std::min(smallest, m.bytes);
    ::munmap(m.base, m.bytes);
  }
  EXPECT_EQ(count, 32u);
  EXPECT_EQ(smallest, 9 * 64 * 1024u);
}

}  // namespace
