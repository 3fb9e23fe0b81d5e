// SPDX-License-Identifier: MIT
// The long form is built in more than one way: with byte shuffles where the processor has them
// or with tables, and for the filter's usual view by a shorter route of whole-word stores.  The
// compact form too is built with byte shuffles or with tables.  Every way must give the same
// text for every record.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "cantext/cantext.hpp"
#include "render/compact_form_inline.hpp"
#include "render/compact_form_render.hpp"
#include "render/long_form_render.hpp"

namespace {

using namespace cantext;

constexpr unsigned usual_view = VIEW_ASCII | VIEW_ALIGN_SFF;

struct kind_case {
  const char* name;
  std::uint32_t can_id;
};

const kind_case kind_cases[] = {
    {"standard", 0x123},
    {"standard_highest", 0x7FF},
    {"standard_unmasked_bits", 0xFFF},
    {"extended", CAN_EFF_FLAG | 0x12345678},
    {"extended_highest", CAN_EFF_FLAG | CAN_EFF_MASK},
    {"extended_unmasked_bits", CAN_EFF_FLAG | 0xFFFFFFFF},
    {"error", CAN_ERR_FLAG | 0x00000080},
    {"error_with_extended_flag", CAN_ERR_FLAG | CAN_EFF_FLAG | 0x1FFFFFFF},
    {"remote_standard", CAN_RTR_FLAG | 0x244},
    {"remote_extended", CAN_RTR_FLAG | CAN_EFF_FLAG | 0x1ABCDE00},
};

// Data bytes around every edge of the character column (0x1F/0x20, 0x7E/0x7F, 0x80, 0xFF) and
// of the digits (0x09/0x0A, 0x9F/0xA0), mixed with seeded random ones.
void fill_data(frame_record& r, unsigned seed) {
  static constexpr std::uint8_t edges[] = {0x00, 0x09, 0x0A, 0x1F, 0x20, 0x41, 0x7E,
                                           0x7F, 0x80, 0x9F, 0xA0, 0xFE, 0xFF};
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < sizeof r.data; ++i) {
    r.data[i] = (rng() % 2) ? edges[rng() % sizeof edges] : static_cast<std::uint8_t>(rng());
  }
}

std::string text_of(char* (*render)(char*, const frame_record&, unsigned, int),
                    const frame_record& r, unsigned view, int maxdlen) {
  char buf[LONG_FORM_BUF_SIZE];
  return std::string(buf, render(buf, r, view, maxdlen));
}

class long_form_paths : public testing::TestWithParam<kind_case> {};

TEST_P(long_form_paths, every_way_gives_the_same_text) {
  for (int len = 0; len <= 64; ++len) {
    for (unsigned seed = 0; seed < 8; ++seed) {
      frame_record r;
      std::memset(&r, 0, sizeof r);
      r.can_id = GetParam().can_id;
      r.len = static_cast<std::uint8_t>(len);
      fill_data(r, seed * 131 + static_cast<unsigned>(len));
      for (int maxdlen : {CAN_MAX_DLEN, CANFD_MAX_DLEN, 12, 0, -1}) {
        for (unsigned view = 0; view < 0x20; ++view) {
          EXPECT_EQ(text_of(detail::render_long, r, view, maxdlen),
                    text_of(detail::render_long_portable, r, view, maxdlen))
              << "len " << len << " view " << view << " maxdlen " << maxdlen;
        }
        // The description flag is no concern of the text itself, so it turns the usual view
        // onto the general route: both routes must agree.
        EXPECT_EQ(text_of(detail::render_long, r, usual_view, maxdlen),
                  text_of(detail::render_long, r, usual_view | VIEW_ERROR, maxdlen))
            << "len " << len << " maxdlen " << maxdlen;
      }
    }
  }
}

std::string compact_text_of(char* (*render)(char*, const frame_record&, bool, int),
                            const frame_record& r, bool sep, int maxdlen) {
  char buf[COMPACT_FORM_BUF_SIZE];
  return std::string(buf, render(buf, r, sep, maxdlen));
}

// The writers' inline way, which has no separators.
char* render_compact_inline(char* out, const frame_record& r, bool, int maxdlen) {
  return detail::render_compact_inline(out, r, maxdlen);
}

TEST_P(long_form_paths, compact_form_every_way_gives_the_same_text) {
  for (int len = 0; len <= 64; ++len) {
    frame_record r;
    std::memset(&r, 0, sizeof r);
    r.can_id = GetParam().can_id;
    r.len = static_cast<std::uint8_t>(len);
    r.flags = static_cast<std::uint8_t>(len * 37);
    fill_data(r, static_cast<unsigned>(len));
    for (int maxdlen : {CAN_MAX_DLEN, CANFD_MAX_DLEN, 12, 0, -1}) {
      for (bool sep : {false, true}) {
        EXPECT_EQ(compact_text_of(detail::render_compact, r, sep, maxdlen),
                  compact_text_of(detail::render_compact_portable, r, sep, maxdlen))
            << "len " << len << " sep " << sep << " maxdlen " << maxdlen;
      }
      EXPECT_EQ(compact_text_of(render_compact_inline, r, false, maxdlen),
                compact_text_of(detail::render_compact_portable, r, false, maxdlen))
          << "len " << len << " maxdlen " << maxdlen;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(kinds, long_form_paths, testing::ValuesIn(kind_cases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
