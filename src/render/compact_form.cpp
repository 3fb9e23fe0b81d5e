// The compact notation of a frame.
#include "cantext/compact_form.hpp"

#include "cantext/hex_digits.hpp"
#include "render/compact_form_render.hpp"
#include "render/hex_pairs.hpp"

namespace cantext {
namespace {

// The parser reads an 8-digit identifier with bit 29 set as an error frame, so an error frame
// keeps that bit and loses only the two flags above it.
constexpr std::uint32_t error_id_mask = CAN_ERR_FLAG | CAN_ERR_MASK;

char* put_identifier(char* out, std::uint32_t id) noexcept {
  if (id & (CAN_ERR_FLAG | CAN_EFF_FLAG)) {
    id &= (id & CAN_ERR_FLAG) ? error_id_mask : CAN_EFF_MASK;
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 24));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 16));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id >> 8));
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id));
  } else {
    *out++ = hex_asc_upper[(id >> 8) & 0x07];
    out = detail::put_hex_pair(out, static_cast<std::uint8_t>(id));
  }
  *out++ = '#';
  return out;
}

char* put_bytes(char* out, const std::uint8_t* data, int count) noexcept {
  for (int i = 0; i < count; ++i) out = detail::put_hex_pair(out, data[i]);
  return out;
}

char* put_bytes_separated(char* out, const std::uint8_t* data, int count) noexcept {
  if (count <= 0) return out;
  out = detail::put_hex_pair(out, data[0]);
  for (int i = 1; i < count; ++i) {
    *out++ = '.';
    out = detail::put_hex_pair(out, data[i]);
  }
  return out;
}

// Bytes written: the record's length, limited by maxdlen and never more than the record holds.
int shown_bytes(std::uint8_t len, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > CANFD_MAX_DLEN ? CANFD_MAX_DLEN : maxdlen);
  return len < limit ? len : limit;
}

}  // namespace

namespace detail {

char* render_compact(char* out, const frame_record& record, bool sep, int maxdlen) noexcept {
  out = put_identifier(out, record.can_id);
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
    if (sep && shown > 0) *out++ = '.';
  }
  return sep ? put_bytes_separated(out, record.data, shown) : put_bytes(out, record.data, shown);
}

}  // namespace detail

void format_frame_compact(char* buf, const frame_record& record, bool sep, int maxdlen) noexcept {
  *detail::render_compact(buf, record, sep, maxdlen) = '\0';
}

}  // namespace cantext
