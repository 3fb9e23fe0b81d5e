// SPDX-License-Identifier: MIT
// The public header after the platform's CAN header: both sets of names stay usable.
#if __has_include(<linux/can.h>)
#include <linux/can.h>
#endif

#include <gtest/gtest.h>

#include <cstring>

#include "cantext/cantext.hpp"

namespace {

TEST(header_order, platform_header_first) {
  cantext::frame_record r;
  ASSERT_EQ(cantext::parse_frame_text("12345678#11", r), CAN_MTU);
  EXPECT_EQ(r.can_id & CAN_EFF_FLAG, 0x80000000U);
  EXPECT_EQ(r.can_id & CAN_EFF_MASK, 0x12345678U);
#if __has_include(<linux/can.h>)
  // A record from a CAN socket is read as a frame record directly.
  struct canfd_frame socket_frame;
  std::memset(&socket_frame, 0, sizeof socket_frame);
  socket_frame.can_id = 0x123;
  socket_frame.len = 1;
  socket_frame.data[0] = 0x41;
  cantext::frame_record from_socket;
  std::memcpy(&from_socket, &socket_frame, sizeof from_socket);
  char buf[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(buf, from_socket, cantext::VIEW_ASCII, CAN_MAX_DLEN);
  EXPECT_STREQ(buf, "123   [1]  41                        'A'");
#endif
}

}  // namespace
