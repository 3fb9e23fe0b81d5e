// SPDX-License-Identifier: MIT
// The block marker in plain word arithmetic for every target, and the choice among it and the
// x86-64 ones (space_marks_x86.cpp).  All give the same bits.
#include "space_marks.hpp"
#include "instruction_sets.hpp"

namespace cantext::reader {
namespace {

using detail::bytes_equal;
using detail::every_byte;
using detail::gather_high_bits;
using detail::high_bits;

bool mark_breaks_portable(const char* block, std::size_t count, std::uint64_t* breaks) noexcept {
  std::uint64_t nul = 0;
  for (std::size_t word = 0; word < count; ++word) {
    std::uint64_t marks = 0;
    for (unsigned part = 0; part < 8; ++part) {
      const std::uint64_t w = detail::load_word(block + 64 * word + 8 * part);
      marks |= gather_high_bits(bytes_equal(w, '\n')) << (8 * part);
      nul |= bytes_equal(w, 0);
    }
    breaks[word] = marks;
  }
  return nul != 0;
}

bool mark_portable(const char* block, std::size_t count, mark_words marks) noexcept {
  if (marks.spaces == nullptr) return mark_breaks_portable(block, count, marks.breaks);
  std::uint64_t nul = 0;
  for (std::size_t word = 0; word < count; ++word) {
    std::uint64_t spaces = 0;
    std::uint64_t breaks = 0;
    for (unsigned part = 0; part < 8; ++part) {
      const std::uint64_t w = detail::load_word(block + 64 * word + 8 * part);
      // \t..\r are 9..13: with the high bit clear, adding 0x80 - 9 sets the high bit of a byte
      // from 9 up and adding 0x80 - 14 from 14 up; the seven low bits carry into no other byte.
      const std::uint64_t low = w & every_byte(0x7F);
      const std::uint64_t control =
          (low + every_byte(0x80 - 9)) & ~(low + every_byte(0x80 - 14)) & ~w & high_bits;
      spaces |= gather_high_bits(control | bytes_equal(w, ' ')) << (8 * part);
      breaks |= gather_high_bits(bytes_equal(w, '\n')) << (8 * part);
      nul |= bytes_equal(w, 0);
    }
    marks.spaces[word] = spaces;
    marks.breaks[word] = breaks;
  }
  return nul != 0;
}

}  // namespace

mark_function portable_mark_function() noexcept {
  return mark_portable;
}

#if !CANTEXT_X86_KERNELS
mark_function sse2_mark_function() noexcept {
  return nullptr;
}

mark_function avx2_mark_function() noexcept {
  return nullptr;
}
#endif

mark_function best_mark_function() noexcept {
  if (const mark_function avx2 = avx2_mark_function()) return avx2;
  if (const mark_function sse2 = sse2_mark_function()) return sse2;
  return portable_mark_function();
}

}  // namespace cantext::reader
