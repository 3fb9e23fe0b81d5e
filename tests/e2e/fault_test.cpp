// SPDX-License-Identifier: MIT
// The filter as a real process under faults and hostile input: unwritable or closed output,
// unreadable or closed input, huge lines, random bytes, a reader that goes away.  Each gives a
// decided status and message, never a crash or a hang.
#include <gtest/gtest.h>

#include <signal.h>

#include <random>
#include <string>

#include "filter_process.hpp"
#include "line_model.hpp"

namespace filter_test {
namespace {

using cantext_fuzz::filter_outcome;
constexpr std::size_t MB = 1024 * 1024;
constexpr int long_run_seconds = 300;

std::string repeat_to(const std::string& unit, std::size_t size) {
  std::string s;
  s.reserve(size + unit.size());
  while (s.size() < size) s += unit;
  return s;
}

std::string no_input() {
  return "";
}

std::string many_lines() {
  return repeat_to("(1.000001) can0 12345678#0102030405060708\n", 8 * MB);
}

std::string unbroken_line() {
  return std::string(100 * MB, 'x');
}

// 100 MB without a line break, read as 518-byte pieces that each hold a frame, then a piece
// with a bad frame.
std::string unbroken_line_of_pieces() {
  std::string piece = "a b 123#11";
  piece.resize(518, ' ');
  return repeat_to(piece, 100 * MB) + "c d 123#1";
}

std::string random_bytes() {
  std::mt19937 gen(20261208);
  std::string s(50 * MB, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// A random frame that the parser accepts, in any of its notations.
std::string random_frame(std::mt19937& gen) {
  static const char digits[] = "0123456789ABCDEFabcdef";
  auto hex = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += digits[gen() % 22];
    return s;
  };
  const auto kind = gen() % 10;
  std::string frame = kind < 5 ? std::string(1, "01234567"[gen() % 8]) + hex(2)
                               : std::string(1, "0123"[gen() % 4]) + hex(7);
  frame += '#';
  if (kind == 9) return frame + "Rr"[gen() % 2] + std::to_string(gen() % 10);
  const bool fd = kind % 3 == 0;
  if (fd) frame += "#" + hex(1);
  const auto bytes = gen() % (fd ? 70 : 10);
  for (decltype(gen()) i = 0; i < bytes; ++i) frame += (gen() % 4 == 0 ? "." : "") + hex(2);
  return frame;
}

std::string random_lines() {
  std::mt19937 gen(3141592);
  const char* const blanks[] = {" ", "  ", "\t", " \t "};
  std::string s;
  s.reserve(50 * MB + 600);
  while (s.size() < 50 * MB) {
    s += "(" + std::to_string(gen() % 2000000000) + "." + std::to_string(gen() % 1000000) + ")";
    s += blanks[gen() % 4];
    s += "can" + std::to_string(gen() % 4) + blanks[gen() % 4] + random_frame(gen);
    s += gen() % 8 == 0 ? "\r\n" : "\n";
  }
  return s;
}

run_result run_piped(const std::string& input) {
  run_options options;
  options.timeout_seconds = long_run_seconds;
  return run_filter(input, options);
}

run_result run_into(const std::string& input, stream_mode mode, const char* path) {
  run_options options;
  options.out = mode;
  options.out_path = path;
  options.timeout_seconds = long_run_seconds;
  return run_filter(input, options);
}

run_result run_into_closing_reader(const std::string& input, bool sigpipe_ignored) {
  run_options options;
  options.out_closed_after_first_line = true;
  options.sigpipe_ignored = sigpipe_ignored;
  options.timeout_seconds = 120;
  return run_filter(input, options);
}

run_result run_from(stream_mode mode, const char* path) {
  run_options options;
  options.in = mode;
  options.in_path = path;
  return run_filter("", options);
}

struct fault_case {
  const char* name;
  std::string (*input)();
  run_result (*run)(const std::string& input);
  filter_outcome (*expected)(const std::string& input);
  int signal;  // the signal that must end the filter, or 0 for an exit with a status
};

filter_outcome as_model(const std::string& input) {
  return cantext_fuzz::model_filter(input);
}

const fault_case cases[] = {
    {"stdout_is_dev_full", many_lines,
     [](const std::string& in) { return run_into(in, stream_mode::path, "/dev/full"); },
     [](const std::string&) {
       return filter_outcome{"", "write: No space left on device\n", 1};
     },
     0},
    {"stdout_closed", many_lines,
     [](const std::string& in) { return run_into(in, stream_mode::closed, ""); },
     [](const std::string&) {
       return filter_outcome{"", "write: Bad file descriptor\n", 1};
     },
     0},
    {"stdin_is_a_directory", no_input,
     [](const std::string&) { return run_from(stream_mode::path, "/"); },
     [](const std::string&) {
       return filter_outcome{"", "read: Is a directory\n", 1};
     },
     0},
    {"stdin_closed", no_input, [](const std::string&) { return run_from(stream_mode::closed, ""); },
     [](const std::string&) {
       return filter_outcome{"", "read: Bad file descriptor\n", 1};
     },
     0},
    {"line_of_100_mb_without_a_break", unbroken_line, run_piped,
     [](const std::string&) {
       return filter_outcome{"", "", 1};
     },
     0},
    {"line_of_100_mb_in_pieces", unbroken_line_of_pieces, run_piped, as_model, 0},
    {"random_bytes_50_mb", random_bytes, run_piped, as_model, 0},
    {"random_frames_50_mb", random_lines, run_piped, as_model, 0},
    {"reader_closes_after_one_line", many_lines,
     [](const std::string& in) { return run_into_closing_reader(in, false); },
     [](const std::string&) {
       return filter_outcome{
           "(1.000001)  can0  12345678   [8]  01 02 03 04 05 06 07 08   '........'\n", "", -1};
     },
     SIGPIPE},
    {"reader_closes_with_sigpipe_ignored", many_lines,
     [](const std::string& in) { return run_into_closing_reader(in, true); },
     [](const std::string&) {
       return filter_outcome{
           "(1.000001)  can0  12345678   [8]  01 02 03 04 05 06 07 08   '........'\n",
           "write: Broken pipe\n", 1};
     },
     0},
};

void PrintTo(const fault_case& c, std::ostream* os) {
  *os << c.name;
}

class filter_faults : public testing::TestWithParam<fault_case> {};

TEST_P(filter_faults, ends_as_decided) {
  const fault_case& c = GetParam();
  const std::string input = c.input();
  const filter_outcome expected = c.expected(input);
  const run_result r = c.run(input);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, c.signal);
  EXPECT_EQ(r.status, expected.status);
  EXPECT_EQ(r.err, expected.err);
  EXPECT_EQ(r.out.size(), expected.out.size());
  EXPECT_TRUE(r.out == expected.out);  // not printed: it may be megabytes long
}

INSTANTIATE_TEST_SUITE_P(cases, filter_faults, testing::ValuesIn(cases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace filter_test
