// SPDX-License-Identifier: MIT
// The compact-notation parser.
//
// Nearly every text in a log takes the straight path of usual_frame.hpp, from words read here
// within the text.  Anything else (a remote request, separators, a long or odd run, a wrong
// character, a short text) takes the paths below, the last of which reads one pair at a time
// and is the notation's definition.
#include <cstring>

#include "cantext/frame.hpp"
#include "frame/hex_word.hpp"
#include "frame/parse_general.hpp"
#include "frame/usual_frame.hpp"
#include "hex_tables.hpp"

namespace cantext {
namespace {

constexpr std::uint64_t zero_digits = detail::every_byte('0');

// Data bytes of text[0, n) from p on, each pair after at most one "."; stops at the end of the
// text or after `max` bytes.  Returns `result`, or 0 at a pair that is not two hex digits.
int parse_pairs(const char* text, std::size_t n, std::size_t p, std::size_t max, int result,
                frame_record& record) noexcept {
  std::size_t k = 0;
  while (k < max) {
    if (p < n && text[p] == '.') ++p;
    if (p >= n) break;
    const unsigned hi = detail::hex_value(text[p]);
    const unsigned lo = p + 1 < n ? detail::hex_value(text[p + 1]) : detail::not_hex;
    if ((hi | lo) > 15) return 0;
    record.data[k++] = static_cast<std::uint8_t>(hi << 4 | lo);
    p += 2;
  }
  record.len = static_cast<std::uint8_t>(k);
  return result;
}

// A CAN FD run of at least 16 digits without separators, sixteen at a time: whole blocks, then
// the last sixteen digits, which overlap the blocks read already where the run is not a multiple
// of sixteen and give the same bytes there.  Digits past the 64th byte are never read, whatever
// they are.  False for a run of another form; the bytes stored by then are right ones.
bool fd_blocks(const char* run, std::size_t left, frame_record& record) noexcept {
  const std::size_t used = left < 2 * CANFD_MAX_DLEN ? left : 2 * CANFD_MAX_DLEN;
  if (used % 2 != 0 || used < 16) return false;
  std::uint64_t bytes;
  for (std::size_t done = 0; done + 16 <= used; done += 16) {
    if (!detail::digit_pairs_at(run + done, bytes)) return false;
    detail::store_word(record.data + done / 2, bytes);
  }
  if (!detail::digit_pairs_at(run + used - 16, bytes)) return false;
  detail::store_word(record.data + used / 2 - 8, bytes);
  record.len = static_cast<std::uint8_t>(used / 2);
  return true;
}

// A CAN FD run with a "." before every byte, as a quarter of the CAN FD frames of a log have: a
// group of three characters to a byte, with one test for all of them at the end.  False for a
// run of another form, with the data cleared again.
bool fd_dotted(const char* run, std::size_t left, frame_record& record) noexcept {
  const std::size_t used = left < 3 * CANFD_MAX_DLEN ? left : 3 * CANFD_MAX_DLEN;
  if (used % 3 != 0) return false;
  unsigned wrong = 0;
  for (std::size_t k = 0; k < used / 3; ++k, run += 3) {
    const unsigned hi = detail::hex_value(run[1]);
    const unsigned lo = detail::hex_value(run[2]);
    wrong |= hi | lo | unsigned{static_cast<unsigned char>(run[0] ^ '.')} << 4;
    record.data[k] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  if (wrong > 15) {
    std::memset(record.data, 0, sizeof record.data);
    return false;
  }
  record.len = static_cast<std::uint8_t>(used / 3);
  return true;
}

// The data of a CAN FD frame from text[start] on, when the text is not one the straight path
// takes.
int parse_fd_data(const char* text, std::size_t n, std::size_t start,
                  frame_record& record) noexcept {
  const char* const run = text + start;
  const std::size_t left = n - start;
  const bool dotted = left > 0 && run[0] == '.';
  if (dotted ? fd_dotted(run, left, record) : fd_blocks(run, left, record)) return CANFD_MTU;
  return parse_pairs(text, n, start, CANFD_MAX_DLEN, CANFD_MTU, record);
}

// The body from text[p] on, after the identifier, for any text.
int parse_body(const char* text, std::size_t n, std::size_t p, frame_record& record) noexcept {
  const char kind = p < n ? text[p] : '\0';
  if ((kind & ~0x20) == 'R') {
    record.can_id |= CAN_RTR_FLAG;
    if (p + 1 < n) {
      const unsigned len = detail::hex_value(text[p + 1]);
      if (len <= CAN_MAX_DLEN) record.len = static_cast<std::uint8_t>(len);
    }
    return CAN_MTU;
  }
  if (kind == '#') {
    const unsigned flags = p + 1 < n ? detail::hex_value(text[p + 1]) : detail::not_hex;
    if (flags > 15) return 0;
    record.flags = static_cast<std::uint8_t>(flags);
    return parse_fd_data(text, n, p + 2, record);
  }
  return parse_pairs(text, n, p, CAN_MAX_DLEN, CAN_MTU, record);
}

}  // namespace

namespace detail {

int parse_frame_general(const char* text, std::size_t n, frame_record& record) noexcept {
  if (n < 4) return 0;
  std::size_t p;
  if (text[3] == '#') {
    const unsigned a = detail::hex_value(text[0]);
    const unsigned b = detail::hex_value(text[1]);
    const unsigned c = detail::hex_value(text[2]);
    if ((a | b | c) > 15) return 0;
    record.can_id = a << 8 | b << 4 | c;
    p = 4;
  } else if (n >= 9 && text[8] == '#') {
    std::uint64_t bytes;
    if (!detail::digit_pairs(detail::load_word(text), zero_digits, bytes)) return 0;
    const std::uint32_t id = __builtin_bswap32(static_cast<std::uint32_t>(bytes));
    record.can_id = id | (~id & CAN_ERR_FLAG) << 2;  // error frames have no extended flag
    p = 9;
  } else {
    return 0;
  }
  return parse_body(text, n, p, record);
}

}  // namespace detail

frame_kind parse_frame_text(std::string_view text, frame_record& record) noexcept {
  std::memset(&record, 0, sizeof record);
  const char* const s = text.data();
  const std::size_t n = text.size();
  if (n < 8) return static_cast<frame_kind>(detail::parse_frame_general(s, n, record));

  // The straight path's words, read within the text: NUL for characters past its end, and for
  // those before its start in a text shorter than sixteen.  A word that would reach past the end
  // is read from the text's last eight characters and shifted right by 8 bits for each
  // character it would take before its place, one that would start before the text from its
  // first eight and shifted left as far; each shift is made as two halves, as one of 64 bits
  // (for n 8) would not be defined.  Example, n 12: from8 is characters 4..11 shifted right by
  // 32, characters 8..11 in its low four bytes; middle (characters -4..3) is characters 0..7
  // shifted left by 32, NUL in its low four bytes.
  const std::size_t upto16 = n < 16 ? n : 16;
  const unsigned past = static_cast<unsigned>(4 * (16 - upto16));
  const std::size_t whole = n > 16 ? n : 16;
  const unsigned missing = static_cast<unsigned>(4 * (whole - n));
  const detail::usual_words w{
      detail::load_word(s), detail::load_word(s + upto16 - 8) >> past >> past,
      detail::load_word(s + whole - 16) << missing << missing, detail::load_word(s + n - 8)};
  const int mtu = detail::parse_usual_words(w, n, record);
  return static_cast<frame_kind>(mtu != 0 ? mtu : detail::parse_frame_general(s, n, record));
}

}  // namespace cantext
