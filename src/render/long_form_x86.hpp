// SPDX-License-Identifier: MIT
// The long form's own x86-64 kernel: the character column with byte shuffles (SSSE3), for the
// processors that have them (instruction_sets.hpp).  Its hex digits come from hex_runs_x86.hpp.
#ifndef CANTEXT_SRC_RENDER_LONG_FORM_X86_HPP
#define CANTEXT_SRC_RENDER_LONG_FORM_X86_HPP

#include <immintrin.h>

#include <cstdint>

#include "cantext/frame.hpp"
#include "render/hex_runs_x86.hpp"

// Included by long_form.cpp alone.
namespace cantext::detail {
namespace {

// printable_characters, sixteen comparisons at once.
__attribute__((target("ssse3"))) inline std::uint64_t printable_characters_ssse3(
    const frame_record& record) noexcept {
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(record.data));
  // As signed bytes, those from 0x80 up are negative and fail the first test.
  const __m128i keep = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                     _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F)));
  const __m128i chars =
      _mm_or_si128(_mm_and_si128(keep, bytes), _mm_andnot_si128(keep, _mm_set1_epi8('.')));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(chars));
}

}  // namespace
}  // namespace cantext::detail

#endif
