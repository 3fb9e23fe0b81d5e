// The compact-notation parser.
#include <cstring>

#include "cantext/frame.hpp"
#include "frame/hex_value.hpp"

namespace cantext {
namespace {

// The text as the parser sees it: past its end every character reads as the terminator.
struct cursor {
  const char* text;
  std::size_t size;
  char at(std::size_t i) const noexcept { return i < size ? text[i] : '\0'; }
};

// Decodes `digits` hex digits starting at text[0]; false on a non-digit.
bool decode_id(const cursor& in, std::size_t digits, std::uint32_t& id) noexcept {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const unsigned d = detail::hex_value(in.text[i]);
    if (d > 15) return false;
    v = (v << 4) | d;
  }
  id = v;
  return true;
}

// Reads data bytes from position p; returns the parse result or 0.
int parse_payload(const cursor& in, std::size_t p, std::size_t max, int result,
                  frame_record& record) noexcept {
  std::size_t k = 0;
  for (;;) {
    if (in.at(p) == '.') ++p;
    if (p >= in.size) break;
    const unsigned hi = detail::hex_value(in.text[p]);
    const unsigned lo = detail::hex_value(in.at(p + 1));
    if ((hi | lo) > 15) return 0;
    record.data[k++] = static_cast<std::uint8_t>(hi << 4 | lo);
    p += 2;
    if (k == max) break;
  }
  record.len = static_cast<std::uint8_t>(k);
  return result;
}

}  // namespace

int parse_frame_text(std::string_view text, frame_record& record) noexcept {
  std::memset(&record, 0, sizeof record);
  const cursor in{text.data(), text.size()};
  if (in.size < 4) return 0;

  std::size_t p;
  if (in.text[3] == '#') {
    if (!decode_id(in, 3, record.can_id)) return 0;
    p = 4;
  } else if (in.size >= 9 && in.text[8] == '#') {
    if (!decode_id(in, 8, record.can_id)) return 0;
    if ((record.can_id & CAN_ERR_FLAG) == 0) record.can_id |= CAN_EFF_FLAG;
    p = 9;
  } else {
    return 0;
  }

  const char c = in.at(p);
  if ((c & ~0x20) == 'R') {
    record.can_id |= CAN_RTR_FLAG;
    if (p + 1 < in.size) {
      const unsigned len = detail::hex_value(in.text[p + 1]);
      if (len <= CAN_MAX_DLEN) record.len = static_cast<std::uint8_t>(len);
    }
    return CAN_MTU;
  }
  if (c == '#') {
    const unsigned flags = detail::hex_value(in.at(p + 1));
    if (flags > 15) return 0;
    record.flags = static_cast<std::uint8_t>(flags);
    return parse_payload(in, p + 2, CANFD_MAX_DLEN, CANFD_MTU, record);
  }
  return parse_payload(in, p, CAN_MAX_DLEN, CAN_MTU, record);
}

}  // namespace cantext
