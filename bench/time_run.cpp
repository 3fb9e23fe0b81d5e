// SPDX-License-Identifier: MIT
// Runs a command with its standard input and output redirected and prints its wall-clock time
// and the processor time it used, in seconds, and its peak resident memory in KiB: "wall user
// system peak".  On a machine shared with other work the processor time is the steadier measure.
// Usage: time_run INPUT OUTPUT COMMAND [ARGS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: time_run INPUT OUTPUT COMMAND [ARGS...]\n", stderr);
    return 2;
  }
  const double start = now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(argv[1], O_RDONLY);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(126);
    execv(argv[3], argv + 3);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 2;
  const double wall = now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "time_run: %s failed (status %d)\n", argv[3], status);
    return 1;
  }
  std::printf("%.6f %.6f %.6f %ld\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
              usage.ru_maxrss);
  return 0;
}
