// SPDX-License-Identifier: MIT
#include "log_time.hpp"

#include <cstdint>
#include <cstring>

namespace cantext::reader {

std::size_t put_log_time(char* out, std::int64_t ns, int digits) noexcept {
  if (digits < 1) digits = 1;
  if (digits > 9) digits = 9;
  const bool negative = ns < 0;
  // The magnitude as unsigned: -INT64_MIN does not fit the signed type.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(ns) : static_cast<std::uint64_t>(ns);
  std::uint64_t seconds = magnitude / 1000000000u;
  std::uint32_t fraction = static_cast<std::uint32_t>(magnitude % 1000000000u);
  for (int i = digits; i < 9; ++i) fraction /= 10;
  // Written from the end: the fraction's digits, the point, the seconds' digits.  Called for
  // every frame a conversion writes, so without the formatted printing's overhead.
  char text[max_log_time + 1];
  char* p = text + sizeof text;
  *--p = ')';
  for (int i = 0; i < digits; ++i, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + seconds % 10);
    seconds /= 10;
  } while (seconds != 0);
  if (negative) *--p = '-';
  *--p = '(';
  const std::size_t length = static_cast<std::size_t>(text + sizeof text - p);
  std::memcpy(out, p, length);
  out[length] = '\0';
  return length;
}

bool parse_log_time(std::string_view text, std::int64_t& ns, int& digits) noexcept {
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
  if (seconds > 9223372036u) return false;
  const std::uint64_t total = seconds * 1000000000u + fraction;
  if (total > static_cast<std::uint64_t>(INT64_MAX)) return false;
  ns = negative ? -static_cast<std::int64_t>(total) : static_cast<std::int64_t>(total);
  digits = count;
  return true;
}

}  // namespace cantext::reader
