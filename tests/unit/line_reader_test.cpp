// SPDX-License-Identifier: MIT
// The line reader: every way of marking blocks (portable words, SSE2, AVX2 where the processor
// has it) gives the bits of the plain per-character rule, and the reader hands over the lines of
// the plain model with each of them, whatever the sizes of the reads, and when its consumer
// stops after every line and reads on.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "line_model.hpp"
#include "line_reader.hpp"

namespace {

using namespace cantext::reader;

struct named_marker {
  const char* name;
  mark_function mark;
};

std::vector<named_marker> available_markers() {
  std::vector<named_marker> all = {{"portable", portable_mark_function()},
                                   {"sse2", sse2_mark_function()},
                                   {"avx2", avx2_mark_function()},
                                   {"best", best_mark_function()}};
  std::vector<named_marker> present;
  for (const auto& m : all) {
    if (m.mark != nullptr) present.push_back(m);
  }
  return present;
}

bool c_locale_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Blocks of whole 64-byte words.
struct block_case {
  const char* name;
  std::string bytes;
};

std::string every_byte_value() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

std::string random_bytes(std::size_t n, unsigned seed, const std::string& alphabet) {
  std::mt19937 rng(seed);
  std::string s(n, ' ');
  for (char& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

const block_case block_cases[] = {
    {"all_blank", std::string(128, ' ')},
    {"no_blank", std::string(64, 'x')},
    {"every_byte_value", every_byte_value()},
    {"every_byte_value_shifted", "abc" + every_byte_value() + std::string(61, 'z')},
    {"nul_in_last_byte", std::string(127, 'a') + std::string(1, '\0')},
    {"log_like", random_bytes(1024, 1, "0123456789ABCDEF#.() \n\r\tcan")},
    {"controls_and_high",
     random_bytes(1024, 2, std::string("\x08\x09\x0d\x0e\x1f\x20\x7f\x80\x89\xa0\xff", 11))},
};

class block_marks : public testing::TestWithParam<block_case> {};

TEST_P(block_marks, every_way_gives_the_bits_of_the_per_character_rule) {
  const std::string& bytes = GetParam().bytes;
  ASSERT_EQ(bytes.size() % 64, 0u);
  const std::size_t words = bytes.size() / 64;
  bool any_nul = false;
  std::vector<std::uint64_t> spaces(words), breaks(words);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c_locale_space(c)) spaces[i / 64] |= std::uint64_t{1} << (i % 64);
    if (c == '\n') breaks[i / 64] |= std::uint64_t{1} << (i % 64);
    any_nul = any_nul || c == 0;
  }
  for (const auto& m : available_markers()) {
    std::vector<std::uint64_t> s(words, 0x5A5A), b(words, 0xA5A5);
    EXPECT_EQ(m.mark(bytes.data(), words, {s.data(), b.data()}), any_nul) << m.name;
    EXPECT_EQ(s, spaces) << m.name;
    EXPECT_EQ(b, breaks) << m.name;
    // The breaks alone, for the formats that do not look at the white space.
    std::vector<std::uint64_t> alone(words, 0xA5A5);
    EXPECT_EQ(m.mark(bytes.data(), words, {nullptr, alone.data()}), any_nul) << m.name;
    EXPECT_EQ(alone, breaks) << m.name << " breaks alone";
  }
}

INSTANTIATE_TEST_SUITE_P(blocks, block_marks, testing::ValuesIn(block_cases),
                         [](const auto& row) { return std::string(row.param.name); });

struct bit_search_case {
  const char* name;
  std::vector<std::uint64_t> bits;
  std::size_t from;
  std::size_t limit;
  std::size_t set;    // next_set
  std::size_t clear;  // next_clear
};

const bit_search_case bit_search_cases[] = {
    {"found_in_first_word", {0x10, 0}, 0, 128, 4, 0},
    {"from_past_a_bit", {0x10, 0}, 5, 128, 128, 5},
    {"found_in_later_word", {0, 0, 0x1}, 3, 192, 128, 3},
    {"limit_before_the_bit", {0, 0x100}, 0, 70, 70, 0},
    {"limit_equal_to_from", {~0ULL, ~0ULL}, 64, 64, 64, 64},
    {"clear_after_a_full_word", {~0ULL, 0x7}, 10, 128, 10, 67},
    {"last_bit_of_a_word", {1ULL << 63, ~0ULL}, 0, 128, 63, 0},
    {"window_across_two_words", {1ULL << 62, 0x4}, 63, 128, 66, 63},
    {"clear_across_two_words", {~0ULL, ~0x8ULL}, 60, 128, 60, 67},
    {"past_a_long_run", {0, 0, 0, 0x10}, 5, 256, 196, 5},
};

class bit_search : public testing::TestWithParam<bit_search_case> {};

TEST_P(bit_search, stops_at_the_first_match_or_the_limit) {
  const auto& c = GetParam();
  for (std::uint64_t beyond : {std::uint64_t{0}, ~std::uint64_t{0}}) {
    std::vector<std::uint64_t> bits = c.bits;
    bits.push_back(beyond);  // the word past the map that the searches may look at
    EXPECT_EQ(next_set(bits.data(), c.from, c.limit), c.set);
    EXPECT_EQ(next_clear(bits.data(), c.from, c.limit), c.clear);
  }
}

INSTANTIATE_TEST_SUITE_P(searches, bit_search, testing::ValuesIn(bit_search_cases),
                         [](const auto& row) { return std::string(row.param.name); });

// The quick path's narrower window agrees with the full one in its low window_bits bits, and
// has nothing above them, from every starting bit of a few patterns.
TEST(bit_window, agrees_with_the_full_window_below_its_width) {
  const std::uint64_t patterns[][3] = {{~0ULL, ~0ULL, ~0ULL},
                                       {0x8000000000000001ULL, 0x1ULL, 0x8000000000000000ULL},
                                       {0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL, 0xA5A5ULL}};
  const std::uint64_t low = window_bits == 64 ? ~0ULL : (1ULL << window_bits) - 1;
  for (const auto& bits : patterns) {
    for (std::size_t from = 0; from < 128; ++from) {
      EXPECT_EQ(bits_window(bits, from), bits_from(bits, from) & low) << "from " << from;
    }
  }
}

// The reader in-process, its input handed over in reads of a fixed size.
struct chunked_source {
  const std::string* text;
  std::size_t chunk;
  std::size_t pos = 0;
  static long read(void* context, char* buf, std::size_t n) {
    auto& s = *static_cast<chunked_source*>(context);
    std::size_t k = s.text->size() - s.pos;
    if (k > s.chunk) k = s.chunk;
    if (k > n) k = n;
    std::memcpy(buf, s.text->data() + s.pos, k);
    s.pos += k;
    return static_cast<long>(k);
  }
};

using cantext_fuzz::describe_line;
using cantext_fuzz::model_fault;

// Writes down every line it is handed, skips bad ones, and stops after each when asked to.
struct recorder {
  bool stop_each;
  std::string events;

  bool line(const cantext::reader::line& l) noexcept {
    events += describe_line(l.number, l.fields, l.direction, model_fault::none, l.record,
                            l.max_data_length, 0);
    events += '\n';
    return !stop_each;
  }
  bool bad_line(const cantext::reader::line& l, line_fault fault, std::string_view text) noexcept {
    const model_fault f = fault == line_fault::bad_frame ? model_fault::bad_frame
                          : fault == line_fault::blank   ? model_fault::blank
                                                         : model_fault::too_few_fields;
    events +=
        describe_line(l.number, l.fields, l.direction, f, l.record, l.max_data_length, text.size());
    events += '\n';
    return !stop_each;
  }
  bool before_read() noexcept { return true; }
};

reader_buffers buffers;

std::string read_all(mark_function mark, const std::string& input, std::size_t chunk,
                     bool stop_each) {
  chunked_source source{&input, chunk};
  line_reader reader({&source, chunked_source::read}, buffers, mark);
  recorder r{stop_each, {}};
  ending how;
  while ((how = reader.read(r)) == ending::stopped) {
  }
  return r.events + (how == ending::end_of_input ? "end" : "read error");
}

std::string model_events(const std::string& input) {
  std::string events;
  for (const cantext_fuzz::model_line& m : cantext_fuzz::model_lines(input).lines) {
    events += describe_line(m.number, m.fields, m.direction, m.fault, m.record, m.max_data_length,
                            m.length);
    events += '\n';
  }
  return events + "end";
}

std::string padded(std::string line, std::size_t width) {
  line.resize(width, ' ');
  return line;
}

std::string log_lines(unsigned count) {
  std::string s;
  const char* frames[] = {
      "123#DEADBEEF", "18FEF100#FFFF0AFFFFFFFFFF",       "244#R",
      "103##1.DE.AD", "1ABCDE00##400010203040506070809", "20000004#0004000000000000"};
  for (unsigned i = 0; i < count; ++i) {
    s += "(1700000000." + std::to_string(100000 + i) + ") can" + std::to_string(i % 2) + " " +
         frames[i % 6] + (i % 7 == 0 ? "\r\n" : "\n");
  }
  return s;
}

struct line_shape {
  const char* name;
  std::string input;
  std::string events;  // what the reader hands over, when not left to the model alone
};

const line_shape line_shapes[] = {
    {"one_line", "a b 123#11\n", "1 a|b|123#11\nend"},
    {"field_ends_at_a_piece_boundary", padded("a b", 515) + "123#11\n",
     "1 bad frame 123 in 518 bytes\n1 too few fields in 4 bytes\nend"},
    {"frame_cut_by_a_piece_boundary", padded("a b", 512) + "123#1122\n",
     "1 a|b|123#11\n1 too few fields in 3 bytes\nend"},
    {"nul_after_the_frame", std::string("a b 123#22\0 x\n", 14) + "c d 7FF#\n",
     "1 a|b|123#22\n2 c|d|7FF#\nend"},
    // Short lines of the usual shape take a quicker path than the rest; these sit on its edges.
    {"line_of_64_bytes", padded("a b 123#11", 63) + "\n", "1 a|b|123#11\nend"},
    {"line_of_65_bytes", padded("a b 123#11", 64) + "\n", "1 a|b|123#11\nend"},
    {"fields_of_32_and_33_bytes",
     std::string(32, 't') + " " + std::string(33, 'i') + " 123#11\n" + std::string(33, 't') + " " +
         std::string(32, 'i') + " 123#11\n",
     "1 " + std::string(32, 't') + "|" + std::string(33, 'i') + "|123#11\n2 " +
         std::string(33, 't') + "|" + std::string(32, 'i') + "|123#11\nend"},
    {"every_kind_of_white_space", "\t a\vb\f 123#11\r\n \r\n",
     "1 a|b|123#11\n2 blank in 3 bytes\nend"},
    {"bad_lines_among_good_ones", "a b 123#11\nx y\na b 123#1\na b 123#22\n",
     "1 a|b|123#11\n2 too few fields in 4 bytes\n3 bad frame 123#1 in 10 bytes\n4 a|b|123#22\nend"},
    {"fourth_field_ignored", "a b 123#11 more\n", "1 a|b|123#11\nend"},
    {"direction_fields", "a b 123#11 R\na b 123#22\tT x\na b 123#33 RT\na b 7FF#R\n",
     "1 a|b|123#11 R\n2 a|b|123#22 T\n3 a|b|123#33\n4 a|b|7FF#R\nend"},
    {"direction_past_a_piece_boundary", padded("(1.0) can0", 512) + "123#11 R\n",
     "1 (1.0)|can0|123#11\n1 too few fields in 3 bytes\nend"},
    {"nul_at_the_start_is_no_blank", std::string("\0a b 123#11\n \n", 14),
     "1 too few fields in 12 bytes\n2 blank in 2 bytes\nend"},
    {"frames_past_the_first_64_bytes",
     "a b 123##1" + std::string(128, 'A') + "\n" + std::string(30, 't') + " " +
         std::string(30, 'i') + " 12345678##0" + std::string(20, '5') + "\n",
     ""},
    {"third_field_starting_past_64_bytes", "a b" + std::string(70, ' ') + "123#11\na b 123#22\n",
     "1 a|b|123#11\n2 a|b|123#22\nend"},
    {"line_of_518_bytes", padded("a b 123#11", 517) + "\na b 123#22\n",
     "1 a|b|123#11\n2 a|b|123#22\nend"},
    {"line_of_519_bytes", padded("a b 123#11", 518) + "\na b 123#22\n",
     "1 a|b|123#11\n1 blank in 1 bytes\n2 a|b|123#22\nend"},
    {"last_line_without_a_break", "a b 123#11\na b 123#22", "1 a|b|123#11\n2 a|b|123#22\nend"},
    {"many_lines", log_lines(5000), ""},
    {"many_lines_and_bad_ones", log_lines(3000) + "a b 123#1\n" + log_lines(10), ""},
    {"long_lines_in_pieces", padded("a b 123#11", 1500) + "\n" + log_lines(50), ""},
    // A block with a NUL in it is read line by line as other formats' are, not by the log's
    // straight path.
    {"lines_of_a_block_with_a_nul",
     std::string("a b 123#22\0 x\n", 14) + log_lines(300) + padded("a b 123#11", 517) + "\n" +
         padded("a b 123#11", 518) + "\n" + padded("a b 123#11", 1500) + "\n" + log_lines(20) +
         "a b 123#33",
     ""},
    // Their ends found in the first window of marks, the second, or past both.
    {"long_lines_of_a_block_with_a_nul",
     std::string("\0\n", 2) + padded("a b 123#11", 56) + "\n" + padded("a b 123#22", 57) + "\n" +
         padded("a b 123#33", 113) + "\n" + padded("a b 123#44", 114) + "\n" +
         padded("a b 123#55", 200) + "\n" + log_lines(40),
     ""},
};

void PrintTo(const line_shape& c, std::ostream* os) {
  *os << c.name;
}

class line_shapes_read : public testing::TestWithParam<line_shape> {};

TEST_P(line_shapes_read, as_the_model_in_every_way_and_read_size) {
  const auto& c = GetParam();
  const std::string whole = read_all(portable_mark_function(), c.input, c.input.size() + 1, false);
  if (!c.events.empty()) {
    EXPECT_EQ(whole, c.events);
  }
  EXPECT_EQ(whole, model_events(c.input));
  for (const auto& m : available_markers()) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{63}, std::size_t{517},
                              std::size_t{4096}, block_size}) {
      EXPECT_EQ(read_all(m.mark, c.input, chunk, false), whole)
          << m.name << " in reads of " << chunk;
    }
    EXPECT_EQ(read_all(m.mark, c.input, 4096, true), whole) << m.name << " stopping at every line";
  }
}

INSTANTIATE_TEST_SUITE_P(inputs, line_shapes_read, testing::ValuesIn(line_shapes),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
