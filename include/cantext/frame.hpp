// SPDX-License-Identifier: MIT
// The frame record, its identifier flags and sizes, and the compact-notation parser.
#ifndef CANTEXT_FRAME_HPP
#define CANTEXT_FRAME_HPP

#include <cstdint>
#include <string_view>

#include "cantext/export.h"

// The platform's <linux/can.h> defines these names as macros with the same values.  Hide them
// while the namespace constants are declared, so that either header may be included first.
#pragma push_macro("CAN_EFF_FLAG")
#pragma push_macro("CAN_RTR_FLAG")
#pragma push_macro("CAN_ERR_FLAG")
#pragma push_macro("CAN_SFF_MASK")
#pragma push_macro("CAN_EFF_MASK")
#pragma push_macro("CAN_ERR_MASK")
#pragma push_macro("CAN_MTU")
#pragma push_macro("CANFD_MTU")
#pragma push_macro("CAN_MAX_DLEN")
#pragma push_macro("CANFD_MAX_DLEN")
#pragma push_macro("CANFD_BRS")
#pragma push_macro("CANFD_ESI")
#pragma push_macro("CANFD_FDF")
#undef CAN_EFF_FLAG
#undef CAN_RTR_FLAG
#undef CAN_ERR_FLAG
#undef CAN_SFF_MASK
#undef CAN_EFF_MASK
#undef CAN_ERR_MASK
#undef CAN_MTU
#undef CANFD_MTU
#undef CAN_MAX_DLEN
#undef CANFD_MAX_DLEN
#undef CANFD_BRS
#undef CANFD_ESI
#undef CANFD_FDF

namespace cantext {

// Bits of frame_record::can_id.
inline constexpr std::uint32_t can_eff_flag = 0x80000000U;  // 29-bit identifier
inline constexpr std::uint32_t can_rtr_flag = 0x40000000U;  // remote transmission request
inline constexpr std::uint32_t can_err_flag = 0x20000000U;  // error frame
inline constexpr std::uint32_t can_sff_mask = 0x000007FFU;
inline constexpr std::uint32_t can_eff_mask = 0x1FFFFFFFU;
inline constexpr std::uint32_t can_err_mask = 0x1FFFFFFFU;

// Record sizes, as returned by parse_frame_text, and the data lengths they allow.
inline constexpr int can_mtu = 16;
inline constexpr int canfd_mtu = 72;
inline constexpr int can_max_dlen = 8;
inline constexpr int canfd_max_dlen = 64;

// Bits of frame_record::flags, for a CAN FD frame.
inline constexpr std::uint8_t canfd_brs = 0x01;  // bit rate switch: data sent at the faster rate
inline constexpr std::uint8_t canfd_esi = 0x02;  // error state indicator of the sender
inline constexpr std::uint8_t canfd_fdf = 0x04;  // marks a CAN FD frame

// The same under their first names.  After <linux/can.h> these are its macros, so that
// cantext::CAN_MTU no longer compiles there while cantext::can_mtu does.
inline constexpr std::uint32_t CAN_EFF_FLAG = can_eff_flag;
inline constexpr std::uint32_t CAN_RTR_FLAG = can_rtr_flag;
inline constexpr std::uint32_t CAN_ERR_FLAG = can_err_flag;
inline constexpr std::uint32_t CAN_SFF_MASK = can_sff_mask;
inline constexpr std::uint32_t CAN_EFF_MASK = can_eff_mask;
inline constexpr std::uint32_t CAN_ERR_MASK = can_err_mask;
inline constexpr int CAN_MTU = can_mtu;
inline constexpr int CANFD_MTU = canfd_mtu;
inline constexpr int CAN_MAX_DLEN = can_max_dlen;
inline constexpr int CANFD_MAX_DLEN = canfd_max_dlen;
inline constexpr std::uint8_t CANFD_BRS = canfd_brs;
inline constexpr std::uint8_t CANFD_ESI = canfd_esi;
inline constexpr std::uint8_t CANFD_FDF = canfd_fdf;

// What parse_frame_text found, valued as the size of the record it fills.  Unscoped, so that a
// result still compares with and converts to the int that callers have always kept it in; the
// renderers take it in place of maxdlen.
enum frame_kind : int { not_a_frame = 0, classic_frame = can_mtu, fd_frame = canfd_mtu };

// The renderers' maxdlen for a kind of frame: 64 for a CAN FD frame, 8 for any other value.
// The one place that maps a kind to its data length; compilers make it a select, not a branch,
// which matters where classic and CAN FD frames follow each other at random.
constexpr int max_dlen(frame_kind kind) noexcept {
  return kind == fd_frame ? canfd_max_dlen : can_max_dlen;
}

// One classic or CAN FD frame, laid out as the Linux CAN FD frame record (host byte order).
// A classic frame uses the first 16 bytes.
struct frame_record {
  std::uint32_t can_id;  // identifier in the low bits, the flags above at the top
  std::uint8_t len;      // data bytes; for a remote request the requested length
  std::uint8_t flags;    // CAN FD flags
  std::uint8_t res0;
  std::uint8_t res1;
  alignas(8) std::uint8_t data[64];
};

// Value 0..15 of a hex digit (either case); 16 for any other character.
CANTEXT_API unsigned hex_nibble(char c) noexcept;

// Parses one frame in compact notation ("123#DEADBEEF", "12345678#11.22", "123##1AABB",
// "123#R5").  Clears the record first.  Returns classic_frame (CAN_MTU) or fd_frame (CANFD_MTU),
// not_a_frame (0) when the text is not a frame (the record must then not be used).
CANTEXT_API frame_kind parse_frame_text(std::string_view text, frame_record& record) noexcept;

}  // namespace cantext

#pragma pop_macro("CAN_EFF_FLAG")
#pragma pop_macro("CAN_RTR_FLAG")
#pragma pop_macro("CAN_ERR_FLAG")
#pragma pop_macro("CAN_SFF_MASK")
#pragma pop_macro("CAN_EFF_MASK")
#pragma pop_macro("CAN_ERR_MASK")
#pragma pop_macro("CAN_MTU")
#pragma pop_macro("CANFD_MTU")
#pragma pop_macro("CAN_MAX_DLEN")
#pragma pop_macro("CANFD_MAX_DLEN")
#pragma pop_macro("CANFD_BRS")
#pragma pop_macro("CANFD_ESI")
#pragma pop_macro("CANFD_FDF")

#endif
