// SPDX-License-Identifier: MIT
// A converter for the tests: reads one capture with the line reader, in the format its first
// block shows (or --from's), and writes its frames with --to's writer on
// standard output.  Bad lines go to standard error as "FILE:LINE: problem" and make the status 1.
// Usage: convert_lines [--from log|asc|trc] --to log|asc|trc FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "capture_writer.hpp"
#include "line_reader.hpp"

namespace {

using namespace cantext;

void emit(const char* text, std::size_t n) {
  std::fwrite(text, 1, n, stdout);
}

// Writes each frame with the writer, the header before the first.
struct converter {
  const char* path;
  const writers::line_writer& writer;
  writers::writer_state state;
  bool header_written = false;
  int status = 0;
  char out[writers::max_written_line];

  bool line(const reader::line& l) noexcept {
    const writers::frame_line frame{l.fields[0], l.fields[1], l.direction, l.record,
                                    l.max_data_length};
    if (!header_written) {
      emit(out, writer.header(state, &frame, out));
      header_written = true;
    }
    emit(out, writer.line(state, frame, out));
    return true;
  }
  bool bad_line(const reader::line& l, reader::line_fault fault, std::string_view) noexcept {
    if (fault == reader::line_fault::blank) return true;
    std::fprintf(stderr, "%s:%llu: %s\n", path, static_cast<unsigned long long>(l.number),
                 l.problem);
    status = 1;
    return true;
  }
  bool before_read() noexcept { return true; }
};

reader::reader_buffers buffers;

}  // namespace

int main(int argc, char** argv) {
  const char* from = nullptr;
  const char* to = nullptr;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--from") == 0 && i + 1 < argc) {
      from = argv[++i];
    } else if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc) {
      to = argv[++i];
    } else {
      path = argv[i];
    }
  }
  const writers::line_writer* writer = to != nullptr ? writers::find_writer(to) : nullptr;
  const reader::line_format* format = from != nullptr ? reader::find_format(from) : nullptr;
  int fd = path != nullptr ? open(path, O_RDONLY) : -1;
  if (writer == nullptr || fd < 0 || (from != nullptr && format == nullptr)) {
    std::fprintf(stderr, "usage: convert_lines [--from FORMAT] --to FORMAT FILE\n");
    return 2;
  }
  reader::line_reader in(reader::fd_source(&fd), buffers);
  in.set_format(format);  // null: the format that the first block shows
  converter c{path, *writer, {}, false, 0, {}};
  if (in.read(c) != reader::ending::end_of_input) return 2;
  if (!c.header_written) emit(c.out, writer->header(c.state, nullptr, c.out));
  emit(c.out, writer->footer(c.state, c.out));
  close(fd);
  return c.status;
}
