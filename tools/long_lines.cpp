// SPDX-License-Identifier: MIT
// The long-form writer stage: each line from the reader is written as its first two fields and
// its frame in the long form, rendered straight into the output block; a block is written out
// when it is full, and whatever there is before the reader waits for input.
#include "long_lines.hpp"

#include <cerrno>
#include <cstring>

namespace cantext::tool {
namespace {

constexpr unsigned line_view = VIEW_ASCII | VIEW_ALIGN_SFF;
constexpr char incomplete_frame[] = "read: incomplete CAN frame\n";

// Writes all n bytes unless the sink fails; false with errno set on failure.
bool try_write_all(byte_sink sink, const char* p, std::size_t n) noexcept {
  while (n > 0) {
    const long w = sink.write(sink.context, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void write_all(byte_sink sink, const char* p, std::size_t n) noexcept {
  (void)try_write_all(sink, p, n);
}

// Writes "<what>: <system error text>\n".
void report_error(byte_sink err, const char* what, int errnum) noexcept {
  char message[256];
  const std::size_t w = std::strlen(what);
  std::memcpy(message, what, w);
  message[w] = ':';
  message[w + 1] = ' ';
  const char* text = std::strerror(errnum);
  std::size_t t = std::strlen(text);
  if (t > sizeof message - w - 3) t = sizeof message - w - 3;
  std::memcpy(message + w + 2, text, t);
  message[w + 2 + t] = '\n';
  write_all(err, message, w + 3 + t);
}

// Copies a field and the two blanks after it; a short one as one fixed-size copy that may run
// past it.
char* put_field(char* out, std::string_view field) noexcept {
  const std::size_t n = field.size();
  if (n <= reader::field_read_room) {
    std::memcpy(out, field.data(), reader::field_read_room);
  } else {
    std::memcpy(out, field.data(), n);
  }
  std::memcpy(out + n, "  ", 2);
  return out + n + 2;
}

// The reader's consumer: stops at the first bad line or failed write, with the exit status.
class long_form_writer {
 public:
  long_form_writer(byte_sink out, byte_sink err, char* buf) noexcept
      : out_(out), err_(err), buf_(buf) {}

  bool line(const reader::line& l) noexcept {
    char* o = buf_ + used_;
    o = put_field(o, l.fields[0]);
    o = put_field(o, l.fields[1]);
    o = format_frame_long(o, l.record, line_view, l.max_data_length);
    *o++ = '\n';
    used_ = static_cast<std::size_t>(o - buf_);
    return used_ <= reader::block_size || flush();
  }

  bool bad_line(const reader::line&, reader::line_fault fault, std::string_view) noexcept {
    status_ = 1;
    if (flush() && fault == reader::line_fault::bad_frame) {
      write_all(err_, incomplete_frame, sizeof incomplete_frame - 1);
    }
    return false;
  }

  bool before_read() noexcept { return flush(); }

  // The exit status once the reader has ended so.
  int finish(reader::ending how, int read_error) noexcept {
    if (how == reader::ending::read_error) {
      report_error(err_, "read", read_error);
      return 1;
    }
    if (how == reader::ending::end_of_input) (void)flush();
    return status_;
  }

 private:
  // Writes the block out; on failure reports it and sets the status.
  bool flush() noexcept {
    const bool ok = try_write_all(out_, buf_, used_);
    used_ = 0;
    if (!ok) {
      report_error(err_, "write", errno);
      status_ = 1;
    }
    return ok;
  }

  byte_sink out_;
  byte_sink err_;
  char* buf_;
  std::size_t used_ = 0;
  int status_ = 0;
};

}  // namespace

int convert_lines(reader::byte_source in, byte_sink out, byte_sink err, filter_buffers& buffers,
                  reader::mark_function mark) noexcept {
  reader::line_reader lines(in, buffers.input, mark);
  long_form_writer writer(out, err, buffers.output);
  const reader::ending how = lines.read(writer);
  return writer.finish(how, lines.error());
}

}  // namespace cantext::tool
