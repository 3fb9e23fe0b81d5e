// SPDX-License-Identifier: MIT
// The frame selector, the reader loop's form of a frame filter, gives the filter's own verdict
// for frames of every kind and channels of every length, whatever the filter: whether its table
// answers or the items are asked, whether a name is one word or longer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string_view>

#include "frame_filter.hpp"
#include "frame_selector.hpp"

namespace {

using namespace cantext::reader;

struct filter_row {
  const char* ids;       // --id, or null
  const char* channels;  // --channel, or null
  int errors;            // 1: errors only, -1: no errors
};

const filter_row filters[] = {
    {"123,7E0-7EF", nullptr, 0},
    {"18FEF100,00000123,100-1FF", "can1", 0},
    {"100:700,~18FEF100:1FFFFF00", nullptr, -1},
    {"123:400007FF,7FF", nullptr, 0},  // the mask tells remote requests apart
    {"004:00000004", "can0,a_name_longer_than_a_word", 0},
    {nullptr, "x,can0,vcan0,12345678", 0},
    {nullptr, nullptr, 1},
    {"100,101,102,103,104,105,106,107,7E0-7EF,~18FEF100:1FFFFF00", nullptr, 0},  // many items
    {"000:000,00000000:00000000", "can0,can1", 0},
    // A mask over bits no standard identifier has; ranges whose ends are on and off the edges
    // of the 2^18 extended identifiers that share a table entry.
    {"123:1FFFFFFF,00FC0000-0103FFFF,00F12345-01012345", nullptr, 0},
    {"~000:20000000", "c0,c1,c2,c3,c4,c5,c6,c7,c8,c9,ca,cb,cc,cd,can0,vcan0", 0},  // every slot
};

// Channel names, put in a buffer with room to read past them as the reader's fields have.
// One has a zero byte: it is not the name it starts with.
using namespace std::string_view_literals;
const std::string_view channels[] = {"can0", "can1",  "vcan0",    "x", "can0\0"sv,
                                     "c7",   "can10", "12345678", "",  "a_name_longer_than_a_word"};

// The verdict of the test made for what the filter holds alone, as a reading made for it asks.
bool keeps_as_made(const frame_selector& s, const cantext::frame_record& record,
                   std::string_view channel) {
  switch (s.tests()) {
    case frame_selector::by_frame:
      return s.keeps<frame_selector::by_frame>(record, channel);
    case frame_selector::by_channel:
      return s.keeps<frame_selector::by_channel>(record, channel);
    default:
      return s.keeps<frame_selector::by_frame | frame_selector::by_channel>(record, channel);
  }
}

TEST(frame_selector, gives_the_filters_verdict) {
  std::mt19937 random(7);
  char room[64 + field_read_room] = {};
  for (const filter_row& row : filters) {
    frame_filter filter;
    const char* problem = nullptr;
    ASSERT_TRUE(row.ids == nullptr || add_ids(filter, row.ids, problem)) << row.ids;
    ASSERT_TRUE(row.channels == nullptr || add_channels(filter, row.channels, problem));
    filter.errors_only = row.errors > 0;
    filter.no_errors = row.errors < 0;
    const frame_selector selector(filter);
    for (std::size_t i = 0; i < 20000; ++i) {
      cantext::frame_record record{};
      const std::uint32_t bits = static_cast<std::uint32_t>(random());
      // Of each kind: standard, extended near the rows' identifiers (among them on either side
      // of the edges of table entries) or anywhere, error frames, each with or without the
      // remote request flag.
      const std::uint32_t edge = ((0x3C + (bits & 7)) << 18) - (bits >> 3 & 1);
      const std::uint32_t kinds[] = {bits & 0x7FF,
                                     0x80000000 | (0x18FEF100 ^ (bits & 0x3FF)),
                                     0x80000000 | (0xF00000 + (bits & 0x1FFFFF)),
                                     0x80000000 | edge,
                                     0x80000000 | (bits & 0x1FFFFFFF),
                                     0x20000000 | (bits & 0x3FF),
                                     0x80000000 | (bits & 0x7FF)};
      record.can_id = kinds[i % 7] | ((bits >> 31) != 0 ? 0x40000000 : 0);
      const std::string_view name = channels[(i / 7) % std::size(channels)];
      std::memset(room, '#', sizeof room);  // what follows a field in a line
      std::memcpy(room, name.data(), name.size());
      const std::string_view channel(room, name.size());
      const bool kept = keeps(filter, record, channel);
      ASSERT_EQ(selector.keeps(record, channel), kept)
          << (row.ids ? row.ids : "") << " " << std::hex << record.can_id << " " << name;
      ASSERT_EQ(keeps_as_made(selector, record, channel), kept)
          << (row.ids ? row.ids : "") << " " << std::hex << record.can_id << " " << name;
    }
  }
}

}  // namespace
