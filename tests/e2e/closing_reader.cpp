#include "closing_reader.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "filter_command.hpp"

namespace filter_test {
namespace {

long long monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Reads what is there; false at the end of the stream or on an error.
bool read_into(int fd, std::string& into) {
  char buf[65536];
  const ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0) into.append(buf, static_cast<std::size_t>(n));
  return n > 0 || (n < 0 && errno == EINTR);
}

}  // namespace

run_result run_filter_into_closing_reader(const std::string& input, bool sigpipe_ignored,
                                          int timeout_seconds) {
  signal(SIGPIPE, SIG_IGN);  // this side writes to a filter that stops reading
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, sigpipe_ignored ? SIG_IGN : SIG_DFL);
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    execv(filter_command[0], const_cast<char* const*>(filter_command));
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  int to_child = in_pipe[1];
  int from_out = out_pipe[0];
  int from_err = err_pipe[0];
  fcntl(to_child, F_SETFL, O_NONBLOCK);

  run_result result;
  std::size_t written = 0;
  const long long deadline = monotonic_ms() + timeout_seconds * 1000LL;
  while (from_err >= 0) {
    if (to_child >= 0 && written == input.size()) close_fd(to_child);
    pollfd fds[3] = {{from_out, POLLIN, 0}, {from_err, POLLIN, 0}, {to_child, POLLOUT, 0}};
    const long long left = deadline - monotonic_ms();
    if (left <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) break;
    if (fds[0].revents) {
      const bool open = read_into(from_out, result.out);
      const std::size_t line_end = result.out.find('\n');
      if (line_end != std::string::npos) result.out.resize(line_end + 1);
      if (!open || line_end != std::string::npos) close_fd(from_out);  // the reader is done
    }
    if (fds[1].revents && !read_into(from_err, result.err)) close_fd(from_err);
    if (fds[2].revents) {
      const ssize_t n = write(to_child, input.data() + written, input.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        close_fd(to_child);  // the filter has stopped reading
      }
    }
  }
  close_fd(to_child);
  close_fd(from_out);
  close_fd(from_err);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) result.signal = WTERMSIG(wstatus);
  return result;
}

}  // namespace filter_test
