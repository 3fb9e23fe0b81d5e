// SPDX-License-Identifier: MIT
// A decoded frame as text, into the caller's buffer: by the message's plan when the buffer has
// room for its longest text (and, for a frame not yet decoded, decoding as it writes), else
// piece by piece as snprintf.  The two are written apart, the second from the signals' own
// records, and the tests hold them to the same text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "short_decimal.hpp"
#include "signal_bits.hpp"
#include "text_plan.hpp"

namespace cantext::dbc {

namespace detail {

namespace {

// Copies a piece of the plan's text in blocks of 16 bytes, without a call or a branch on its
// length for most: the plan's text has 16 bytes after its last piece, and its room 16 bytes
// after the longest text, so a block may run past either end.
inline char* put_text(char* out, const char* from, std::size_t n) noexcept {
  std::size_t i = 0;
  do {
    std::memcpy(out + i, from + i, text_block);
    i += text_block;
  } while (i < n);
  return out + n;
}

// A plan's arrays, read once a message: writing through char* could otherwise change them, as
// far as the compiler knows, so that it would read them again for every signal.
struct plan_arrays {
  explicit plan_arrays(const text_plan& p) noexcept
      : text(p.text.data()),
        numbers(p.numbers.data()),
        values(p.value_texts.data()),
        choices(p.choices.data()) {}
  const char* text;
  const text_numbers* numbers;
  const value_text* values;
  const text_choice* choices;
};

// The choice's name for raw, or nullptr.
const text_choice* choice_of(const plan_arrays& p, const text_step& step,
                             std::uint64_t raw) noexcept {
  const text_choice* first = p.choices + step.choices_at;
  const text_choice* last = first + step.choice_count;
  const auto value = static_cast<std::int64_t>(raw);
  const text_choice* found = std::lower_bound(
      first, last, value, [](const text_choice& c, std::int64_t v) { return c.raw < v; });
  return found != last && found->raw == value ? found : nullptr;
}

// Computed rather than chosen by a branch: the sign differs from one value to the next.
std::uint64_t magnitude(std::uint64_t v, bool negative) noexcept {
  const std::uint64_t mask = 0 - static_cast<std::uint64_t>(negative);
  return (v ^ mask) - mask;
}

// The value, where it is written: integer and decimal signals alike, from a table, with one
// branch that a signal's kind or value seldom takes; the others (doubles, a decimal that is not
// m / 10^k after all, more than max_table_decimals decimals, 100000 or more) on the general path.
[[gnu::always_inline]] inline char* put_number(char* out, const text_step& step,
                                               const text_numbers& n, std::uint64_t raw,
                                               double physical) noexcept {
  // Integers wrap as the raw value's 64 bits do.
  const std::uint64_t scaled = raw * static_cast<std::uint64_t>(n.integer_factor) +
                               static_cast<std::uint64_t>(n.integer_offset);
  const bool integer = step.how == text_integer;
  const unsigned k = step.decimals;  // 0 for an integer
  const double size = std::fabs(physical);
  // Each of these is computed, not branched on: they differ from one signal to the next.
  const bool raw_negative = step.is_signed & (static_cast<std::int64_t>(raw) < 0);
  const bool in_range = magnitude(raw, raw_negative) <= n.max_raw;
  const bool exact = static_cast<double>(static_cast<std::int64_t>(scaled)) /
                         table_powers[k <= max_table_decimals ? k : 0] ==
                     physical;
  const bool short_decimal_text = exact & (size < 100000.0) & (k <= max_table_decimals);
  if (!((step.how != text_double) & in_range & (integer | short_decimal_text))) {
    if (step.how == text_decimal && in_range)
      return scaled_decimal(out, physical, static_cast<std::int64_t>(scaled), step.decimals);
    return short_decimal(out, physical);
  }
  // A decimal's sign is the double's own, for -0.
  const bool negative = (integer & step.is_signed & (static_cast<std::int64_t>(scaled) < 0)) |
                        (!integer & std::signbit(physical));
  const std::uint64_t digits = magnitude(scaled, negative);
  // A decimal's whole part without a division: m has at most 15 digits, so x is never rounded
  // up to the next integer.  (An integer's physical value may be too large to convert.)
  const auto decimal_whole =
      static_cast<std::uint64_t>(static_cast<std::int64_t>(size < 1e15 ? size : 0.0));
  const std::uint64_t integer_mask = 0 - static_cast<std::uint64_t>(integer);
  const std::uint64_t whole = (digits & integer_mask) | (decimal_whole & ~integer_mask);
  const fraction_text& fraction =
      fraction_texts[static_cast<std::size_t>(fraction_start[k] + digits - whole * tens[k])];
  *out = '-';
  out = put_unsigned(out + negative, whole);
  std::memcpy(out, fraction.text, sizeof fraction);
  return out + fraction.size;
}

// The raw value of a step's signal.
inline std::uint64_t raw_of(const text_step& step, const std::uint8_t* data) noexcept {
  const bit_plan bits{~std::uint64_t{0} >> (64 - step.length),
                      step.at,
                      step.shift,
                      step.length,
                      step.end,
                      step.big_endian,
                      step.ninth};
  return read_raw(bits, step.kind, data);
}

inline double physical_of(std::uint64_t raw, const text_step& step,
                          const text_numbers& n) noexcept {
  return detail::physical_of(raw, step.kind, n.factor, n.offset);
}

// A value's text from the signal's table.
inline const value_text& table_text(const plan_arrays& p, const text_step& step, std::uint64_t raw,
                                    bool choices) noexcept {
  const std::uint64_t count = std::uint64_t{1} << step.table_bits;
  return p
      .values[step.table_at + ((choices & step.table_choices) ? count : 0) + (raw & (count - 1))];
}

// What comes before a signal: nothing or ", " on one line, "\n    " or ",\n    " on many.
inline char* put_separator(char* out, bool first, bool multi_line) noexcept {
  *out = ',';
  out += !first;
  if (multi_line) {
    std::memcpy(out, "\n    ", 5);
    return out + 5;
  }
  *out = ' ';
  return out + !first;
}

// A present signal after its separator: "name: value unit", or "name: choice".  Physical() gives
// the physical value, which a value from a table does not need.
template <class Physical>
inline char* put_signal(char* out, const plan_arrays& p, std::size_t i, const text_step& step,
                        std::uint64_t raw, Physical physical, bool choices) noexcept {
  const text_numbers& n = p.numbers[i];
  out = put_text(out, p.text + n.name_at, n.name_size);
  if (step.table_bits != 0) {
    const value_text& t = table_text(p, step, raw, choices);
    std::memcpy(out, &t, sizeof t);
    return out + t.size;
  }
  if ((step.choice_count != 0) & choices) {
    if (const text_choice* c = choice_of(p, step, raw))
      return put_text(out, p.text + c->at, c->size);
  }
  out = put_number(out, step, n, raw, physical());
  return put_text(out, p.text + n.unit_at, step.unit_size);
}

inline char* put_end(char* out, bool first, bool multi_line) noexcept {
  if (multi_line && !first) *out++ = '\n';
  *out++ = ')';
  *out = '\0';
  return out;
}

// A frame with every signal, on one line: each value, then the joined text up to the next.
char* put_full_line(char* out, const text_plan& p, const std::uint8_t* data,
                    bool choices) noexcept {
  const plan_arrays arrays(p);
  const text_step* const steps = p.steps.data();
  const std::size_t count = p.steps.size();
  out = put_text(out, arrays.text + p.full_head_at, p.full_head_size);
  for (std::size_t i = 0; i < count; ++i) {
    const text_step& step = steps[i];
    const std::uint64_t raw = raw_of(step, data);
    std::uint32_t skip = 0;  // the unit, after a choice's name
    if (step.table_bits != 0) {
      const value_text& t = table_text(arrays, step, raw, choices);
      std::memcpy(out, &t, sizeof t);
      out += t.size;
    } else if (const text_choice* c =
                   ((step.choice_count != 0) & choices) ? choice_of(arrays, step, raw) : nullptr) {
      out = put_text(out, arrays.text + c->at, c->size);
      skip = step.unit_size;
    } else {
      const text_numbers& n = arrays.numbers[i];
      out = put_number(out, step, n, raw, physical_of(raw, step, n));
    }
    out = put_text(out, arrays.text + step.tail_at + skip, step.tail_size - skip);
  }
  *out = '\0';
  return out;
}

// By the plan, decoding each signal as it is written: for a message without multiplexing, where
// whether a signal is present depends on the payload's size alone.
char* put_frame(char* out, const text_plan& p, const std::uint8_t* data, std::size_t size,
                unsigned options) noexcept {
  alignas(8) std::uint8_t padded[64];
  data = readable(data, size, padded, p.reach);
  const bool multi_line = (options & format_multi_line) != 0;
  const bool choices = (options & format_choices) != 0;
  if (!multi_line && size >= p.full_size && !p.steps.empty())
    return put_full_line(out, p, data, choices);
  const text_step* const steps = p.steps.data();
  const std::size_t count = p.steps.size();
  const plan_arrays arrays(p);
  out = put_text(out, arrays.text, p.head_size);
  bool first = true;
  for (std::size_t i = 0; i < count; ++i) {
    const text_step& step = steps[i];
    if (step.end > size) continue;
    const std::uint64_t raw = raw_of(step, data);
    out = put_separator(out, first, multi_line);
    first = false;
    out = put_signal(
        out, arrays, i, step, raw, [&] { return physical_of(raw, step, arrays.numbers[i]); },
        choices);
  }
  return put_end(out, first, multi_line);
}

}  // namespace

char* put_message(char* out, const message& m, const signal_value* values,
                  unsigned options) noexcept {
  const text_plan& p = m.text;
  const bool multi_line = (options & format_multi_line) != 0;
  const bool choices = (options & format_choices) != 0;
  const text_step* const steps = p.steps.data();
  const std::size_t count = p.steps.size();
  const plan_arrays arrays(p);
  out = put_text(out, arrays.text, p.head_size);
  bool first = true;
  for (std::size_t i = 0; i < count; ++i) {
    const signal_value& v = values[i];
    if (!v.present) continue;
    out = put_separator(out, first, multi_line);
    first = false;
    out = put_signal(
        out, arrays, i, steps[i], v.raw, [&] { return v.physical; }, choices);
  }
  return put_end(out, first, multi_line);
}

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
  // Integers wrap as the raw value's 64 bits do (in unsigned arithmetic, where that is defined).
  const auto scaled = [&] {
    return v.raw * static_cast<std::uint64_t>(static_cast<std::int64_t>(s.factor)) +
           static_cast<std::uint64_t>(static_cast<std::int64_t>(s.offset));
  };
  if (integer && s.kind == value_kind::unsigned_integer) {
    out.number(scaled());
  } else if (integer) {
    out.number(static_cast<std::int64_t>(scaled()));
  } else {
    out.number(v.physical);
  }
  if (!s.unit.empty()) {
    out.put(" ");
    out.put(s.unit);
  }
}

}  // namespace

std::size_t format_value(char* buf, std::size_t size, const signal& s, const signal_value& v,
                         unsigned options) noexcept {
  text_out out(buf, size);
  put_value(out, s, v, options);
  return out.finish();
}

std::size_t format_pieces(char* buf, std::size_t size, const message& m, const signal_value* values,
                          unsigned options) noexcept {
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

}  // namespace detail

std::size_t format_message(char* buf, std::size_t size, const message& m,
                           const signal_value* values, unsigned options) noexcept {
  // A message not made by loading has no plan (room 0).
  if (m.text.room != 0 && size >= m.text.room)
    return static_cast<std::size_t>(detail::put_message(buf, m, values, options) - buf);
  return detail::format_pieces(buf, size, m, values, options);
}

std::size_t format_frame(char* buf, std::size_t buf_size, const message& m,
                         const std::uint8_t* data, std::size_t size, signal_value* values,
                         unsigned options) noexcept {
  // The plan's own fields only, for as few of the caches' lines as can be.
  const text_plan& p = m.text;
  if (!p.multiplexed && p.room != 0 && buf_size >= p.room)
    return static_cast<std::size_t>(detail::put_frame(buf, p, data, size, options) - buf);
  decode(m, data, size, values);
  return format_message(buf, buf_size, m, values, options);
}

}  // namespace cantext::dbc
