// SPDX-License-Identifier: MIT
// The compact notation of a frame.
#include "cantext/compact_form.hpp"

#include <cstring>

#include "byte_words.hpp"
#include "cantext/hex_digits.hpp"
#include "hex_tables.hpp"
#include "instruction_sets.hpp"
#include "render/compact_form_render.hpp"

#if CANTEXT_X86_KERNELS
#include "render/hex_runs_x86.hpp"
#endif

namespace cantext {
namespace {

// The parser reads an 8-digit identifier with bit 29 set as an error frame, so an error frame
// keeps that bit and loses only the two flags above it.
constexpr std::uint32_t error_id_mask = CAN_ERR_FLAG | CAN_ERR_MASK;

// Eight digits whatever the kind, so that no branch depends on it (standard and extended frames
// follow each other at random): a standard identifier's three digits are the first three of its
// 11 bits moved to the top of the word, and the "#" lands after them.
template <bool shuffles>
[[gnu::always_inline]] inline char* put_identifier(char* out, std::uint32_t id) noexcept {
  const bool extended = (id & (CAN_ERR_FLAG | CAN_EFF_FLAG)) != 0;
  const std::uint32_t mask = (id & CAN_ERR_FLAG) ? error_id_mask : CAN_EFF_MASK;
  const std::uint32_t value = extended ? id & mask : (id & CAN_SFF_MASK) << 20;
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) detail::store_word(out, detail::eight_digits_ssse3(value));
#endif
  if constexpr (!shuffles) {
    detail::put_hex_pair(out, static_cast<std::uint8_t>(value >> 24));
    detail::put_hex_pair(out + 2, static_cast<std::uint8_t>(value >> 16));
    detail::put_hex_pair(out + 4, static_cast<std::uint8_t>(value >> 8));
    detail::put_hex_pair(out + 6, static_cast<std::uint8_t>(value));
  }
  out += extended ? 8 : 3;
  *out++ = '#';
  return out;
}

// The bytes are written in whole groups of eight from the record, which holds 64: a classic
// frame's bytes are one group whatever their count, so that no branch depends on it (the counts
// of a capture follow each other at random).  What a group writes past the last byte shown is
// overwritten by what follows, or lies past the terminator within the least buffer.
constexpr int group_bytes = 8;

int groups_of(int count) noexcept {
  return count > group_bytes ? (count + group_bytes - 1) / group_bytes : 1;
}

template <bool shuffles>
[[gnu::always_inline]] inline char* put_bytes(char* out, const std::uint8_t* data,
                                              int count) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) {
    detail::put_hex_digit_groups_ssse3(out, data, groups_of(count));
    return out + 2 * count;
  }
#endif
  const int end = group_bytes * groups_of(count);
  for (int i = 0; i < end; i += group_bytes) {
    for (int k = 0; k < group_bytes; ++k) detail::put_hex_pair(out + 2 * (i + k), data[i + k]);
  }
  return out + 2 * count;
}

// "." and the two digits of every byte value, padded to four characters so that each is one
// fixed-size copy.  The padding lands where the next byte, or the terminator, goes.
struct dotted_pairs {
  char entry[256][4];
};

constexpr dotted_pairs make_dotted_pairs() noexcept {
  dotted_pairs t{};
  for (std::size_t b = 0; b < 256; ++b) {
    t.entry[b][0] = '.';
    t.entry[b][1] = detail::hex_pairs[b][0];
    t.entry[b][2] = detail::hex_pairs[b][1];
    t.entry[b][3] = '.';
  }
  return t;
}

constexpr dotted_pairs dotted = make_dotted_pairs();

// Every byte as ".XX".
template <bool shuffles>
[[gnu::always_inline]] inline char* put_dotted_bytes(char* out, const std::uint8_t* data,
                                                     int count) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) {
    detail::put_hex_groups_ssse3<'.'>(out, data, groups_of(count));
    return out + 3 * count;
  }
#endif
  const int end = group_bytes * groups_of(count);
  for (int i = 0; i < end; i += group_bytes) {
    for (int k = 0; k < group_bytes; ++k)
      std::memcpy(out + 3 * (i + k), dotted.entry[data[i + k]], 4);
  }
  return out + 3 * count;
}

// Bytes written: the record's length, limited by maxdlen and never more than the record holds.
int shown_bytes(std::uint8_t len, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  return len < limit ? len : limit;
}

template <bool shuffles>
[[gnu::always_inline]] inline char* render_compact_as(char* out, const frame_record& record,
                                                      bool sep, int maxdlen) noexcept {
  out = put_identifier<shuffles>(out, record.can_id);
  if (maxdlen == CAN_MAX_DLEN && (record.can_id & CAN_RTR_FLAG)) {
    *out++ = 'R';
    // The requested length follows the record, not maxdlen; 0 and lengths no classic frame
    // can request are left out.
    if (record.len >= 1 && record.len <= CAN_MAX_DLEN) *out++ = hex_asc_upper[record.len];
    return out;
  }
  const int shown = shown_bytes(record.len, maxdlen);
  if (maxdlen == CANFD_MAX_DLEN) {
    *out++ = '#';
    *out++ = hex_asc_upper[record.flags & 0x0F];
    // "123##1.AA.BB": a dot before every byte.
    return sep ? put_dotted_bytes<shuffles>(out, record.data, shown)
               : put_bytes<shuffles>(out, record.data, shown);
  }
  if (!sep) return put_bytes<shuffles>(out, record.data, shown);
  // "123#AA.BB": the first byte without its dot, which lands on the "#" and is replaced.
  char* const end = put_dotted_bytes<shuffles>(out - 1, record.data, shown);
  out[-1] = '#';
  return shown > 0 ? end : out;
}

}  // namespace

namespace detail {

char* render_compact_portable(char* out, const frame_record& record, bool sep,
                              int maxdlen) noexcept {
  return render_compact_as<false>(out, record, sep, maxdlen);
}

#if CANTEXT_X86_KERNELS
__attribute__((target("ssse3"))) char* render_compact_ssse3(char* out, const frame_record& record,
                                                            bool sep, int maxdlen) noexcept {
  return render_compact_as<true>(out, record, sep, maxdlen);
}
#endif

char* render_compact(char* out, const frame_record& record, bool sep, int maxdlen) noexcept {
#if CANTEXT_X86_KERNELS
  if (usable_instruction_sets.ssse3) return render_compact_ssse3(out, record, sep, maxdlen);
#endif
  return render_compact_portable(out, record, sep, maxdlen);
}

}  // namespace detail

char* format_frame_compact(char* buf, const frame_record& record, bool sep, int maxdlen) noexcept {
  char* const end = detail::render_compact(buf, record, sep, maxdlen);
  *end = '\0';
  return end;
}

}  // namespace cantext
