// SPDX-License-Identifier: MIT
// Runs the filter as a child process with chosen standard streams and collects what it does.
#ifndef CANTEXT_TESTS_FILTER_PROCESS_HPP
#define CANTEXT_TESTS_FILTER_PROCESS_HPP

#include <string>
#include <vector>

namespace filter_test {

// Where a standard stream of the child comes from or goes to.
enum class stream_mode { pipe, closed, path };

struct run_options {
  // The program and its arguments (an emulator first under a cross build); empty: the filter.
  std::vector<std::string> argv;
  // The directory it runs in; empty: this one.
  std::string directory;
  stream_mode in = stream_mode::pipe;
  stream_mode out = stream_mode::pipe;
  std::string in_path;   // for stream_mode::path
  std::string out_path;  // for stream_mode::path
  int timeout_seconds = 60;
  // The filter starts with SIGPIPE ignored, as some shells and service managers leave it.
  bool sigpipe_ignored = false;
  // Standard output is read by a reader that closes the pipe after the first line, as
  // `cantext-long < log | head -n 1` does; `out` then holds that line only.
  bool out_closed_after_first_line = false;
  // Standard error goes into standard output's pipe, so `out` shows the order of both.
  bool err_into_out = false;
};

struct run_result {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when ended by a signal
  int signal = 0;   // the signal that ended it, if any
  bool timed_out = false;
};

run_result run_filter(const std::string& input, const run_options& options = {});

// A program's command line from filter_command.hpp (the emulator first under a cross build)
// with these arguments after it.
std::vector<std::string> with_args(const char* const* program,
                                   const std::vector<std::string>& args);

}  // namespace filter_test

#endif
