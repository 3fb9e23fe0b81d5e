// SPDX-License-Identifier: MIT
#include "filter_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "filter_command.hpp"

namespace filter_test {
namespace {

long long now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void child_stream(stream_mode mode, int pipe_end, const std::string& path, int target, int flags) {
  if (mode == stream_mode::closed) {
    close(target);
  } else if (mode == stream_mode::path) {
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) _exit(126);
    dup2(fd, target);
    close(fd);
  } else {
    dup2(pipe_end, target);
  }
}

void drain(int& fd, std::string& into) {
  char buf[65536];
  const ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0) {
    into.append(buf, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    close(fd);
    fd = -1;
  }
}

}  // namespace

run_result run_filter(const std::string& input, const run_options& options) {
  signal(SIGPIPE, SIG_IGN);  // the filter may stop before taking all of its input
  std::vector<char*> argv;   // made before the fork: the child only calls exec
  const std::vector<std::string> filter = with_args(filter_command, {});
  for (const std::string& arg : options.argv.empty() ? filter : options.argv) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, options.sigpipe_ignored ? SIG_IGN : SIG_DFL);
    child_stream(options.in, in_pipe[0], options.in_path, 0, O_RDONLY);
    child_stream(options.out, out_pipe[1], options.out_path, 1, O_WRONLY | O_CREAT | O_TRUNC);
    if (options.err_into_out) {
      dup2(1, 2);
    } else {
      dup2(err_pipe[1], 2);
    }
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  int to_child = in_pipe[1];
  if (options.in != stream_mode::pipe) {
    close(to_child);
    to_child = -1;
  }
  int from_out = out_pipe[0];
  int from_err = err_pipe[0];
  fcntl(to_child, F_SETFL, O_NONBLOCK);

  run_result result;
  std::size_t written = 0;
  const long long deadline = now_ms() + options.timeout_seconds * 1000LL;
  while (from_out >= 0 || from_err >= 0) {
    if (to_child >= 0 && written == input.size()) {
      close(to_child);
      to_child = -1;
    }
    pollfd fds[3] = {{from_out, POLLIN, 0}, {from_err, POLLIN, 0}, {to_child, POLLOUT, 0}};
    const long long left = deadline - now_ms();
    if (left <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
    if (fds[0].revents) {
      drain(from_out, result.out);
      const std::size_t line_end = result.out.find('\n');
      if (options.out_closed_after_first_line && line_end != std::string::npos) {
        result.out.resize(line_end + 1);
        close(from_out);
        from_out = -1;
      }
    }
    if (fds[1].revents) drain(from_err, result.err);
    if (fds[2].revents) {
      const ssize_t n = write(to_child, input.data() + written, input.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        close(to_child);  // the filter stopped reading
        to_child = -1;
      }
    }
  }
  for (int fd : {to_child, from_out, from_err}) {
    if (fd >= 0) close(fd);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
  return result;
}

std::vector<std::string> with_args(const char* const* program,
                                   const std::vector<std::string>& args) {
  std::vector<std::string> argv;
  for (; *program != nullptr; ++program) argv.emplace_back(*program);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace filter_test
