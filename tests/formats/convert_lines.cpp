// SPDX-License-Identifier: MIT
// A converter for the tests: reads one capture in the format its head shows (or --from's),
// line by line through the reader's formats, and writes its frames with --to's writer on
// standard output.  Bad lines go to standard error as "FILE:LINE: problem" and make the status 1.
// Usage: convert_lines [--from log|asc|trc] --to log|asc|trc FILE
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "line_format.hpp"
#include "line_writer.hpp"

namespace {

using namespace cantext;

bool read_file(const char* path, std::string& bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return true;
}

void emit(const char* text, std::size_t n) {
  std::fwrite(text, 1, n, stdout);
}

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
  std::string bytes;
  if (writer == nullptr || path == nullptr || !read_file(path, bytes)) {
    std::fprintf(stderr, "usage: convert_lines [--from FORMAT] --to FORMAT FILE\n");
    return 2;
  }
  const reader::line_format* format =
      from != nullptr ? reader::find_format(from)
                      : &reader::recognise_format(std::string_view(bytes).substr(0, 4096));
  if (format == nullptr) return 2;

  reader::format_state state;
  writers::writer_state out_state;
  char out[writers::max_written_line];
  bool header_written = false;
  int status = 0;
  std::size_t start = 0;
  for (std::uint64_t number = 1; start < bytes.size(); ++number) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view text(bytes.data() + start, end - start);
    start = end + 1;
    reader::line_parts parts{};
    const reader::line_verdict verdict = format->parse(state, text, parts);
    if (verdict == reader::line_verdict::skipped) continue;
    if (verdict == reader::line_verdict::bad) {
      if (parts.fault == reader::line_fault::blank) continue;
      std::fprintf(stderr, "%s:%llu: %s\n", path, static_cast<unsigned long long>(number),
                   parts.problem);
      status = 1;
      continue;
    }
    const writers::frame_line frame{parts.fields[0], parts.fields[1], parts.direction, parts.record,
                                    parts.max_data_length};
    if (!header_written) {
      emit(out, writer->header(out_state, &frame, out));
      header_written = true;
    }
    emit(out, writer->line(out_state, frame, out));
  }
  if (!header_written) emit(out, writer->header(out_state, nullptr, out));
  emit(out, writer->footer(out_state, out));
  return status;
}
