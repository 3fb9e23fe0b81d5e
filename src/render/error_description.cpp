// SPDX-License-Identifier: MIT
// Error frames in words, written into a caller's buffer of bounded size.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#include "cantext/error_text.hpp"

namespace cantext {
namespace {

constexpr std::uint32_t last_valid_class = 0x200;
constexpr int lost_arbitration_bit = 1;
constexpr int controller_problem_bit = 2;
constexpr int protocol_violation_bit = 3;
constexpr std::uint8_t last_location = 31;
constexpr int unsigned_bits = std::numeric_limits<unsigned>::digits;

// A text being placed into buf[0..cap).  Pieces are cut where a length-limited formatter would
// cut them: once a piece does not fit, pos sticks at cap and every later piece is dropped, so
// buf + pos never points past the end of the buffer.
struct bounded_text {
  char* buf;
  std::size_t cap;
  std::size_t pos;
};

void put(bounded_text& text, std::string_view piece) noexcept {
  if (text.pos >= text.cap || piece.empty()) return;
  const std::size_t room = text.cap - 1 - text.pos;
  if (piece.size() <= room) {
    std::memcpy(text.buf + text.pos, piece.data(), piece.size());
    text.pos += piece.size();
  } else {
    std::memcpy(text.buf + text.pos, piece.data(), room);
    text.pos = text.cap;
  }
}

// A byte in decimal, as "%d" prints it.
void put_decimal(bounded_text& text, std::uint8_t value) noexcept {
  char digits[3];
  std::size_t n = 0;
  if (value >= 100) digits[n++] = static_cast<char>('0' + value / 100);
  if (value >= 10) digits[n++] = static_cast<char>('0' + value / 10 % 10);
  digits[n++] = static_cast<char>('0' + value % 10);
  put(text, std::string_view(digits, n));
}

// Terminates the text where it ends, or at the last byte of the buffer when it was cut.
void finish(bounded_text& text) noexcept {
  if (text.cap == 0) return;
  text.buf[text.pos < text.cap ? text.pos : text.cap - 1] = '\0';
}

// The name tables with their lengths known at compile time, so that the hot path never
// measures a string.
template <std::size_t N>
struct name_views {
  std::string_view at[N];
};

template <std::size_t N>
constexpr name_views<N> views_of(const char* const (&names)[N]) noexcept {
  name_views<N> views{};
  for (std::size_t i = 0; i < N; ++i) views.at[i] = names[i];
  return views;
}

constexpr auto class_views = views_of(error_class_names);
constexpr auto problem_views = views_of(controller_problem_names);
constexpr auto type_views = views_of(violation_type_names);
constexpr auto location_views = views_of(violation_location_names);

// Places the names of the bits 0..count-1 set in bits, joined by ","; returns the length of the
// whole list, whether or not it fitted.
template <typename NameAt>
std::size_t put_bit_names(bounded_text& text, unsigned bits, int count, NameAt name_at) noexcept {
  const int last = count < unsigned_bits ? count : unsigned_bits;
  std::size_t total = 0;
  bool first = true;
  for (int i = 0; i < last; ++i) {
    if (((bits >> i) & 1U) == 0) continue;
    if (!first) {
      put(text, ",");
      ++total;
    }
    first = false;
    const std::string_view name = name_at(i);
    put(text, name);
    total += name.size();
  }
  return total;
}

template <std::size_t N>
void put_table_names(bounded_text& text, unsigned bits, const name_views<N>& names) noexcept {
  put_bit_names(text, bits, static_cast<int>(N),
                [&names](int i) { return names.at[static_cast<std::size_t>(i)]; });
}

void put_class_detail(bounded_text& text, int bit, const frame_record& record) noexcept {
  switch (bit) {
    case lost_arbitration_bit:
      put(text, "{at bit ");
      put_decimal(text, record.data[0]);
      put(text, "}");
      break;
    case controller_problem_bit:
      put(text, "{");
      put_table_names(text, record.data[1], problem_views);
      put(text, "}");
      break;
    case protocol_violation_bit:
      put(text, "{{");
      put_table_names(text, record.data[2], type_views);
      put(text, "}{");
      // Location 0 means "unspecified" too, but the frame then says nothing worth printing.
      if (record.data[3] >= 1 && record.data[3] <= last_location) {
        put(text, location_views.at[record.data[3]]);
      }
      put(text, "}}");
      break;
    default:
      break;
  }
}

void put_counters(bounded_text& text, const frame_record& record) noexcept {
  put(text, "error-counter-tx-rx{{");
  put_decimal(text, record.data[6]);
  put(text, "}{");
  put_decimal(text, record.data[7]);
  put(text, "}}");
}

void describe(bounded_text& text, const frame_record& record, std::string_view sep) noexcept {
  const std::uint32_t error_class = record.can_id & CAN_ERR_MASK;
  if (error_class > last_valid_class) {
    std::fprintf(stderr, "Error class %#x is invalid\n", static_cast<unsigned>(error_class));
    return;
  }
  bool first = true;
  for (int bit = 0; bit < static_cast<int>(std::size(class_views.at)); ++bit) {
    if (((error_class >> bit) & 1U) == 0) continue;
    if (!first) put(text, sep);
    first = false;
    put(text, class_views.at[bit]);
    put_class_detail(text, bit, record);
  }
  // The counters stand on their own: they follow a separator even when no class was named.
  if (record.data[6] != 0 || record.data[7] != 0) {
    put(text, sep);
    put_counters(text, record);
  }
}

}  // namespace

int append_bit_names(char* buf, std::size_t cap, unsigned bits, const char* const names[],
                     int count) noexcept {
  bounded_text text{buf, cap, 0};
  const std::size_t total =
      put_bit_names(text, bits, count, [names](int i) { return std::string_view(names[i]); });
  finish(text);
  return static_cast<int>(total);
}

void format_error_description(char* buf, std::size_t cap, const frame_record& record,
                              const char* sep) noexcept {
  bounded_text text{buf, cap, 0};
  if (record.can_id & CAN_ERR_FLAG) describe(text, record, sep != nullptr ? sep : ",");
  finish(text);
}

}  // namespace cantext
