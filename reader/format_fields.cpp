// SPDX-License-Identifier: MIT
#include "format_fields.hpp"

namespace cantext::reader::fields {

char* put_decimal_words(char* out, std::uint64_t v, unsigned min_digits) noexcept {
  constexpr std::uint64_t eight = 100000000;
  if (v >= eight) {
    out = put_decimal(out, v / eight);
    detail::store_word(out, decimal_word(static_cast<std::uint32_t>(v % eight)));
    return out + 8;
  }
  const std::uint64_t word = decimal_word(static_cast<std::uint32_t>(v));
  // The leading zeros are the low bytes that hold '0'.
  const std::uint64_t values = word - detail::every_byte('0');
  unsigned n = values == 0 ? 1 : 8 - detail::lowest_set_bit(values) / 8;
  if (n < min_digits) n = min_digits;
  detail::store_word(out, word >> (8 * (8 - n)));
  return out + n;
}

bool read_data_field(splitter& words, unsigned base, std::uint8_t& byte) noexcept {
  std::uint32_t value = 0;
  if (!read_number(words.next(), base, 0xFF, value)) return false;
  byte = static_cast<std::uint8_t>(value);
  return true;
}

bool read_scaled(std::string_view text, int scale, std::int64_t& value,
                 int& fraction_digits) noexcept {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  std::int64_t unit = 1;
  for (int i = 0; i < scale; ++i) unit *= 10;
  const std::int64_t max_whole = INT64_MAX / unit - 1;
  std::size_t i = 0;
  std::int64_t whole = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > max_whole) return false;
  }
  if (i == 0) return false;
  std::int64_t part = 0;
  int count = 0;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    for (++i; i < text.size(); ++i, ++count) {
      if (text[i] < '0' || text[i] > '9') return false;
      if (count < scale) part = part * 10 + (text[i] - '0');
    }
  }
  for (int k = count; k < scale; ++k) part *= 10;
  const std::int64_t v = whole * unit + part;
  value = negative ? -v : v;
  fraction_digits = count;
  return true;
}

bool read_scaled_in(std::string_view line, std::string_view field, int scale, std::int64_t& value,
                    int& fraction_digits) noexcept {
  const char* const begin = field.data();
  const char* const end = begin + field.size();
  if (begin + 8 > line.data() + line.size() || end - 8 < line.data()) {
    return read_scaled(field, scale, value, fraction_digits);
  }
  const std::uint64_t dot = detail::bytes_equal(detail::load_word(begin), '.');
  const unsigned whole_digits = dot != 0 ? detail::lowest_set_bit(dot) / 8 : 0;
  const std::size_t count = field.size() - whole_digits - 1;
  if (whole_digits == 0 || count == 0 || count > 9) {
    return read_scaled(field, scale, value, fraction_digits);
  }
  std::uint32_t whole = 0;
  std::uint32_t part = 0;
  bool good = digits_from(begin, whole_digits, whole);
  if (count == 9) {
    const unsigned first = static_cast<unsigned char>(begin[whole_digits + 1]) - unsigned{'0'};
    good &= digits_before(end, 8, part) & (first <= 9);
    part += first * 100000000u;
  } else {
    good &= digits_before(end, static_cast<unsigned>(count), part);
  }
  if (!good) return read_scaled(field, scale, value, fraction_digits);
  const int digits = static_cast<int>(count);
  const std::int64_t fraction =
      digits <= scale ? part * powers_of_ten[scale - digits] : part / powers_of_ten[digits - scale];
  value = whole * powers_of_ten[scale] + fraction;
  fraction_digits = digits;
  return true;
}

}  // namespace cantext::reader::fields
