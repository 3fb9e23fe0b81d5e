// The long, column-aligned form of a frame.
//
// The text is assembled from fixed-size pieces: the identifier field and the padding are laid
// down as spaces first, and every data byte is copied from a table of its ready-made digits.
// Copies may run a few bytes past the text; they never pass the largest text of the same kind
// (LONG_FORM_CLASSIC_BUF_SIZE with at most 8 bytes shown), and the caller's terminator or the
// next text overwrites them.
#include <array>
#include <cstring>

#include "byte_words.hpp"
#include "cantext/hex_digits.hpp"
#include "cantext/long_form.hpp"
#include "render/hex_pairs.hpp"
#include "render/long_form_render.hpp"

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

// The identifier in columns 0..7; returns the base column of the length field.
int put_identifier(char* line, std::uint32_t id, unsigned view) noexcept {
  if (id & (CAN_ERR_FLAG | CAN_EFF_FLAG)) {
    id &= (id & CAN_ERR_FLAG) ? (CAN_ERR_MASK | CAN_ERR_FLAG) : CAN_EFF_MASK;
    detail::store_word(line, pair_word(id >> 24) | pair_word(id >> 16) << 16 |
                                 pair_word(id >> 8) << 32 | pair_word(id) << 48);
    return wide_base;
  }
  id &= CAN_SFF_MASK;
  char* const at = (view & VIEW_ALIGN_SFF) ? line + 5 : line;
  at[0] = hex_asc_upper[id >> 8];
  detail::put_hex_pair(at + 1, static_cast<std::uint8_t>(id));
  return (view & VIEW_ALIGN_SFF) ? wide_base : narrow_base;
}

// The i-th byte shown, in the order the view asks for.
std::uint8_t shown_byte(const frame_record& record, int i, int shown, bool swap) noexcept {
  return record.data[swap ? shown - 1 - i : i];
}

char* put_data(char* out, const frame_record& record, int shown, unsigned view) noexcept {
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
    if (shown <= CAN_MAX_DLEN) {
      put_eight_hex(out, record.data);
      std::memset(out + 3 * shown, ' ', 3 * CAN_MAX_DLEN);
      return out + 3 * shown;
    }
    for (int i = 0; i < shown; i += 8) put_eight_hex(out + 3 * i, record.data + i);
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
  constexpr std::uint64_t high = detail::every_byte(0x80);
  const std::uint64_t bytes = detail::load_word(record.data);
  const std::uint64_t low7 = bytes & ~high;
  // 0x20..0x7E: at least 0x20, not 0x7F, high bit clear.
  const std::uint64_t printable =
      (low7 + detail::every_byte(0x60)) & ~(low7 + detail::every_byte(0x01)) & ~bytes & high;
  const std::uint64_t keep = (printable >> 7) * 0xFF;
  return (bytes & keep) | (detail::every_byte('.') & ~keep);
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

}  // namespace

namespace detail {

char* render_long(char* out, const frame_record& record, unsigned view, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  const int shown = record.len < limit ? record.len : limit;
  const int width = (view & VIEW_BINARY) ? 9 : 3;

  // The spaces of the identifier field, the data separators and the padding, all at once.
  if (view & VIEW_BINARY) {
    std::memset(out, ' ', wide_base + 5 + 9 * CAN_MAX_DLEN + 3);
  } else {
    std::memset(out, ' ', wide_base + 5 + 3 * CAN_MAX_DLEN + 3);
  }
  const int base = put_identifier(out, record.can_id, view);
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
  char* const end = put_data(field + 5, record, shown, view);
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

}  // namespace detail

void format_frame_long(char* buf, const frame_record& record, unsigned view, int maxdlen) noexcept {
  *detail::render_long(buf, record, view, maxdlen) = '\0';
}

}  // namespace cantext
