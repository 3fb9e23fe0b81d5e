// The converter's line loop: block reads, pieces of at most max_piece bytes, block writes.
#include "line_loop.hpp"

#include <array>
#include <cerrno>
#include <cstring>

#include "cantext/frame.hpp"
#include "cantext/long_form.hpp"
#include "render/long_form_render.hpp"

namespace cantext::tool {
namespace {

constexpr unsigned line_view = VIEW_ASCII | VIEW_ALIGN_SFF;
constexpr char incomplete_frame[] = "read: incomplete CAN frame\n";

// White space as the C locale has it.
constexpr std::array<bool, 256> make_space_table() noexcept {
  std::array<bool, 256> t{};
  for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) t[static_cast<unsigned char>(c)] = true;
  return t;
}
constexpr std::array<bool, 256> space_table = make_space_table();

bool is_space(char c) noexcept {
  return space_table[static_cast<unsigned char>(c)];
}

void write_all(byte_sink sink, const char* p, std::size_t n) noexcept;

// Writes "<what>: <system error text>\n" and gives the failure status.
int report_error(byte_sink err, const char* what, int errnum) noexcept {
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
  return 1;
}

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

struct output {
  byte_sink sink;
  char* buf;
  std::size_t used;

  bool flush() noexcept {
    const bool ok = try_write_all(sink, buf, used);
    used = 0;
    return ok;
  }
};

struct field {
  const char* begin;
  std::size_t size;
};

// Splits [p, end) into its first three white-space separated fields; false if fewer.
bool split_fields(const char* p, const char* end, field (&fields)[3]) noexcept {
  for (field& f : fields) {
    while (p < end && is_space(*p)) ++p;
    if (p == end) return false;
    const char* const begin = p;
    while (p < end && !is_space(*p)) ++p;
    f = {begin, static_cast<std::size_t>(p - begin)};
  }
  return true;
}

char* append(char* out, const char* p, std::size_t n) noexcept {
  std::memcpy(out, p, n);
  return out + n;
}

// Converts one piece into the output; returns -1 to go on, or the status to stop with.
int convert_piece(const char* begin, const char* end, output& out, byte_sink err) noexcept {
  // The line is a C string to the field splitter: a NUL byte ends it.
  if (const void* nul = std::memchr(begin, '\0', static_cast<std::size_t>(end - begin))) {
    end = static_cast<const char*>(nul);
  }
  field fields[3];
  if (!split_fields(begin, end, fields)) return 1;
  frame_record record;
  const int mtu = parse_frame_text({fields[2].begin, fields[2].size}, record);
  if (mtu == 0) {
    if (!out.flush()) return report_error(err, "write", errno);
    write_all(err, incomplete_frame, sizeof incomplete_frame - 1);
    return 1;
  }
  char* o = out.buf + out.used;
  o = append(o, fields[0].begin, fields[0].size);
  o = append(o, "  ", 2);
  o = append(o, fields[1].begin, fields[1].size);
  o = append(o, "  ", 2);
  o = detail::render_long(o, record, line_view, mtu == CANFD_MTU ? CANFD_MAX_DLEN : CAN_MAX_DLEN);
  *o++ = '\n';
  out.used = static_cast<std::size_t>(o - out.buf);
  return -1;
}

// Length of the next piece at [p, p + avail), or 0 when more input is needed to tell.
std::size_t next_piece(const char* p, std::size_t avail, bool at_end) noexcept {
  const std::size_t window = avail < max_piece ? avail : max_piece;
  if (const void* nl = std::memchr(p, '\n', window)) {
    return static_cast<std::size_t>(static_cast<const char*>(nl) - p) + 1;
  }
  if (avail >= max_piece) return max_piece;
  return at_end ? avail : 0;
}

long read_some(byte_source in, char* buf, std::size_t n) noexcept {
  for (;;) {
    const long r = in.read(in.context, buf, n);
    if (r >= 0 || errno != EINTR) return r;
  }
}

}  // namespace

int convert_lines(byte_source in, byte_sink out, byte_sink err, line_buffers& buffers) noexcept {
  char* const buf = buffers.input;
  output o{out, buffers.output, 0};
  std::size_t start = 0;
  std::size_t end = 0;
  bool at_end = false;
  for (;;) {
    const std::size_t piece = next_piece(buf + start, end - start, at_end);
    if (piece > 0) {
      const int status = convert_piece(buf + start, buf + start + piece, o, err);
      if (status >= 0) return o.flush() ? status : report_error(err, "write", errno);
      start += piece;
      if (o.used > block_size && !o.flush()) return report_error(err, "write", errno);
      continue;
    }
    if (at_end) return o.flush() ? 0 : report_error(err, "write", errno);
    // Keep the unfinished piece, and hand on everything converted before waiting for input.
    std::memmove(buf, buf + start, end - start);
    end -= start;
    start = 0;
    if (!o.flush()) return report_error(err, "write", errno);
    const long n = read_some(in, buf + end, block_size);
    if (n < 0) return report_error(err, "read", errno);
    if (n == 0) at_end = true;
    end += static_cast<std::size_t>(n);
  }
}

}  // namespace cantext::tool
