// SPDX-License-Identifier: MIT
// The compact notation inline, for the writers that render a frame on every line: the usual
// frame, a classic data frame, in a few vector instructions where the processor has SSE2, with
// no call; every other frame by render_compact.
#ifndef CANTEXT_SRC_RENDER_COMPACT_FORM_INLINE_HPP
#define CANTEXT_SRC_RENDER_COMPACT_FORM_INLINE_HPP

#include <cstdint>

#include "cantext/frame.hpp"
#include "render/compact_form_render.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cantext::detail {

#if defined(__SSE2__)
// The upper-case hex digits of the nibbles in each byte: SSE2 has no byte shuffle to look them
// up, so a digit past 9 gets the 7 characters between '9' and 'A' added.
inline __m128i hex_characters_sse2(__m128i nibbles) noexcept {
  const __m128i letters =
      _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
  return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}
#endif

// What render_compact(out, record, false, maxdlen) writes, with its end; `out` needs
// COMPACT_FORM_BUF_SIZE bytes.
inline char* render_compact_inline(char* out, const frame_record& record, int maxdlen) noexcept {
#if defined(__SSE2__)
  const std::uint32_t id = record.can_id;
  if (maxdlen == CAN_MAX_DLEN && (id & (CAN_RTR_FLAG | CAN_ERR_FLAG)) == 0) {
    // As render_compact: eight digits whatever the kind, a standard identifier's three being the
    // first three of its 11 bits moved to the top of the word, the "#" after the ones shown.
    const bool extended = (id & CAN_EFF_FLAG) != 0;
    const std::uint32_t value = extended ? id & CAN_EFF_MASK : (id & CAN_SFF_MASK) << 20;
    // The identifier's four bytes, the most significant first, then the eight data bytes (all
    // of them, whatever the length: what lies past the bytes shown is overwritten by what
    // follows, or lies past the end).
    const __m128i data = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(record.data));
    const __m128i bytes = _mm_or_si128(
        _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(value))), _mm_slli_si128(data, 4));
    const __m128i low_nibbles = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), low_nibbles);
    const __m128i low = _mm_and_si128(bytes, low_nibbles);
    // The identifier's digits and the first four bytes', then the last four bytes'.
    const __m128i first = hex_characters_sse2(_mm_unpacklo_epi8(high, low));
    const __m128i last = hex_characters_sse2(_mm_unpackhi_epi8(high, low));
    const int id_digits = extended ? 8 : 3;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
    out[id_digits] = '#';
    char* const digits = out + id_digits + 1;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(digits), _mm_srli_si128(first, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + 8), last);
    const int shown = record.len < CAN_MAX_DLEN ? record.len : CAN_MAX_DLEN;
    return digits + 2 * shown;
  }
#endif
  return render_compact(out, record, false, maxdlen);
}

}  // namespace cantext::detail

#endif
