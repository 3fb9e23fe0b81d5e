// SPDX-License-Identifier: MIT
// The filter on live input: every line it has converted is written out before it waits for
// more.  Each case writes a line (or part of one) to the running filter and reads back what it
// printed, with a generous timeout so that a filter holding output back fails instead of hanging.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter_command.hpp"
#include "filter_process.hpp"

namespace {

constexpr int timeout_ms = 20000;

long long now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A program (the filter unless told) running with pipes on its standard streams.
class live_filter {
 public:
  explicit live_filter(
      const std::vector<std::string>& command = filter_test::with_args(filter_command, {})) {
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      signal(SIGPIPE, SIG_DFL);
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    to_ = in[1];
    from_ = out[0];
    err_ = err[0];
  }

  ~live_filter() {
    for (int fd : {to_, from_, err_}) {
      if (fd >= 0) close(fd);
    }
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool started() const { return pid_ > 0 && to_ >= 0; }

  bool send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(to_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  void close_input() {
    close(to_);
    to_ = -1;
  }

  // The next line from fd (with its line break), or what came before the end of the stream or
  // the deadline.
  std::string read_line(bool from_error = false) {
    const int fd = from_error ? err_ : from_;
    std::string& pending = from_error ? err_pending_ : out_pending_;
    const long long deadline = now_ms() + timeout_ms;
    for (;;) {
      const std::size_t nl = pending.find('\n');
      if (nl != std::string::npos) {
        std::string line = pending.substr(0, nl + 1);
        pending.erase(0, nl + 1);
        return line;
      }
      const long long left = deadline - now_ms();
      pollfd p{fd, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char buf[4096];
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
    }
    std::string rest;
    rest.swap(pending);
    return rest;
  }

  // The exit status, or -1 if the filter has not ended within the timeout (it is then killed).
  int wait_status() {
    const long long deadline = now_ms() + timeout_ms;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (now_ms() > deadline) return -1;
      pollfd none{-1, 0, 0};
      poll(&none, 0, 10);
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  int err_ = -1;
  bool reaped_ = false;
  std::string out_pending_;
  std::string err_pending_;
};

// One step: bytes written to the filter, then the line it must have printed before it reads
// again (empty: nothing is read back in this step).
struct step {
  std::string send;
  std::string expect;
};

struct live_case {
  const char* name;
  std::vector<step> steps;
};

const std::string classic_out = "a  b       123   [4]  DE AD BE EF               '....'\n";

const live_case live_cases[] = {
    {"line_by_line",
     {{"a b 123#DEADBEEF\n", classic_out},
      {"(1.5) can1 12345678#41\n", "(1.5)  can1  12345678   [1]  41                        'A'\n"},
      {"c d 123#R\n", "c  d       123   [0]  remote request\n"},
      {"e f 123##1AABB\n", "e  f       123  [02]  AA BB                     '..'\n"},
      {"a b 123#DEADBEEF\n", classic_out}}},
    {"line_in_parts",
     {{"a b 12", ""},
      {"3#DEAD", ""},
      {"BEEF\n", classic_out},
      {"a b 123#DEADBEEF\n", classic_out}}},
    {"two_lines_at_once_then_one",
     {{"a b 123#DEADBEEF\na b 123#DEADBEEF\n", classic_out},
      {"", classic_out},
      {"a b 123#DEADBEEF\n", classic_out}}},
    {"crlf_lines", {{"a b 123#DEADBEEF\r\n", classic_out}, {"a b 123#DEADBEEF\r\n", classic_out}}},
};

void PrintTo(const live_case& c, std::ostream* os) {
  *os << c.name;
}

class live_input : public testing::TestWithParam<live_case> {};

void each_line_is_written_before_the_next_is_read(live_filter& filter, const live_case& c) {
  ASSERT_TRUE(filter.started());
  for (const step& s : c.steps) {
    ASSERT_TRUE(filter.send(s.send));
    if (!s.expect.empty()) {
      ASSERT_EQ(filter.read_line(), s.expect);
    }
  }
  filter.close_input();
  EXPECT_EQ(filter.read_line(), "");
  EXPECT_EQ(filter.wait_status(), 0);
}

TEST_P(live_input, each_line_is_written_before_the_next_is_read) {
  live_filter filter;
  each_line_is_written_before_the_next_is_read(filter, GetParam());
}

TEST_P(live_input, command_long_writes_each_line_before_the_next_is_read) {
  live_filter command(filter_test::with_args(command_argv, {"long"}));
  each_line_is_written_before_the_next_is_read(command, GetParam());
}

INSTANTIATE_TEST_SUITE_P(cases, live_input, testing::ValuesIn(live_cases),
                         [](const auto& row) { return std::string(row.param.name); });

// A file's lines are not written out before each read of the file, but they are before the
// command waits for the standard input that follows it.
TEST(live_input_after_file, a_files_lines_come_out_before_standard_input_is_waited_for) {
  char path[] = "/tmp/cantext_live_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string text = "(1.5) can1 12345678#41\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  live_filter command(filter_test::with_args(command_argv, {"long", path, "-"}));
  ASSERT_TRUE(command.started());
  EXPECT_EQ(command.read_line(), "(1.5)  can1  12345678   [1]  41                        'A'\n");
  ASSERT_TRUE(command.send("a b 123#DEADBEEF\n"));
  EXPECT_EQ(command.read_line(), classic_out);
  command.close_input();
  EXPECT_EQ(command.wait_status(), 0);
  unlink(path);
}

TEST(live_input_stop, a_bad_line_ends_the_filter_while_its_input_stays_open) {
  live_filter filter;
  ASSERT_TRUE(filter.started());
  ASSERT_TRUE(filter.send("a b 123#DEADBEEF\n"));
  ASSERT_EQ(filter.read_line(), classic_out);
  ASSERT_TRUE(filter.send("a b 123#1\n"));
  EXPECT_EQ(filter.read_line(true), "read: incomplete CAN frame\n");
  EXPECT_EQ(filter.wait_status(), 1);
  EXPECT_EQ(filter.read_line(), "");
}

}  // namespace
