// The compact-notation parser.
#include <cstring>

#include "cantext/frame.hpp"
#include "frame/hex_value.hpp"
#include "frame/hex_word.hpp"

namespace cantext {
namespace {

// The last `left` characters of text[0, n) (n >= 8, left < 8), followed by "0" digits.
std::uint64_t last_characters(const char* text, std::size_t n, std::size_t left) noexcept {
  return (detail::load_word(text + n - 8) >> (8 * (8 - left))) |
         (detail::every_byte('0') << (8 * left));
}

// A classic payload of whole digit pairs without separators, when the text has at least eight
// characters, in two words and without a branch on its length: the first eight digits (or all
// of a shorter payload, followed by "0" digits that give the zero bytes already there) and the
// last eight, stored where they belong even where the two overlap.  False when the payload is
// of another kind; nothing is stored then.
bool parse_classic_payload(const char* text, std::size_t n, std::size_t p,
                           frame_record& record) noexcept {
  const std::size_t left = n - p;
  if (left > 2 * CAN_MAX_DLEN || left % 2 != 0 || n < 8) return false;
  if (left == 0) return true;  // no data: the cleared record is right as it is
  const bool long_run = left >= 8;
  const std::uint64_t last = detail::load_word(text + n - 8);
  const std::uint64_t first =
      long_run ? detail::load_word(text + p) : last_characters(text, n, left);
  std::uint64_t first_values;
  std::uint64_t last_values;
  if (!detail::hex_digit_values(first, first_values) ||
      !detail::hex_digit_values(long_run ? last : first, last_values)) {
    return false;
  }
  detail::store_half_word(record.data, detail::join_digit_pairs(first_values));
  detail::store_half_word(record.data + (long_run ? left / 2 - 4 : 0),
                          detail::join_digit_pairs(last_values));
  record.len = static_cast<std::uint8_t>(left / 2);
  return true;
}

// Reads data bytes of text[0, n) from p on; returns the parse result or 0.  Runs of digit
// pairs without separators are taken eight digits at a time, the rest a byte at a time.
int parse_payload(const char* text, std::size_t n, std::size_t p, std::size_t max, int result,
                  frame_record& record) noexcept {
  std::size_t k = 0;
  while (k < max) {
    const std::size_t room = max - k;
    const std::size_t left = n - p;
    std::uint64_t values;
    if (room >= 4 && left >= 8 && detail::hex_digit_values(detail::load_word(text + p), values)) {
      detail::store_half_word(record.data + k, detail::join_digit_pairs(values));
      k += 4;
      p += 8;
      continue;
    }
    // A short run of pairs that ends the text: the "0" digits after it give zero bytes, which
    // the cleared record already holds past its length.
    if (left < 8 && left >= 2 && left % 2 == 0 && left / 2 <= room && n >= 8 && k + 4 <= 64 &&
        detail::hex_digit_values(last_characters(text, n, left), values)) {
      detail::store_half_word(record.data + k, detail::join_digit_pairs(values));
      k += left / 2;
      break;
    }
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

}  // namespace

int parse_frame_text(std::string_view text, frame_record& record) noexcept {
  std::memset(&record, 0, sizeof record);
  const char* const s = text.data();
  const std::size_t n = text.size();
  if (n < 4) return 0;

  std::size_t p;
  if (s[3] == '#') {
    const unsigned a = detail::hex_value(s[0]);
    const unsigned b = detail::hex_value(s[1]);
    const unsigned c = detail::hex_value(s[2]);
    if ((a | b | c) > 15) return 0;
    record.can_id = a << 8 | b << 4 | c;
    p = 4;
  } else if (n >= 9 && s[8] == '#') {
    std::uint64_t values;
    if (!detail::hex_digit_values(detail::load_word(s), values)) return 0;
    record.can_id = detail::digits_number(values);
    if ((record.can_id & CAN_ERR_FLAG) == 0) record.can_id |= CAN_EFF_FLAG;
    p = 9;
  } else {
    return 0;
  }

  const char c = p < n ? s[p] : '\0';
  if ((c & ~0x20) == 'R') {
    record.can_id |= CAN_RTR_FLAG;
    if (p + 1 < n) {
      const unsigned len = detail::hex_value(s[p + 1]);
      if (len <= CAN_MAX_DLEN) record.len = static_cast<std::uint8_t>(len);
    }
    return CAN_MTU;
  }
  if (c == '#') {
    const unsigned flags = p + 1 < n ? detail::hex_value(s[p + 1]) : detail::not_hex;
    if (flags > 15) return 0;
    record.flags = static_cast<std::uint8_t>(flags);
    return parse_payload(s, n, p + 2, CANFD_MAX_DLEN, CANFD_MTU, record);
  }
  if (parse_classic_payload(s, n, p, record)) return CAN_MTU;
  return parse_payload(s, n, p, CAN_MAX_DLEN, CAN_MTU, record);
}

}  // namespace cantext
