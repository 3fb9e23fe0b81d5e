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

// One piece as a line of its own: three fields and the frame parsed.
model_line model_piece(std::string_view line, std::uint64_t number) {
  model_line m{number, {}, {}, model_fault::none, {}, 0, line.size()};
  bool blank = true;
  for (const char c : line) blank = blank && is_c_space(c);
  line = line.substr(0, line.find('\0'));
  std::size_t p = 0;
  std::string_view fourth;
  for (std::string_view* f : {&m.fields[0], &m.fields[1], &m.fields[2], &fourth}) {
    while (p < line.size() && is_c_space(line[p])) ++p;
    const std::size_t begin = p;
    while (p < line.size() && !is_c_space(line[p])) ++p;
    *f = line.substr(begin, p - begin);
  }
  if (fourth == "R" || fourth == "T") m.direction = fourth;
  if (m.fields[2].empty()) {
    m.fault = blank ? model_fault::blank : model_fault::too_few_fields;
    return m;
  }
  const int mtu = cantext::parse_frame_text(m.fields[2], m.record);
  if (mtu == 0) {
    m.fault = model_fault::bad_frame;
    std::memset(&m.record, 0, sizeof m.record);
    return m;
  }
  m.max_data_length = mtu == cantext::CANFD_MTU ? cantext::CANFD_MAX_DLEN : cantext::CAN_MAX_DLEN;
  return m;
}

}  // namespace

model_reading model_lines(std::string_view input, bool read_fails) {
  model_reading r;
  std::size_t pos = 0;
  std::uint64_t number = 1;
  for (;;) {
    const std::size_t avail = input.size() - pos;
    const std::size_t newline = input.substr(pos, max_piece).find('\n');
    std::size_t piece = avail;
    if (newline != std::string_view::npos) {
      piece = newline + 1;
    } else if (avail >= max_piece) {
      piece = max_piece;
    } else if (read_fails) {
      r.read_failed = true;
      return r;
    } else if (avail == 0) {
      return r;
    }
    r.lines.push_back(model_piece(input.substr(pos, piece), number));
    if (newline != std::string_view::npos) ++number;
    pos += piece;
  }
}

std::string describe_line(std::uint64_t number, const std::string_view (&fields)[3],
                          std::string_view direction, model_fault fault,
                          const cantext::frame_record& record, int max_data_length,
                          std::size_t length) {
  std::string s = std::to_string(number) + ' ';
  const std::string in = " in " + std::to_string(length) + " bytes";
  if (fault == model_fault::too_few_fields) return s + "too few fields" + in;
  if (fault == model_fault::blank) return s + "blank" + in;
  if (fault == model_fault::bad_frame) return s.append("bad frame ").append(fields[2]) + in;
  char compact[cantext::COMPACT_FORM_BUF_SIZE];
  cantext::format_frame_compact(compact, record, false, max_data_length);
  s.append(fields[0]).append("|").append(fields[1]).append("|").append(compact);
  return direction.empty() ? s : s.append(" ").append(direction);
}

filter_outcome model_filter(std::string_view input, bool read_fails) {
  filter_outcome o;
  const model_reading r = model_lines(input, read_fails);
  for (const model_line& m : r.lines) {
    if (m.fault != model_fault::none) {
      if (m.fault == model_fault::bad_frame) o.err += "read: incomplete CAN frame\n";
      o.status = 1;
      return o;
    }
    char long_form[cantext::LONG_FORM_BUF_SIZE];
    cantext::format_frame_long(long_form, m.record, cantext::VIEW_ASCII | cantext::VIEW_ALIGN_SFF,
                               m.max_data_length);
    o.out.append(m.fields[0]).append("  ").append(m.fields[1]).append("  ").append(long_form) +=
        '\n';
  }
  if (r.read_failed) {
    o.err += "read: " + std::string(std::strerror(EIO)) + "\n";
    o.status = 1;
  }
  return o;
}

}  // namespace cantext_fuzz
