// SPDX-License-Identifier: MIT
// What the two header-order tests check, once with the platform's <linux/can.h> included before
// the library's headers and once after them: the library's qualified names work beside the
// kernel's macros, carry the same values, and a record of the kernel's type goes through both
// interfaces.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

static_assert(cantext::can_eff_flag == CAN_EFF_FLAG && CANTEXT_CAN_EFF_FLAG == CAN_EFF_FLAG);
static_assert(cantext::can_rtr_flag == CAN_RTR_FLAG && CANTEXT_CAN_RTR_FLAG == CAN_RTR_FLAG);
static_assert(cantext::can_err_flag == CAN_ERR_FLAG && CANTEXT_CAN_ERR_FLAG == CAN_ERR_FLAG);
static_assert(cantext::can_sff_mask == CAN_SFF_MASK && CANTEXT_CAN_SFF_MASK == CAN_SFF_MASK);
static_assert(cantext::can_eff_mask == CAN_EFF_MASK && CANTEXT_CAN_EFF_MASK == CAN_EFF_MASK);
static_assert(cantext::can_err_mask == CAN_ERR_MASK && CANTEXT_CAN_ERR_MASK == CAN_ERR_MASK);
static_assert(cantext::can_mtu == CAN_MTU && CANTEXT_CAN_MTU == CAN_MTU);
static_assert(cantext::canfd_mtu == CANFD_MTU && CANTEXT_CANFD_MTU == CANFD_MTU);
static_assert(cantext::can_max_dlen == CAN_MAX_DLEN && CANTEXT_CAN_MAX_DLEN == CAN_MAX_DLEN);
static_assert(cantext::canfd_max_dlen == CANFD_MAX_DLEN &&
              CANTEXT_CANFD_MAX_DLEN == CANFD_MAX_DLEN);
static_assert(cantext::canfd_brs == CANFD_BRS && CANTEXT_CANFD_BRS == CANFD_BRS);
static_assert(cantext::canfd_esi == CANFD_ESI && CANTEXT_CANFD_ESI == CANFD_ESI);
static_assert(cantext::canfd_fdf == CANFD_FDF && CANTEXT_CANFD_FDF == CANFD_FDF);
static_assert(sizeof(canfd_frame) == sizeof(cantext::frame_record));
static_assert(alignof(canfd_frame) == alignof(cantext::frame_record));
static_assert(offsetof(canfd_frame, len) == offsetof(cantext::frame_record, len));
static_assert(offsetof(canfd_frame, flags) == offsetof(cantext::frame_record, flags));
static_assert(offsetof(canfd_frame, data) == offsetof(cantext::frame_record, data));

void check_beside_platform_header() {
  cantext::frame_record r;
  ASSERT_EQ(cantext::parse_frame_text("12345678#11", r), cantext::classic_frame);
  EXPECT_EQ(r.can_id, cantext::can_eff_flag | 0x12345678U);
  EXPECT_EQ(r.can_id & CAN_EFF_MASK, 0x12345678U);

  // A frame in the record a CAN socket fills, handed to the C interface by pointer.
  canfd_frame socket_frame;
  std::memset(&socket_frame, 0xEE, sizeof socket_frame);
  const int kind =
      cantext_parse_frame_text("123##1.41.42", reinterpret_cast<cantext_frame*>(&socket_frame));
  ASSERT_EQ(kind, CANFD_MTU);
  EXPECT_EQ(socket_frame.can_id, 0x123U);
  EXPECT_EQ(socket_frame.len, 2);
  EXPECT_EQ(socket_frame.flags, 1);
  EXPECT_EQ(socket_frame.data[0], 0x41);
  EXPECT_EQ(socket_frame.data[1], 0x42);
  char c_text[CANTEXT_LONG_FORM_BUF_SIZE];
  cantext_format_frame_long(c_text, sizeof c_text,
                            reinterpret_cast<const cantext_frame*>(&socket_frame),
                            CANTEXT_VIEW_ASCII, cantext_max_dlen(kind));
  EXPECT_STREQ(c_text, "123  [02]  41 42                     'AB'");

  // The same record copied into the C++ one.
  std::memcpy(&r, &socket_frame, sizeof r);
  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, r, cantext::VIEW_ASCII, cantext::fd_frame);
  EXPECT_STREQ(text, c_text);
}

}  // namespace
