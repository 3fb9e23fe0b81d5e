// SPDX-License-Identifier: MIT
// The long, column-aligned form of a frame.
//
// The text is assembled from fixed-size pieces: the identifier field and the padding are laid
// down as spaces first, and the data digits come from a table of ready-made pairs or, where the
// processor has byte shuffles (instruction_sets.hpp), from a few vector instructions.  The
// filter's usual text, a classic data frame, takes a shorter route of whole-word stores.
// Copies may run a few bytes past the text; they never pass the largest text of the same kind
// (LONG_FORM_CLASSIC_BUF_SIZE with at most 8 bytes shown), and the caller's terminator or the
// next text overwrites them.
#include <array>
#include <cstring>

#include "byte_words.hpp"
#include "cantext/hex_digits.hpp"
#include "cantext/long_form.hpp"
#include "hex_tables.hpp"
#include "instruction_sets.hpp"
#include "render/long_form_render.hpp"

#if CANTEXT_X86_KERNELS
#include "render/long_form_x86.hpp"
#endif

namespace cantext {
namespace {

constexpr int wide_base = 10;
constexpr int narrow_base = 5;
constexpr char remote_request[] = " remote request";
constexpr char error_marker[] = "ERRORFRAME";

// Ready-made digits of every byte value, from the shared table of hex pairs.
struct digit_tables {
  std::uint16_t pair_word[256];  // "00" .. "FF", the first character in the low byte
  char spaced[256][4];  // " 00 " .. " FF ": a separator, the digits and the next padding space
  char bits[256][8];    // "00000000" .. "11111111"
};

constexpr digit_tables make_digit_tables() noexcept {
  digit_tables t{};
  for (int b = 0; b < 256; ++b) {
    const auto i = static_cast<std::size_t>(b);
    const detail::hex_pair& pair = detail::hex_pairs[i];
    t.pair_word[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(pair[0]) |
                                                static_cast<unsigned char>(pair[1]) << 8);
    t.spaced[i][0] = ' ';
    t.spaced[i][1] = pair[0];
    t.spaced[i][2] = pair[1];
    t.spaced[i][3] = ' ';
    for (int bit = 0; bit < 8; ++bit) t.bits[i][bit] = ((b >> (7 - bit)) & 1) ? '1' : '0';
  }
  return t;
}

constexpr digit_tables digits = make_digit_tables();

std::uint64_t pair_word(std::uint32_t byte) noexcept {
  return digits.pair_word[byte & 0xFF];
}

// " XX XX XX XX XX XX XX XX": eight data bytes with their separators, as three whole words.
void put_eight_hex(char* out, const std::uint8_t* data) noexcept {
  constexpr std::uint64_t blank = ' ';
  const std::uint64_t p2 = pair_word(data[2]);
  detail::store_word(out, blank | pair_word(data[0]) << 8 | blank << 24 | pair_word(data[1]) << 32 |
                              blank << 48 | (p2 & 0xFF) << 56);
  detail::store_word(out + 8, p2 >> 8 | blank << 8 | pair_word(data[3]) << 16 | blank << 32 |
                                  pair_word(data[4]) << 40 | blank << 56);
  detail::store_word(out + 16, pair_word(data[5]) | blank << 16 | pair_word(data[6]) << 24 |
                                   blank << 40 | pair_word(data[7]) << 48);
}

// What the identifier field shows: the identifier's bits for its kind, and the mask that turns
// the leading five "0" digits of a standard one into blanks, right-aligning it.  The kinds
// follow each other at random in a log, so the kind picks them from a table by its flag bits
// (error, remote, extended: the top three) rather than by a branch.
struct aligned_identifier {
  std::uint32_t value;
  std::uint64_t zeros_to_blanks;
};

struct identifier_kind {
  std::uint32_t shown_bits;
  std::uint64_t zeros_to_blanks;
};

constexpr std::array<identifier_kind, 8> make_identifier_kinds() noexcept {
  std::array<identifier_kind, 8> t{};
  for (std::uint32_t flags = 0; flags < 8; ++flags) {
    const std::uint32_t id = flags << 29;
    if (id & CAN_ERR_FLAG) {
      t[flags] = {CAN_ERR_MASK | CAN_ERR_FLAG, 0};
    } else if (id & CAN_EFF_FLAG) {
      t[flags] = {CAN_EFF_MASK, 0};
    } else {
      // The first five of the eight digits (bytes 0..4): "0" ^ ('0' ^ ' ') is " ".
      t[flags] = {CAN_SFF_MASK, detail::every_byte('0' ^ ' ') >> (8 * 3)};
    }
  }
  return t;
}

constexpr std::array<identifier_kind, 8> identifier_kinds = make_identifier_kinds();

aligned_identifier identifier_to_show(std::uint32_t id) noexcept {
  const identifier_kind& kind = identifier_kinds[id >> 29];
  return {id & kind.shown_bits, kind.zeros_to_blanks};
}

// The eight digits of a number, the most significant first in memory.
std::uint64_t eight_digits(std::uint32_t v) noexcept {
  return pair_word(v >> 24) | pair_word(v >> 16) << 16 | pair_word(v >> 8) << 32 |
         pair_word(v) << 48;
}

// eight_digits, with byte shuffles or without.
template <bool shuffles>
[[gnu::always_inline]] inline std::uint64_t eight_digits_as(std::uint32_t v) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) return detail::eight_digits_ssse3(v);
#endif
  return eight_digits(v);
}

// The identifier in columns 0..7; returns the base column of the length field.
template <bool shuffles>
[[gnu::always_inline]] inline int put_identifier(char* line, std::uint32_t id,
                                                 unsigned view) noexcept {
  const aligned_identifier shown = identifier_to_show(id);
  const bool standard = shown.zeros_to_blanks != 0;
  if ((view & VIEW_ALIGN_SFF) || !standard) {
    detail::store_word(line, eight_digits_as<shuffles>(shown.value) ^ shown.zeros_to_blanks);
    return wide_base;
  }
  line[0] = hex_asc_upper[shown.value >> 8];
  detail::put_hex_pair(line + 1, static_cast<std::uint8_t>(shown.value));
  return narrow_base;
}

// The i-th byte shown, in the order the view asks for.
std::uint8_t shown_byte(const frame_record& record, int i, int shown, bool swap) noexcept {
  return record.data[swap ? shown - 1 - i : i];
}

// Groups of eight data bytes in hex, with byte shuffles or without.
template <bool shuffles>
[[gnu::always_inline]] inline void put_hex_groups(char* out, const std::uint8_t* data,
                                                  int groups) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) return detail::put_hex_groups_ssse3<' '>(out, data, groups);
#endif
  for (int g = 0; g < groups; ++g) put_eight_hex(out + 24 * g, data + 8 * g);
}

template <bool shuffles>
inline char* put_data(char* out, const frame_record& record, int shown, unsigned view) noexcept {
  const bool swap = (view & VIEW_SWAP) != 0;
  if (view & VIEW_BINARY) {
    for (int i = 0; i < shown; ++i) {
      out[0] = (swap && i > 0) ? '`' : ' ';
      std::memcpy(out + 1, digits.bits[shown_byte(record, i, shown, swap)], 8);
      out += 9;
    }
    return out;
  }
  if (!swap) {
    // Whole groups of eight bytes; past the bytes shown, blanks (at most eight shown, where
    // the padding follows) or whatever the next text writes.
    put_hex_groups<shuffles>(out, record.data, shown <= CAN_MAX_DLEN ? 1 : (shown + 7) / 8);
    if (shown <= CAN_MAX_DLEN) std::memset(out + 3 * shown, ' ', 3 * CAN_MAX_DLEN);
    return out + 3 * shown;
  }
  for (int i = 0; i < shown; ++i) {
    std::memcpy(out, digits.spaced[shown_byte(record, i, shown, true)], 4);
    if (i > 0) out[0] = '`';
    out += 3;
  }
  return out;
}

// The first eight data bytes as characters, "." for those that do not print (all at once).
std::uint64_t printable_characters(const frame_record& record) noexcept {
  constexpr std::uint64_t high = detail::high_bits;
  const std::uint64_t bytes = detail::load_word(record.data);
  const std::uint64_t low7 = bytes & ~high;
  // 0x20..0x7E: at least 0x20, not 0x7F, high bit clear.
  const std::uint64_t printable =
      (low7 + detail::every_byte(0x60)) & ~(low7 + detail::every_byte(0x01)) & ~bytes & high;
  const std::uint64_t keep = (printable >> 7) * 0xFF;
  return (bytes & keep) | (detail::every_byte('.') & ~keep);
}

// printable_characters, with byte shuffles or without.
template <bool shuffles>
[[gnu::always_inline]] inline std::uint64_t printable_characters_as(
    const frame_record& record) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) return detail::printable_characters_ssse3(record);
#endif
  return printable_characters(record);
}

// The quoted character column of at most eight bytes.
char* put_characters(char* out, const frame_record& record, int shown, unsigned view) noexcept {
  const bool swap = (view & VIEW_SWAP) != 0;
  const char quote = swap ? '`' : '\'';
  *out++ = quote;
  const std::uint64_t chars = printable_characters(record);
  if (!swap) {
    detail::store_word(out, chars);
  } else {
    for (int i = 0; i < shown; ++i) {
      out[i] = static_cast<char>(chars >> (8 * (shown - 1 - i)));
    }
  }
  out += shown;
  *out++ = quote;
  return out;
}

// The most common text of all: a classic data frame in hex with its characters and an aligned
// identifier.  Whole words are stored where the general way fills spaces first and then
// places every piece.
template <bool shuffles>
[[gnu::always_inline]] inline char* render_classic_data(char* out,
                                                        const frame_record& record) noexcept {
  const unsigned shown = record.len < CAN_MAX_DLEN ? record.len : CAN_MAX_DLEN;
  const aligned_identifier id = identifier_to_show(record.can_id);
  char* const data = out + wide_base + 5;
  put_hex_groups<shuffles>(data, record.data, 1);
  detail::store_word(out, eight_digits_as<shuffles>(id.value) ^ id.zeros_to_blanks);
  // Columns 8..15: the gap, "[n]" and the blank that starts the data; the digit n goes in
  // byte 4 (column 12).
  constexpr std::uint64_t length_field = detail::text_word("   [\0]  ");
  static_assert(length_field == 0x20205D005B202020ULL);
  detail::store_word(out + 8, length_field | std::uint64_t{'0' + shown} << 32);
  // Blanks from the last byte shown to the character column, which then overwrites the rest.
  std::memset(data + 3 * shown, ' ', 32);
  char* const tail = data + 3 * CAN_MAX_DLEN + 3;
  tail[0] = '\'';
  detail::store_word(tail + 1, printable_characters_as<shuffles>(record));
  tail[1 + shown] = '\'';
  return tail + 2 + shown;
}

bool is_classic_data(const frame_record& record, unsigned view, int maxdlen) noexcept {
  return view == (VIEW_ASCII | VIEW_ALIGN_SFF) && maxdlen == CAN_MAX_DLEN &&
         (record.can_id & (CAN_RTR_FLAG | CAN_ERR_FLAG)) == 0;
}

template <bool shuffles>
[[gnu::always_inline]] inline char* render_long_as(char* out, const frame_record& record,
                                                   unsigned view, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  const int shown = record.len < limit ? record.len : limit;
  const int width = (view & VIEW_BINARY) ? 9 : 3;

  // The spaces of the identifier field, the data separators and the padding, all at once.
  if (view & VIEW_BINARY) {
    std::memset(out, ' ', wide_base + 5 + 9 * CAN_MAX_DLEN + 3);
  } else {
    std::memset(out, ' ', wide_base + 5 + 3 * CAN_MAX_DLEN + 3);
  }
  const int base = put_identifier<shuffles>(out, record.can_id, view);
  char* const field = out + base;
  if (maxdlen == CAN_MAX_DLEN) {
    field[1] = '[';
    field[2] = static_cast<char>('0' + shown);
    field[3] = ']';
    if (record.can_id & CAN_RTR_FLAG) {
      std::memcpy(field + 5, remote_request, sizeof remote_request - 1);
      return field + 5 + (sizeof remote_request - 1);
    }
  } else {
    field[0] = '[';
    field[1] = static_cast<char>('0' + shown / 10);
    field[2] = static_cast<char>('0' + shown % 10);
    field[3] = ']';
  }
  char* const end = put_data<shuffles>(field + 5, record, shown, view);
  if (shown > CAN_MAX_DLEN) return end;

  // The padding before the marker or the character column keeps them in one column whatever
  // the length; it is already in place as spaces.
  char* const tail = field + 5 + width * CAN_MAX_DLEN + 3;
  if (record.can_id & CAN_ERR_FLAG) {
    std::memcpy(tail, error_marker, sizeof error_marker - 1);
    return tail + (sizeof error_marker - 1);
  }
  if (view & VIEW_ASCII) {
    return put_characters(tail, record, shown, view);
  }
  return end;
}

}  // namespace

namespace detail {

char* render_long_portable(char* out, const frame_record& record, unsigned view,
                           int maxdlen) noexcept {
  if (is_classic_data(record, view, maxdlen)) return render_classic_data<false>(out, record);
  return render_long_as<false>(out, record, view, maxdlen);
}

#if CANTEXT_X86_KERNELS
// Everything built with byte shuffles at hand.
__attribute__((target("ssse3"))) char* render_long_ssse3(char* out, const frame_record& record,
                                                         unsigned view, int maxdlen) noexcept {
  if (is_classic_data(record, view, maxdlen)) return render_classic_data<true>(out, record);
  return render_long_as<true>(out, record, view, maxdlen);
}
#endif

char* render_long(char* out, const frame_record& record, unsigned view, int maxdlen) noexcept {
#if CANTEXT_X86_KERNELS
  if (usable_instruction_sets.ssse3) return render_long_ssse3(out, record, view, maxdlen);
#endif
  return render_long_portable(out, record, view, maxdlen);
}

}  // namespace detail

char* format_frame_long(char* buf, const frame_record& record, unsigned view,
                        int maxdlen) noexcept {
  char* const end = detail::render_long(buf, record, view, maxdlen);
  *end = '\0';
  return end;
}

}  // namespace cantext
