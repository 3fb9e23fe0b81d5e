// SPDX-License-Identifier: MIT
#include "convert_lines.hpp"

#include <cstdio>
#include <cstring>

#include "log_time.hpp"

namespace cantext::tool {
namespace {

bool all_digits(std::string_view text) noexcept {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The text of [begin, end) of `text`, without the range checks that may throw.
std::string_view part(std::string_view text, std::size_t begin, std::size_t end) noexcept {
  if (end > text.size()) end = text.size();
  return {text.data() + begin, end - begin};
}

}  // namespace

std::string_view channel_map::side(std::string_view text, std::size_t slot) noexcept {
  // A number is the channel of that number in ASC and TRC; 0 is no channel there.
  if (!all_digits(text) || text.size() > 9) return text;
  unsigned long number = 0;
  for (const char c : text) number = number * 10 + static_cast<unsigned long>(c - '0');
  if (number == 0) return {};
  const int n = std::snprintf(names_[slot], name_room, "can%lu", number - 1);
  return {names_[slot], static_cast<std::size_t>(n)};
}

bool channel_map::parse(const char* text) noexcept {
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = part(rest, 0, comma);
    rest =
        comma == std::string_view::npos ? std::string_view() : part(rest, comma + 1, rest.size());
    const std::size_t equals = item.find('=');
    if (count_ == most || equals == std::string_view::npos) return false;
    const std::string_view from = side(part(item, 0, equals), 2 * count_);
    const std::string_view to = side(part(item, equals + 1, item.size()), 2 * count_ + 1);
    if (from.empty() || to.empty()) return false;
    pairs_[count_++] = {from, to};
  }
  return count_ > 0;
}

std::string_view channel_map::mapped(std::string_view name) const noexcept {
  for (std::size_t i = 0; i < count_; ++i) {
    if (pairs_[i].from == name) return pairs_[i].to;
  }
  return name;
}

bool convert_writer::write_line(const reader::line& l) noexcept {
  // A time the format gave as a number alone (wants_time_text) is written here as its text.
  char time_text[reader::max_log_time + 1];
  std::string_view time = l.fields[0];
  if (time.empty() && l.time_digits != 0) {
    time = {time_text, reader::put_log_time(time_text, l.time_ns, l.time_digits)};
  }
  const writers::frame_line frame{time,         channels_(l.fields[1]), l.direction,
                                  l.record,     l.max_data_length,      l.time_ns,
                                  l.time_digits};
  char* out = block_.end();
  if (!header_written_) out = write_header(frame, out);
  const std::size_t n = writer_.line(state_, frame, out);
  if (n == 0) return time_not_read(l, out);
  return block_.commit(out + n);
}

char* convert_writer::write_header(const writers::frame_line& first, char* out) noexcept {
  header_written_ = true;
  straight_log_ = &writer_ == &writers::log_writer && channels_.none();
  return out + writer_.header(state_, &first, out);
}

bool convert_writer::time_not_read(const reader::line& l, char* out) noexcept {
  // A log line whose first field is no time: what it holds cannot be written.
  (void)block_.commit(out);
  const reader::line bad{
      {l.fields[0], l.fields[1], l.fields[2]}, l.direction, l.record, 0, l.number,
      "the time is not (seconds.fraction)",    l.text};
  return bad_line(bad, reader::line_fault::bad_line, {});
}

bool convert_writer::finish_output() noexcept {
  char* out = block_.end();
  if (!header_written_) {
    out += writer_.header(state_, nullptr, out);
    header_written_ = true;
  }
  out += writer_.footer(state_, out);
  return block_.commit(out) && block_.flush();
}

}  // namespace cantext::tool
