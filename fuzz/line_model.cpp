// SPDX-License-Identifier: MIT
#include "line_model.hpp"

#include <cerrno>
#include <cstring>

#include "cantext/cantext.hpp"

namespace cantext_fuzz {
namespace {

constexpr std::size_t max_piece = 518;

bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// One piece as a line of its own: three fields, the frame parsed and shown in the long form.
bool model_piece(std::string_view line, filter_outcome& o) {
  line = line.substr(0, line.find('\0'));
  std::string_view fields[3];
  std::size_t p = 0;
  for (std::string_view& f : fields) {
    while (p < line.size() && is_c_space(line[p])) ++p;
    if (p == line.size()) {
      o.status = 1;
      return false;
    }
    const std::size_t begin = p;
    while (p < line.size() && !is_c_space(line[p])) ++p;
    f = line.substr(begin, p - begin);
  }
  cantext::frame_record record;
  const int mtu = cantext::parse_frame_text(fields[2], record);
  if (mtu == 0) {
    o.err += "read: incomplete CAN frame\n";
    o.status = 1;
    return false;
  }
  char long_form[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(long_form, record, cantext::VIEW_ASCII | cantext::VIEW_ALIGN_SFF,
                             mtu == cantext::CANFD_MTU ? 64 : 8);
  o.out.append(fields[0]).append("  ").append(fields[1]).append("  ").append(long_form) += '\n';
  return true;
}

}  // namespace

filter_outcome model_filter(std::string_view input, bool read_fails) {
  filter_outcome o;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t avail = input.size() - pos;
    const std::size_t newline = input.substr(pos, max_piece).find('\n');
    std::size_t piece = avail;
    if (newline != std::string_view::npos) {
      piece = newline + 1;
    } else if (avail >= max_piece) {
      piece = max_piece;
    } else if (read_fails) {
      o.err += "read: " + std::string(std::strerror(EIO)) + "\n";
      o.status = 1;
      return o;
    } else if (avail == 0) {
      return o;
    }
    if (!model_piece(input.substr(pos, piece), o)) return o;
    pos += piece;
  }
}

}  // namespace cantext_fuzz
