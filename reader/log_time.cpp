// SPDX-License-Identifier: MIT
#include "log_time.hpp"

#include <cstdint>
#include <cstring>

#include "format_fields.hpp"

namespace cantext::reader {
namespace {

constexpr std::uint64_t ns_per_second = 1000000000u;
constexpr std::uint32_t powers_of_ten[] = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

// Nanoseconds of `seconds` and a fraction of nine digits, false beyond int64.
bool to_ns(std::uint64_t seconds, std::uint64_t fraction, bool negative,
           std::int64_t& ns) noexcept {
  if (seconds > 9223372036u) return false;
  const std::uint64_t total = seconds * ns_per_second + fraction;
  if (total > static_cast<std::uint64_t>(INT64_MAX)) return false;
  ns = negative ? -static_cast<std::int64_t>(total) : static_cast<std::int64_t>(total);
  return true;
}

// The usual time, "(seconds.fraction)" with 1 to 16 digits of seconds and 1 to 9 of fraction,
// read a word at a time; the loads stay inside the text.  False for any other text, which the
// digit by digit reading takes then.
bool parse_usual_time(std::string_view text, std::int64_t& ns, int& digits) noexcept {
  // "(1.1)" is the shortest, and eight characters before the ")" are read.
  if (text.size() < 10 || text.size() > 28 || text.front() != '(' || text.back() != ')') {
    return false;
  }
  const char* const p = text.data();
  const std::size_t close = text.size() - 1;
  // The point is among the eight characters before the ")" unless the fraction has more digits.
  std::size_t dot;
  const std::uint64_t near = detail::bytes_equal(detail::load_word(p + close - 8), '.');
  if (near != 0) {
    dot = close - 8 + detail::lowest_set_bit(near) / 8;
  } else if (close >= 16) {
    const std::uint64_t far = detail::bytes_equal(detail::load_word(p + close - 16), '.');
    if (far == 0) return false;
    dot = close - 16 + detail::lowest_set_bit(far) / 8;
  } else {
    return false;
  }
  const auto whole_digits = static_cast<unsigned>(dot - 1);
  const auto fraction_digits = static_cast<unsigned>(close - dot - 1);
  if (whole_digits == 0 || whole_digits > 16 || fraction_digits == 0 || fraction_digits > 9) {
    return false;
  }
  // The seconds: their first digits from the start (the eight there lie in the text), their
  // last eight before the point.
  std::uint32_t high = 0;
  std::uint32_t low = 0;
  bool good;
  if (whole_digits <= 8) {
    good = fields::digits_from(p + 1, whole_digits, low);
  } else {
    const bool high_ok = fields::digits_from(p + 1, whole_digits - 8, high);
    const bool low_ok = fields::digits_before(p + dot, 8, low);
    good = high_ok & low_ok;
  }
  // The fraction: the digits before the ")", the first of nine apart.
  std::uint32_t fraction = 0;
  if (fraction_digits == 9) {
    const unsigned first = static_cast<unsigned char>(p[dot + 1]) - unsigned{'0'};
    good &= fields::digits_before(p + close, 8, fraction) & (first <= 9);
    fraction += first * 100000000u;
  } else {
    good &= fields::digits_before(p + close, fraction_digits, fraction);
    fraction *= powers_of_ten[9 - fraction_digits];
  }
  if (!good) return false;
  if (!to_ns(std::uint64_t{high} * 100000000u + low, fraction, false, ns)) return false;
  digits = static_cast<int>(fraction_digits);
  return true;
}

}  // namespace

std::size_t put_log_time(char* out, std::int64_t ns, int digits) noexcept {
  if (digits < 1) digits = 1;
  if (digits > 9) digits = 9;
  const bool negative = ns < 0;
  // The magnitude as unsigned: -INT64_MIN does not fit the signed type.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(ns) : static_cast<std::uint64_t>(ns);
  const std::uint64_t seconds = magnitude / ns_per_second;
  const auto fraction = static_cast<std::uint32_t>(magnitude % ns_per_second);
  // Called for every frame a conversion writes: whole words of digits, all nine of the
  // fraction, of which the ")" keeps `digits` (the rest are cut, not rounded).  At most 10
  // digits of seconds and 9 of fraction: the words stay inside max_log_time + 1 bytes.
  char* p = out;
  *p++ = '(';
  if (negative) *p++ = '-';
  if (seconds >= 1000000000u && seconds < 10000000000u) {
    // Ten digits, the seconds of every time from 2001 to 2286.
    const auto rest = static_cast<std::uint32_t>(seconds - 1000000000u * (seconds / 1000000000u));
    p[0] = static_cast<char>('0' + seconds / 1000000000u);
    p[1] = static_cast<char>('0' + rest / 100000000u);
    detail::store_word(p + 2, fields::decimal_word(rest % 100000000u));
    p += 10;
  } else {
    p = fields::put_decimal(p, seconds);
  }
  *p++ = '.';
  *p = static_cast<char>('0' + fraction / 100000000u);
  detail::store_word(p + 1, fields::decimal_word(fraction % 100000000u));
  p += digits;
  *p++ = ')';
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

std::size_t put_next_log_time(char* out, std::int64_t previous_ns, std::int64_t ns,
                              int digits) noexcept {
  if (out[0] != '(' || previous_ns < 0 || ns < 0) return put_log_time(out, ns, digits);
  const std::uint64_t seconds = static_cast<std::uint64_t>(ns) / ns_per_second;
  const std::uint64_t second_start = seconds * ns_per_second;
  // An earlier second wraps to far above one: one comparison tells the same second.
  if (static_cast<std::uint64_t>(previous_ns) - second_start >= ns_per_second) {
    return put_log_time(out, ns, digits);
  }
  // The point follows the seconds: after the "(" and ten digits for every time from 2001 to
  // 2286, else within the first 16 bytes for up to 14 digits of them.
  std::size_t point = 11;
  if (out[point] != '.') {
    const std::uint64_t near = detail::bytes_equal(detail::load_word(out), '.');
    const std::uint64_t far = detail::bytes_equal(detail::load_word(out + 8), '.');
    if ((near | far) == 0) return put_log_time(out, ns, digits);
    point = near != 0 ? detail::lowest_set_bit(near) / 8 : 8 + detail::lowest_set_bit(far) / 8;
  }
  if (digits < 1) digits = 1;
  if (digits > 9) digits = 9;
  const auto fraction = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ns) - second_start);
  char* p = out + point + 1;
  *p = static_cast<char>('0' + fraction / 100000000u);
  detail::store_word(p + 1, fields::decimal_word(fraction % 100000000u));
  p += digits;
  *p++ = ')';
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

bool parse_log_time(std::string_view text, std::int64_t& ns, int& digits) noexcept {
  if (parse_usual_time(text, ns, digits)) return true;
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    text = {text.data() + 1, text.size() - 2};
  }
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  std::size_t i = 0;
  std::uint64_t seconds = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (seconds > 10000000000u) return false;  // past int64's nanoseconds already
    seconds = seconds * 10 + static_cast<unsigned>(text[i] - '0');
  }
  if (i == 0) return false;
  std::uint64_t fraction = 0;
  int count = 0;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    for (++i; i < text.size(); ++i, ++count) {
      if (text[i] < '0' || text[i] > '9') return false;
      if (count < 9) fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
    }
  }
  for (int k = count; k < 9; ++k) fraction *= 10;
  if (!to_ns(seconds, fraction, negative, ns)) return false;
  digits = count;
  return true;
}

}  // namespace cantext::reader
