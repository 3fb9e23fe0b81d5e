// SPDX-License-Identifier: MIT
// format_error_description and append_bit_names: every class and detail, the separator, the
// invalid classes on standard error, and the cut at the end of the caller's room.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "error_frame_support.hpp"

namespace {

using namespace cantext;
using namespace error_frame_support;

struct description_case {
  const char* name;
  frame_record record;
  const char* sep;
  std::string text;
  std::string message;  // expected on standard error
};

const char* const tab_sep = "\n\t";

const description_case cases[] = {
    // Each class alone, with its details.
    {"tx_timeout", record_of(0x20000001), nullptr, "tx-timeout", ""},
    {"lost_arbitration", record_of(0x20000002, {5}), nullptr, "lost-arbitration{at bit 5}", ""},
    {"lost_arbitration_bit_0", record_of(0x20000002), nullptr, "lost-arbitration{at bit 0}", ""},
    {"lost_arbitration_two_digits", record_of(0x20000002, {42}), nullptr,
     "lost-arbitration{at bit 42}", ""},
    {"lost_arbitration_three_digits", record_of(0x20000002, {200}), nullptr,
     "lost-arbitration{at bit 200}", ""},
    {"controller_problem", record_of(0x20000004, {0, 0x05}), nullptr,
     "controller-problem{rx-overflow,rx-error-warning}", ""},
    {"controller_problem_none", record_of(0x20000004), nullptr, "controller-problem{}", ""},
    {"controller_problem_bit_7_not_named", record_of(0x20000004, {0, 0x80}), nullptr,
     "controller-problem{}", ""},
    {"controller_problem_last", record_of(0x20000004, {0, 0x40}), nullptr,
     "controller-problem{back-to-error-active}", ""},
    {"controller_problem_passive", record_of(0x20000004, {0, 0x30}), nullptr,
     "controller-problem{rx-error-passive,tx-error-passive}", ""},
    {"controller_problem_overflow_warning", record_of(0x20000004, {0, 0x0A}), nullptr,
     "controller-problem{tx-overflow,tx-error-warning}", ""},
    {"protocol_violation", record_of(0x20000008, {0, 0, 0x03, 10}), nullptr,
     "protocol-violation{{single-bit-error,frame-format-error}{data-field}}", ""},
    {"protocol_violation_empty", record_of(0x20000008), nullptr, "protocol-violation{{}{}}", ""},
    {"protocol_violation_location_0", record_of(0x20000008, {0, 0, 0x80, 0}), nullptr,
     "protocol-violation{{error-on-tx}{}}", ""},
    {"protocol_violation_location_1", record_of(0x20000008, {0, 0, 0x04, 1}), nullptr,
     "protocol-violation{{bit-stuffing-error}{unspecified}}", ""},
    {"protocol_violation_location_2", record_of(0x20000008, {0, 0, 0x08, 2}), nullptr,
     "protocol-violation{{tx-dominant-bit-error}{id.28-to-id.28}}", ""},
    {"protocol_violation_location_31", record_of(0x20000008, {0, 0, 0x10, 31}), nullptr,
     "protocol-violation{{tx-recessive-bit-error}{unspecified}}", ""},
    {"protocol_violation_location_32", record_of(0x20000008, {0, 0, 0x20, 32}), nullptr,
     "protocol-violation{{bus-overload}{}}", ""},
    {"protocol_violation_location_255", record_of(0x20000008, {0, 0, 0x40, 255}), nullptr,
     "protocol-violation{{active-error}{}}", ""},
    {"protocol_violation_location_only", record_of(0x20000008, {0, 0, 0, 27}), nullptr,
     "protocol-violation{{}{acknowledge-delimiter}}", ""},
    {"transceiver_status_reads_no_detail", record_of(0x20000010, {0, 0, 0, 0, 0xFF, 0xFF}), nullptr,
     "transceiver-status", ""},
    {"no_acknowledgement", record_of(0x20000020), nullptr, "no-acknowledgement-on-tx", ""},
    {"bus_off", record_of(0x20000040), nullptr, "bus-off", ""},
    {"bus_error", record_of(0x20000080), nullptr, "bus-error", ""},
    {"restarted", record_of(0x20000100), nullptr, "restarted-after-bus-off", ""},
    // Entries joined by the separator; the names inside braces always by ",".
    {"sep_absent", record_of(0x20000003, {5}), nullptr, "tx-timeout,lost-arbitration{at bit 5}",
     ""},
    {"sep_tab", record_of(0x20000003, {5}), tab_sep, "tx-timeout\n\tlost-arbitration{at bit 5}",
     ""},
    {"sep_empty", record_of(0x20000041), "", "tx-timeoutbus-off", ""},
    {"sep_long_inner_commas", record_of(0x2000000C, {0, 0x05, 0x03, 10}), " | ",
     "controller-problem{rx-overflow,rx-error-warning} | "
     "protocol-violation{{single-bit-error,frame-format-error}{data-field}}",
     ""},
    {"classes_in_bit_order", record_of(0x200001F0), ";",
     "transceiver-status;no-acknowledgement-on-tx;bus-off;bus-error;restarted-after-bus-off", ""},
    // The counters, alone or after the classes.
    {"counters_alone", record_of(0x20000000, {0, 0, 0, 0, 0, 0, 1, 2}), nullptr,
     ",error-counter-tx-rx{{1}{2}}", ""},
    {"counters_alone_tab", record_of(0x20000000, {0, 0, 0, 0, 0, 0, 1, 2}), tab_sep,
     "\n\terror-counter-tx-rx{{1}{2}}", ""},
    {"counters_with_class_0x200", record_of(0x20000200, {0, 0, 0, 0, 0, 0, 1, 2}), nullptr,
     ",error-counter-tx-rx{{1}{2}}", ""},
    {"counter_tx_only", record_of(0x20000000, {0, 0, 0, 0, 0, 0, 7, 0}), nullptr,
     ",error-counter-tx-rx{{7}{0}}", ""},
    {"counter_rx_only", record_of(0x20000000, {0, 0, 0, 0, 0, 0, 0, 128}), nullptr,
     ",error-counter-tx-rx{{0}{128}}", ""},
    {"counters_after_class", record_of(0x20000040, {0, 0, 0, 0, 0, 0, 96, 127}), tab_sep,
     "bus-off\n\terror-counter-tx-rx{{96}{127}}", ""},
    // Nothing to say.
    {"class_0", record_of(0x20000000), nullptr, "", ""},
    {"class_0x200", record_of(0x20000200), nullptr, "", ""},
    {"not_an_error_frame", record_of(0x004, {0, 0x05, 0, 0, 0, 0, 1, 2}), nullptr, "", ""},
    {"extended_frame", record_of(0x80000004, {0, 0x05}), nullptr, "", ""},
    // Other identifier flags do not count as classes.
    {"flags_above_the_class", record_of(0xE0000004, {0, 0x01}), nullptr,
     "controller-problem{rx-overflow}", ""},
    // Invalid classes: an empty text and one message.
    {"class_0x201", record_of(0x20000201, {0, 0, 0, 0, 0, 0, 1, 2}), nullptr, "",
     "Error class 0x201 is invalid\n"},
    {"class_0x3ff", record_of(0x200003FF), nullptr, "", "Error class 0x3ff is invalid\n"},
    {"class_all_bits", record_of(0x3FFFFFFF), nullptr, "", "Error class 0x1fffffff is invalid\n"},
};

void PrintTo(const description_case& c, std::ostream* os) {
  *os << c.name;
}

class description : public testing::TestWithParam<description_case> {};

TEST_P(description, says_exactly) {
  const description_case& c = GetParam();
  char buf[ERROR_DESCRIPTION_BUF_SIZE + 16];
  std::memset(buf, 0x5A, sizeof buf);
  const std::string message = captured_stderr(
      [&] { format_error_description(buf, ERROR_DESCRIPTION_BUF_SIZE, c.record, c.sep); });
  EXPECT_EQ(std::string(buf), c.text);
  EXPECT_EQ(message, c.message);
  // Nothing is written past the terminator.
  for (std::size_t i = c.text.size() + 1; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0x5A) << i;
}

INSTANTIATE_TEST_SUITE_P(examples, description, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

std::string described(const frame_record& record, const char* sep) {
  char buf[ERROR_DESCRIPTION_BUF_SIZE];
  format_error_description(buf, sizeof buf, record, sep);
  return buf;
}

TEST(description_numbers, every_byte_value_in_decimal) {
  for (int v = 0; v < 256; ++v) {
    const auto b = static_cast<std::uint8_t>(v);
    const std::string d = std::to_string(v);
    EXPECT_EQ(described(record_of(0x20000002, {b}), nullptr), "lost-arbitration{at bit " + d + "}");
    EXPECT_EQ(described(record_of(0x20000000, {0, 0, 0, 0, 0, 0, b, 1}), ""),
              "error-counter-tx-rx{{" + d + "}{1}}");
    EXPECT_EQ(described(record_of(0x20000000, {0, 0, 0, 0, 0, 0, 1, b}), ""),
              "error-counter-tx-rx{{1}{" + d + "}}");
  }
}

TEST(description_size, the_longest_text_is_483_characters_and_fits_the_buffer) {
  const std::string text = described(longest_error, "\n\t");
  EXPECT_EQ(text, longest_description);
  EXPECT_EQ(text.size(), 483U);
  EXPECT_EQ(ERROR_DESCRIPTION_BUF_SIZE, text.size() + 1);
}

TEST(description_size, no_location_or_counter_makes_it_longer) {
  frame_record r = longest_error;
  for (int location = 0; location < 256; ++location) {
    r.data[3] = static_cast<std::uint8_t>(location);
    EXPECT_LE(described(r, "\n\t").size(), 483U) << location;
  }
}

TEST(description_size, the_buffer_size_follows_the_separator_length) {
  for (const char* sep : {"", ",", "\n\t", " | ", "<-=->"}) {
    char buf[error_description_buf_size(5) + 8];
    format_error_description(buf, sizeof buf, longest_error, sep);
    EXPECT_EQ(std::strlen(buf) + 1, error_description_buf_size(std::strlen(sep))) << sep;
  }
}

// The cut at every room from a single character to the whole text.
TEST(description_cut, every_room_holds_the_prefix_and_nothing_beyond) {
  constexpr std::size_t guard = 32;
  for (const char* sep : {"\n\t", static_cast<const char*>(nullptr)}) {
    const std::string full = described(longest_error, sep);
    for (std::size_t cap = 1; cap <= full.size() + 1; ++cap) {
      std::vector<char> buf(cap + guard, 0x5A);
      format_error_description(buf.data(), cap, longest_error, sep);
      ASSERT_EQ(std::string(buf.data()), full.substr(0, cap - 1)) << cap;
      for (std::size_t i = cap; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0x5A) << cap << " " << i;
    }
  }
}

TEST(description_cut, no_room_touches_nothing) {
  for (std::uint32_t id : {0x200001FFU, 0x20000000U, 0x123U}) {
    char buf[16];
    std::memset(buf, 0x5A, sizeof buf);
    format_error_description(buf, 0, record_of(id, {1, 2, 3, 4, 5, 6, 7, 8}), nullptr);
    for (char c : buf) ASSERT_EQ(c, 0x5A) << id;
    format_error_description(nullptr, 0, record_of(id, {1, 2, 3, 4, 5, 6, 7, 8}), nullptr);
  }
}

TEST(description_cut, no_room_still_reports_an_invalid_class) {
  const std::string message =
      captured_stderr([] { format_error_description(nullptr, 0, record_of(0x20000400), ","); });
  EXPECT_EQ(message, "Error class 0x400 is invalid\n");
}

// append_bit_names on its own.
struct names_case {
  const char* name;
  unsigned bits;
  const char* const* names;
  int count;
  std::size_t cap;
  std::string text;
  int total;
};

const char* const letters[40] = {"a0",  "a1",  "a2",  "a3",  "a4",  "a5",  "a6",  "a7",
                                 "a8",  "a9",  "a10", "a11", "a12", "a13", "a14", "a15",
                                 "a16", "a17", "a18", "a19", "a20", "a21", "a22", "a23",
                                 "a24", "a25", "a26", "a27", "a28", "a29", "a30", "a31",
                                 "a32", "a33", "a34", "a35", "a36", "a37", "a38", "a39"};
const char* const empty_first[2] = {"", "b"};

const names_case name_cases[] = {
    {"two_problems", 0x05, controller_problem_names, 7, 64, "rx-overflow,rx-error-warning", 28},
    {"no_bits", 0, controller_problem_names, 7, 64, "", 0},
    {"count_zero", 0xFF, controller_problem_names, 0, 64, "", 0},
    {"count_negative", 0xFF, controller_problem_names, -3, 64, "", 0},
    {"bits_past_count_ignored", 0x80, controller_problem_names, 7, 64, "", 0},
    {"all_types", 0xFF, violation_type_names, 8, 256,
     "single-bit-error,frame-format-error,bit-stuffing-error,tx-dominant-bit-error,"
     "tx-recessive-bit-error,bus-overload,active-error,error-on-tx",
     137},
    {"cut_in_a_name", 0x05, controller_problem_names, 7, 5, "rx-o", 28},
    {"cut_before_the_comma", 0x05, controller_problem_names, 7, 12, "rx-overflow", 28},
    {"cut_after_the_comma", 0x05, controller_problem_names, 7, 13, "rx-overflow,", 28},
    {"room_for_the_terminator_only", 0x05, controller_problem_names, 7, 1, "", 28},
    {"exact_fit", 0x05, controller_problem_names, 7, 29, "rx-overflow,rx-error-warning", 28},
    {"more_names_than_bits", 0x80000001, letters, 40, 64, "a0,a31", 6},
    {"empty_name_still_counts", 0x03, empty_first, 2, 64, ",b", 2},
};

void PrintTo(const names_case& c, std::ostream* os) {
  *os << c.name;
}

class bit_names : public testing::TestWithParam<names_case> {};

TEST_P(bit_names, lists_and_counts) {
  const names_case& c = GetParam();
  std::vector<char> buf(c.cap + 16, 0x5A);
  EXPECT_EQ(append_bit_names(buf.data(), c.cap, c.bits, c.names, c.count), c.total);
  EXPECT_EQ(std::string(buf.data()), c.text);
  for (std::size_t i = c.text.size() + 1; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0x5A) << i;
}

INSTANTIATE_TEST_SUITE_P(examples, bit_names, testing::ValuesIn(name_cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(bit_names_room, no_room_writes_nothing_and_still_counts) {
  char guard = 0x5A;
  EXPECT_EQ(append_bit_names(&guard, 0, 0x7F, controller_problem_names, 7), 112);
  EXPECT_EQ(guard, 0x5A);
  EXPECT_EQ(append_bit_names(nullptr, 0, 0xFF, violation_type_names, 8), 137);
}

}  // namespace
