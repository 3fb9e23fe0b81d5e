// SPDX-License-Identifier: MIT
#include "input_files.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace cantext::tool {

void say(const char* format, ...) noexcept {
  // Composed whole, so that it goes out in one write: standard error is unbuffered.
  static constexpr char prefix[] = "cantext: ";
  constexpr std::size_t prefix_length = sizeof prefix - 1;
  char message[4096];
  std::memcpy(message, prefix, prefix_length);
  std::va_list args;
  va_start(args, format);
  const int n =
      std::vsnprintf(message + prefix_length, sizeof message - prefix_length - 1, format, args);
  va_end(args);
  // A text that did not fit is cut where the room ended.
  const std::size_t room = sizeof message - prefix_length - 2;
  std::size_t length = n < 0 ? 0 : static_cast<std::size_t>(n);
  if (length > room) length = room;
  message[prefix_length + length] = '\n';
  std::fwrite(message, 1, prefix_length + length + 1, stderr);
}

void report_file_error(const char* name, int error) noexcept {
  say("%s: %s", name, std::strerror(error));
}

void report_read_error(const char* name, int error,
                       const compress::compressed_source& input) noexcept {
  if (input.problem() != nullptr) {
    say("%s: %s", name, input.problem());
  } else {
    report_file_error(name, error);
  }
}

const char* bad_line_text(reader::line_fault fault, const char* problem) noexcept {
  switch (fault) {
    case reader::line_fault::bad_frame:
      return "incomplete CAN frame";
    case reader::line_fault::too_few_fields:
    case reader::line_fault::blank:
      return "fewer than three fields";
    case reader::line_fault::bad_line:
      break;
  }
  return problem != nullptr ? problem : "bad line";
}

void report_bad_line(const char* file, std::uint64_t number, reader::line_fault fault,
                     const char* problem) noexcept {
  std::fprintf(stderr, "%s:%llu: %s\n", file, static_cast<unsigned long long>(number),
               bad_line_text(fault, problem));
}

int open_input(const char* name) noexcept {
  if (std::strcmp(name, "-") == 0) return STDIN_FILENO;
  int fd;
  do {
    fd = ::open(name, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void close_input(int fd) noexcept {
  if (fd != STDIN_FILENO) ::close(fd);
}

}  // namespace cantext::tool
