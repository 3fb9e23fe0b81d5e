// SPDX-License-Identifier: MIT
// Each form of the line-break count against std::count, around the steps of eight and sixteen
// bytes and the summing of the byte counters every 255 steps.
#include "line_breaks.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct count_case {
  std::size_t size;
  unsigned breaks_in_64;  // how many bytes in 64 are line breaks, at random places
};

class LineBreaks : public testing::TestWithParam<count_case> {};

TEST_P(LineBreaks, CountAsTheStandardLibraryDoes) {
  const count_case c = GetParam();
  std::mt19937 random(static_cast<unsigned>(c.size * 131 + c.breaks_in_64));
  std::vector<char> text(c.size + 1);
  for (char& ch : text)
    ch = random() % 64 < c.breaks_in_64 ? '\n' : static_cast<char>('!' + random() % 90);
  // From every start within sixteen bytes, so that the steps fall differently.
  for (std::size_t start = 0; start < std::min<std::size_t>(17, c.size + 1); ++start) {
    const char* const begin = text.data() + start;
    const char* const end = text.data() + c.size;
    const auto expected = static_cast<std::uint64_t>(std::count(begin, end, '\n'));
    EXPECT_EQ(cantext_python::line_breaks_portable(begin, end), expected) << "start " << start;
#if CANTEXT_X86_KERNELS
    EXPECT_EQ(cantext_python::line_breaks_sse2(begin, end), expected) << "start " << start;
#endif
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LineBreaks,
                         testing::Values(count_case{0, 32}, count_case{15, 64}, count_case{16, 64},
                                         count_case{33, 3}, count_case{4080, 64},
                                         count_case{4096, 64}, count_case{70000, 64},
                                         count_case{70000, 2}, count_case{70000, 0}));

}  // namespace
