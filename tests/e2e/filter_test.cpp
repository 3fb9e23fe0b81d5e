// SPDX-License-Identifier: MIT
// The filter as a real process: exact standard output, standard error and exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "filter_command.hpp"
#include "filter_process.hpp"

namespace filter_test {
namespace {

constexpr char incomplete[] = "read: incomplete CAN frame\n";

struct filter_case {
  const char* name;
  std::string input;
  std::string out;
  std::string err;
  int status;
};

std::string padded(std::string line, std::size_t width) {
  line.resize(width, ' ');
  return line;
}

std::string repeated(const std::string& line, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += line;
  return s;
}

const filter_case cases[] = {
    {"classic", "a b 123#DEADBEEF\n", "a  b       123   [4]  DE AD BE EF               '....'\n",
     "", 0},
    {"extended", "a b 12345678#41\n", "a  b  12345678   [1]  41                        'A'\n", "",
     0},
    {"remote_request", "a b 123#R\n", "a  b       123   [0]  remote request\n", "", 0},
    {"error_frame", "a b 20000004#0004000000000000\n",
     "a  b  20000004   [8]  00 04 00 00 00 00 00 00   ERRORFRAME\n", "", 0},
    {"fd_short", "a b 123##1AABB\n", "a  b       123  [02]  AA BB                     '..'\n", "",
     0},
    {"fd_long", "(1.5) can1 123##0.00.11.22.33.44.55.66.77.88\n",
     "(1.5)  can1       123  [09]  00 11 22 33 44 55 66 77 88\n", "", 0},
    {"masked_identifier", "a b FFF#00\n", "a  b       7FF   [1]  00                        '.'\n",
     "", 0},
    {"remote_flag_digit", "a b 40000123#11\n", "a  b  00000123   [1]  remote request\n", "", 0},
    {"remote_length_junk", "a b 123#R5junk\n", "a  b       123   [5]  remote request\n", "", 0},
    {"real_capture_line", "(1700000000.123456) can0 123#DEADBEEF\n",
     "(1700000000.123456)  can0       123   [4]  DE AD BE EF               '....'\n", "", 0},
    {"several_lines", "a b 123#\nc d 7FF#41424344454647\n",
     "a  b       123   [0]                            ''\n"
     "c  d       7FF   [7]  41 42 43 44 45 46 47      'ABCDEFG'\n",
     "", 0},
    {"empty_input", "", "", "", 0},
    {"last_line_unterminated", "a b 123#11",
     "a  b       123   [1]  11                        '.'\n", "", 0},
    {"extra_fields_dropped", "a b 123#11 d e\n",
     "a  b       123   [1]  11                        '.'\n", "", 0},
    {"any_white_space", " \t a\t\tb \v\f123#11  \n",
     "a  b       123   [1]  11                        '.'\n", "", 0},
    {"crlf", "a b 123#11\r\nc d 123#22\r\n",
     "a  b       123   [1]  11                        '.'\n"
     "c  d       123   [1]  22                        '\"'\n",
     "", 0},
    {"blank_line_stops", "a b 123#11\n\nc d 123#22\n",
     "a  b       123   [1]  11                        '.'\n", "", 1},
    {"two_fields_stop", "a b\n", "", "", 1},
    {"bad_frame_stops", "a b 123#11\na b 123#1\nc d 123#22\n",
     "a  b       123   [1]  11                        '.'\n", incomplete, 1},
    {"nul_hides_rest_of_line", std::string("a b 123#11\0ZZ\nc d 123#22\n", 24),
     "a  b       123   [1]  11                        '.'\n"
     "c  d       123   [1]  22                        '\"'\n",
     "", 0},
    {"nul_hides_a_field", std::string("a b\0 123#11\n", 12), "", "", 1},
    {"line_of_517_is_whole", padded("a b 123#11", 517) + "\nc d 123#22\n",
     "a  b       123   [1]  11                        '.'\n"
     "c  d       123   [1]  22                        '\"'\n",
     "", 0},
    {"line_of_518_leaves_a_blank_piece", padded("a b 123#11", 518) + "\nc d 123#22\n",
     "a  b       123   [1]  11                        '.'\n", "", 1},
    {"long_line_in_pieces", "a b 123#" + std::string(600, '1') + "\n",
     "a  b       123   [8]  11 11 11 11 11 11 11 11   '........'\n", "", 1},
    {"long_line_pieces_each_converted",
     padded("a b 123#11", 518) + padded("c d 123#22", 518) + "e f 123#33\n",
     "a  b       123   [1]  11                        '.'\n"
     "c  d       123   [1]  22                        '\"'\n"
     "e  f       123   [1]  33                        '3'\n",
     "", 0},
    {"converted_lines_written_before_stop",
     repeated("a b 12345678#0102030405060708\n", 20000) + "a b 123#1\n",
     repeated("a  b  12345678   [8]  01 02 03 04 05 06 07 08   '........'\n", 20000), incomplete,
     1},
};

void PrintTo(const filter_case& c, std::ostream* os) {
  *os << c.name;
}

class filter_lines : public testing::TestWithParam<filter_case> {};

TEST_P(filter_lines, converts_exactly) {
  const filter_case& c = GetParam();
  const run_result r = run_filter(c.input);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

// `cantext long` without options prints what the filter prints and stops where it stops, with
// a message of its own.
TEST_P(filter_lines, command_long_prints_the_same) {
  const filter_case& c = GetParam();
  run_options options;
  options.argv = with_args(command_argv, {"long"});
  const run_result r = run_filter(c.input, options);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
  EXPECT_EQ(r.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(cases, filter_lines, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(filter_streams, unreadable_input_is_an_error) {
  run_options options;
  options.in = stream_mode::path;
  options.in_path = "/";
  const run_result r = run_filter("", options);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "read: Is a directory\n");
  EXPECT_EQ(r.status, 1);
}

TEST(filter_streams, full_output_is_an_error) {
  run_options options;
  options.out = stream_mode::path;
  options.out_path = "/dev/full";
  const run_result r = run_filter("a b 123#11\n", options);
  EXPECT_EQ(r.err, "write: No space left on device\n");
  EXPECT_EQ(r.status, 1);
}

TEST(filter_streams, closed_output_is_an_error) {
  run_options options;
  options.out = stream_mode::closed;
  const run_result r = run_filter("a b 123#11\n", options);
  EXPECT_EQ(r.err, "write: Bad file descriptor\n");
  EXPECT_EQ(r.status, 1);
}

TEST(filter_streams, arguments_are_ignored_and_sample_log_converts) {
  std::ifstream in(sample_log, std::ios::binary);
  std::stringstream log;
  log << in.rdbuf();
  ASSERT_GT(log.str().size(), 0u);
  std::ifstream expected_file(
      std::string(sample_log).substr(0, std::string(sample_log).size() - 4) + ".out",
      std::ios::binary);
  std::stringstream expected;
  expected << expected_file.rdbuf();
  const run_result r = run_filter(log.str());
  EXPECT_EQ(r.out, expected.str());
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  run_options command;
  command.argv = with_args(command_argv, {"long", sample_log});
  const run_result by_name = run_filter("", command);
  EXPECT_EQ(by_name.out, expected.str());
  EXPECT_EQ(by_name.err, "");
  EXPECT_EQ(by_name.status, 0);
}

}  // namespace
}  // namespace filter_test
