// SPDX-License-Identifier: MIT
// A decoded frame as text, into the caller's buffer.
#include <charconv>
#include <cstring>

#include "short_decimal.hpp"
#include "signal_bits.hpp"

namespace cantext::dbc {

namespace {

// Appends to a buffer as snprintf does: what does not fit is counted, not written.
class text_out {
 public:
  text_out(char* buf, std::size_t size) noexcept : buf_(buf), size_(size) {}

  void put(std::string_view text) noexcept {
    if (length_ + 1 < size_) {
      const std::size_t room = size_ - 1 - length_;
      std::memcpy(buf_ + length_, text.data(), text.size() < room ? text.size() : room);
    }
    length_ += text.size();
  }

  template <typename T>
  void number(T value) noexcept {
    char digits[32];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    put(std::string_view(digits, static_cast<std::size_t>(r.ptr - digits)));
  }

  // The shortest text that reads back as the same double (as std::to_chars writes it).
  void number(double value) noexcept {
    char digits[detail::short_decimal_room];
    put(std::string_view(digits,
                         static_cast<std::size_t>(detail::short_decimal(digits, value) - digits)));
  }

  std::size_t finish() noexcept {
    if (size_ > 0) buf_[length_ < size_ ? length_ : size_ - 1] = '\0';
    return length_;
  }

 private:
  char* buf_;
  std::size_t size_;
  std::size_t length_ = 0;
};

void put_value(text_out& out, const signal& s, const signal_value& v, unsigned options) {
  if ((options & format_choices) != 0 && !s.choices.empty()) {
    if (const char* name = choice_name(s, v.raw)) {
      out.put(name);
      return;
    }
  }
  const bool integer =
      (s.kind == value_kind::unsigned_integer || s.kind == value_kind::signed_integer) &&
      s.integer_scaling;
  if (integer && s.kind == value_kind::unsigned_integer) {
    out.number(v.raw * static_cast<std::uint64_t>(static_cast<std::int64_t>(s.factor)) +
               static_cast<std::uint64_t>(static_cast<std::int64_t>(s.offset)));
  } else if (integer) {
    out.number(static_cast<std::int64_t>(v.raw) * static_cast<std::int64_t>(s.factor) +
               static_cast<std::int64_t>(s.offset));
  } else {
    out.number(v.physical);
  }
  if (!s.unit.empty()) {
    out.put(" ");
    out.put(s.unit);
  }
}

}  // namespace

std::size_t format_message(char* buf, std::size_t size, const message& m,
                           const signal_value* values, unsigned options) noexcept {
  text_out out(buf, size);
  const bool multi_line = (options & format_multi_line) != 0;
  out.put(m.name);
  out.put("(");
  bool first = true;
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    if (!values[i].present) continue;
    out.put(first ? (multi_line ? "\n    " : "") : (multi_line ? ",\n    " : ", "));
    first = false;
    out.put(m.signals[i].name);
    out.put(": ");
    put_value(out, m.signals[i], values[i], options);
  }
  out.put(multi_line && !first ? "\n)" : ")");
  return out.finish();
}

}  // namespace cantext::dbc
