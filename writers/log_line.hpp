// SPDX-License-Identifier: MIT
// The capture log's line, "(seconds.fraction) channel frame [R|T]", as the log writer writes it:
// here, inline, so that a conversion to the log writes its lines without a call through the
// writer's table (convert_lines.hpp).
#ifndef CANTEXT_WRITERS_LOG_LINE_HPP
#define CANTEXT_WRITERS_LOG_LINE_HPP

#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "byte_words.hpp"
#include "cantext/compact_form.hpp"
#include "format_fields.hpp"
#include "render/compact_form_inline.hpp"

namespace cantext::writers {

// Copies `field` and a space after it; a field of up to 32 bytes, such as every time and channel
// name, as two copies of a fixed size that may overlap, with no call to the C library's copy.
inline char* put_log_field(char* out, std::string_view field) noexcept {
  const char* const from = field.data();
  const std::size_t n = field.size();
  if (n >= 8 && n <= 16) {
    detail::store_word(out, detail::load_word(from));
    detail::store_word(out + n - 8, detail::load_word(from + n - 8));
  } else if (n > 16 && n <= 32) {
    char head[16];
    char tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(out, head, 16);
    std::memcpy(out + n - 16, tail, 16);
  } else if (n >= 4 && n < 8) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(out, &head, 4);
    std::memcpy(out + n - 4, &tail, 4);
  } else {
    std::memcpy(out, from, n);
  }
  out[n] = ' ';
  return out + n + 1;
}

// The time field and a space, written from the nanoseconds a format read (line::time_ns and
// time_digits), as reader::put_log_time writes it: a reading that writes the log asks the formats
// for the number alone (format_options::time_text), and this writer keeps the text of the current
// second, so that a line within it costs one copy of that text and the fraction's digits.
class log_time_out {
 public:
  // Writes "(seconds.fraction) " for `ns` with `digits` (1 to 9) digits of fraction; returns the
  // end.  Up to 32 bytes from `out` may be written.
  char* put(char* out, std::int64_t ns, int digits) noexcept {
    const std::uint64_t in_second = static_cast<std::uint64_t>(ns) - second_ns_;
    // A time before the kept second wraps to far above a second.  A negative time is never
    // kept, and its text has a "-" before the seconds.
    if (ns < 0 || in_second >= ns_per_second) return put_new_second(out, ns, digits);
    detail::store_word(out, head_[0]);
    detail::store_word(out + 8, head_[1]);
    // All nine digits of the fraction, of which `digits` stay (cut, not rounded).
    char* p = out + head_size_;
    const auto fraction = static_cast<std::uint32_t>(in_second);
    const std::uint32_t tenths = fraction / 10;
    put_eight_digits(p, tenths);
    p[8] = static_cast<char>('0' + (fraction - tenths * 10));
    p += digits;
    p[0] = ')';
    p[1] = ' ';
    return p + 2;
  }

 private:
  static constexpr std::uint64_t ns_per_second = 1000000000u;

  // The eight decimal digits of v < 10^8 at `out`, as reader::fields::decimal_word gives them.
  static void put_eight_digits(char* out, std::uint32_t v) noexcept {
#if defined(__SSE2__)
    // The halves v / 10^4 and v % 10^4, each in four 16-bit lanes, divided by 10^3, 10^2, 10 and
    // 1 at once (a multiply-high by about 2^k / 10^n, then by the power of two that completes
    // the shift), then each lane less ten times the lane before: its digit.  Fewer instructions
    // than the word's arithmetic in every line's time.
    const __m128i x = _mm_cvtsi32_si128(static_cast<int>(v));
    const __m128i high =
        _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xD1B71759u))), 45);
    const __m128i low = _mm_sub_epi32(x, _mm_mul_epu32(high, _mm_set1_epi32(10000)));
    const __m128i halves = _mm_slli_epi64(_mm_unpacklo_epi16(high, low), 2);
    const __m128i pairs = _mm_unpacklo_epi16(halves, halves);
    const __m128i spread = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i reciprocals =
        _mm_setr_epi16(8389, 5243, 13108, -32768, 8389, 5243, 13108, -32768);
    const __m128i shifts =
        _mm_setr_epi16(1 << 7, 1 << 11, 1 << 13, -32768, 1 << 7, 1 << 11, 1 << 13, -32768);
    const __m128i leading = _mm_mulhi_epu16(_mm_mulhi_epu16(spread, reciprocals), shifts);
    const __m128i digits =
        _mm_sub_epi16(leading, _mm_slli_epi64(_mm_mullo_epi16(leading, _mm_set1_epi16(10)), 16));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                     _mm_add_epi8(_mm_packus_epi16(digits, digits), _mm_set1_epi8('0')));
#else
    detail::store_word(out, reader::fields::decimal_word(v));
#endif
  }
  // The whole text by reader::put_log_time, and the second kept when it has a place for it.
  [[gnu::noinline]] char* put_new_second(char* out, std::int64_t ns, int digits) noexcept;

  // "(seconds." of the kept second, up to 16 bytes, the first in the lowest byte; what follows
  // its point in the words is overwritten by the fraction.
  std::uint64_t head_[2] = {};
  std::size_t head_size_ = 0;
  // The kept second's start in nanoseconds: none at first, as no time of 0 or more lies within
  // a second of 2^63.
  std::uint64_t second_ns_ = std::uint64_t{1} << 63;
};

// What follows the time and the channel in a log line, at `out`: the frame in compact notation,
// the direction, where there is one, as a fourth field, and the line break; returns the end.
inline char* put_log_frame(char* out, const frame_record& record, int max_data_length,
                           std::string_view direction) noexcept {
  // The renderer itself, inline for the usual frame: the terminator format_frame_compact adds
  // would be overwritten.
  out = detail::render_compact_inline(out, record, max_data_length);
  if (direction.size() == 1) {
    out[0] = ' ';
    out[1] = direction[0];
    out += 2;
  } else if (!direction.empty()) {
    *out++ = ' ';
    std::memcpy(out, direction.data(), direction.size());
    out += direction.size();
  }
  *out++ = '\n';
  return out;
}

}  // namespace cantext::writers

#endif
