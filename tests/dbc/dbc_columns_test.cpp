// SPDX-License-Identifier: MIT
// Multiplexing, and a whole log decoded into columns agreeing with frames decoded one by one.
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbc_test_support.hpp"

namespace {

using namespace cantext::dbc;
using signal = cantext::dbc::signal;  // not the C library's signal()

// Which signals of extended_mux.dbc's message a service and subfunction select.
struct selection_case {
  const char* name;
  std::uint8_t service;
  std::uint8_t subfunction;
  std::set<std::string> present;
};

const selection_case selection_cases[] = {
    {"session", 16, 1, {"Service", "Subfunction", "Session"}},
    {"delay", 17, 3, {"Service", "Subfunction", "Delay"}},
    {"mode_in_range", 16, 11, {"Service", "Subfunction", "Mode"}},
    {"mode_single", 17, 2, {"Service", "Subfunction", "Mode"}},
    {"level", 17, 5, {"Service", "Subfunction", "Level"}},
    {"sub_unselected", 16, 9, {"Service", "Subfunction"}},
    {"identifier", 46, 1, {"Service", "Identifier"}},
    {"data_range", 7, 1, {"Service", "Data"}},
    {"nothing_else", 1, 1, {"Service"}},
};

class selection : public ::testing::TestWithParam<selection_case> {};

TEST_P(selection, selects_by_multiplexer_chains) {
  const database db = dbc_test::load_data_file("extended_mux.dbc");
  const message& m = db.messages.at(0);
  std::uint8_t data[8] = {
      GetParam().service, GetParam().subfunction, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  std::vector<signal_value> v(m.signals.size());
  const std::size_t count = decode(m, data, sizeof data, v.data());
  std::set<std::string> present;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i].present) present.insert(m.signals[i].name);
  }
  EXPECT_EQ(present, GetParam().present);
  EXPECT_EQ(count, present.size());
}

INSTANTIATE_TEST_SUITE_P(cases, selection, ::testing::ValuesIn(selection_cases),
                         [](const auto& row) { return std::string(row.param.name); });

// The three ways of filling columns: decode_rows in row order, decode_message_rows one message
// at a time, decode_log in blocks.
enum class filler { rows, messages, log };

void fill(filler how, const database& db, const frame_columns& frames,
          const std::vector<std::uint32_t>& message_of_row, std::vector<message_columns>& out,
          bool scaling) {
  switch (how) {
    case filler::rows:
      decode_rows(db, frames, message_of_row.data(), out.data(), scaling);
      break;
    case filler::messages:
      for (std::size_t m = 0; m < db.messages.size(); ++m) {
        std::vector<std::uint32_t> rows;
        for (std::size_t row = 0; row < frames.count; ++row) {
          if (message_of_row[row] == m) rows.push_back(static_cast<std::uint32_t>(row));
        }
        decode_message_rows(db.messages[m], frames, rows.data(), rows.size(), out[m], scaling);
      }
      break;
    case filler::log: {
      std::vector<std::uint32_t> scratch(log_scratch_words(db));
      decode_log(db, frames, out.data(), scaling, scratch.data());
      break;
    }
  }
}

class dbc_columns : public ::testing::TestWithParam<filler> {};

// Random frames of every message of the files, some unknown, remote or short, over several of
// decode_log's blocks: the columns hold what decode gives frame by frame, and the fields of the
// frame's row.
TEST_P(dbc_columns, agree_with_frames_decoded_one_by_one) {
  // mux_chain.dbc has more multiplexers than the batches take: its frames go one by one.
  for (const char* file : {"features.dbc", "extended_mux.dbc", "mux_chain.dbc"}) {
    const database db = dbc_test::load_data_file(file);
    std::mt19937_64 rng(99);
    std::vector<cantext::frame_record> frames(2 * log_block_rows + 1000);
    std::vector<std::uint16_t> tags(frames.size());
    for (std::size_t row = 0; row < frames.size(); ++row) {
      cantext::frame_record& f = frames[row];
      const message& m = db.messages[static_cast<std::size_t>(rng() % db.messages.size())];
      const unsigned pick = static_cast<unsigned>(rng() % 20);
      f.can_id = pick == 0 ? 0x7FF : pick == 1 ? m.can_id() | cantext::can_rtr_flag : m.can_id();
      f.len = static_cast<std::uint8_t>(pick == 2 && m.length > 0 ? m.length - 1 : m.length);
      for (std::uint8_t& b : f.data) b = static_cast<std::uint8_t>(rng());
      tags[row] = static_cast<std::uint16_t>(rng());
    }
    // Two fields: one of the frame record, one of a column of its own.
    const row_field fields[] = {
        {&frames[0].len, static_cast<std::ptrdiff_t>(sizeof(cantext::frame_record)), 1},
        {tags.data(), 2, 2}};
    for (const bool scaling : {true, false}) {
      std::vector<std::uint32_t> message_of_row(frames.size());
      std::vector<std::size_t> counts(db.messages.size());
      cantext::dbc::frame_columns columns = columns_of(frames.data(), frames.size());
      columns.fields = fields;
      columns.field_count = 2;
      const std::size_t matched = match_rows(db, columns, message_of_row.data(), counts.data());
      std::vector<std::vector<std::uint64_t>> storage;  // 8-byte elements of any column type
      std::vector<std::vector<void*>> pointers(db.messages.size());
      std::vector<std::vector<std::uint64_t>> rows(db.messages.size());
      std::vector<std::vector<std::uint8_t>> lens(db.messages.size());
      std::vector<std::vector<std::uint16_t>> row_tags(db.messages.size());
      std::vector<std::vector<void*>> field_pointers(db.messages.size());
      std::vector<message_columns> out(db.messages.size());
      storage.reserve(1000);
      for (std::size_t m = 0; m < db.messages.size(); ++m) {
        for (std::size_t i = 0; i < db.messages[m].signals.size(); ++i) {
          storage.emplace_back(counts[m]);
          pointers[m].push_back(storage.back().data());
        }
        rows[m].resize(counts[m]);
        lens[m].resize(counts[m]);
        row_tags[m].resize(counts[m]);
        field_pointers[m] = {lens[m].data(), row_tags[m].data()};
        out[m] = {pointers[m].data(), rows[m].data(), 0, field_pointers[m].data()};
      }
      fill(GetParam(), db, columns, message_of_row, out, scaling);

      std::size_t expected_matched = 0;
      std::vector<std::size_t> seen(db.messages.size());
      for (std::size_t row = 0; row < frames.size(); ++row) {
        const cantext::frame_record& f = frames[row];
        const message* m = find_message(db, f.can_id);
        if (m == nullptr || f.len < m->length) {
          EXPECT_EQ(message_of_row[row], m == nullptr ? no_message : short_frame);
          continue;
        }
        ++expected_matched;
        const auto index = static_cast<std::size_t>(m - db.messages.data());
        const std::size_t k = seen[index]++;
        ASSERT_EQ(rows[index][k], row);
        EXPECT_EQ(lens[index][k], f.len);
        EXPECT_EQ(row_tags[index][k], tags[row]);
        std::vector<signal_value> v(m->signals.size());
        decode(*m, f.data, f.len, v.data());
        for (std::size_t i = 0; i < v.size(); ++i) {
          const signal& s = m->signals[i];
          const std::uint64_t cell = static_cast<std::uint64_t*>(out[index].signals[i])[k];
          const bool raw = !scaling || !s.choices.empty();
          switch (column_type_of(s, scaling)) {
            case column_type::uint64:
              EXPECT_EQ(cell, v[i].raw);
              break;
            case column_type::int64: {
              std::int64_t value;
              std::memcpy(&value, &cell, sizeof value);
              EXPECT_EQ(static_cast<double>(value), raw ? raw_number(s, v[i].raw) : v[i].physical)
                  << s.name;
              break;
            }
            case column_type::float64: {
              double value;
              std::memcpy(&value, &cell, sizeof value);
              const double expected = raw ? raw_number(s, v[i].raw) : v[i].physical;
              if (!v[i].present) {
                EXPECT_TRUE(std::isnan(value)) << s.name;
              } else if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(value)) << s.name;
              } else {
                EXPECT_EQ(value, expected) << s.name;
              }
              break;
            }
          }
        }
      }
      EXPECT_EQ(matched, expected_matched);
      for (std::size_t m = 0; m < db.messages.size(); ++m) EXPECT_EQ(out[m].filled, counts[m]);
    }
  }
}

std::string filler_name(const ::testing::TestParamInfo<filler>& info) {
  const char* const names[] = {"decode_rows", "decode_message_rows", "decode_log"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(fillers, dbc_columns,
                         ::testing::Values(filler::rows, filler::messages, filler::log),
                         filler_name);

}  // namespace
