// SPDX-License-Identifier: MIT
// The frame record's layout, checked beside the platform's CAN frame records.
#include <gtest/gtest.h>

#include <cstddef>

#include "cantext/cantext.hpp"

namespace {
// Taken before the platform header can define macros of the same names.
constexpr std::uint32_t our_id_bits[] = {cantext::CAN_EFF_FLAG, cantext::CAN_RTR_FLAG,
                                         cantext::CAN_ERR_FLAG, cantext::CAN_SFF_MASK,
                                         cantext::CAN_EFF_MASK, cantext::CAN_ERR_MASK};
constexpr long our_sizes[] = {cantext::CAN_MTU, cantext::CANFD_MTU, cantext::CAN_MAX_DLEN,
                              cantext::CANFD_MAX_DLEN};
}  // namespace

#if __has_include(<linux/can.h>)
#include <linux/can.h>
#define CANTEXT_HAVE_LINUX_CAN 1
#endif

namespace {

using cantext::frame_record;

static_assert(sizeof(frame_record) == 72);
static_assert(offsetof(frame_record, can_id) == 0);
static_assert(offsetof(frame_record, len) == 4);
static_assert(offsetof(frame_record, flags) == 5);
static_assert(offsetof(frame_record, res0) == 6);
static_assert(offsetof(frame_record, res1) == 7);
static_assert(offsetof(frame_record, data) == 8);

#ifdef CANTEXT_HAVE_LINUX_CAN
TEST(frame_record_layout, matches_the_platform_fd_frame_field_by_field) {
  EXPECT_EQ(sizeof(frame_record), sizeof(struct canfd_frame));
  EXPECT_EQ(alignof(frame_record), alignof(struct canfd_frame));
  EXPECT_EQ(offsetof(frame_record, can_id), offsetof(struct canfd_frame, can_id));
  EXPECT_EQ(offsetof(frame_record, len), offsetof(struct canfd_frame, len));
  EXPECT_EQ(offsetof(frame_record, flags), offsetof(struct canfd_frame, flags));
  EXPECT_EQ(offsetof(frame_record, res0), offsetof(struct canfd_frame, __res0));
  EXPECT_EQ(offsetof(frame_record, res1), offsetof(struct canfd_frame, __res1));
  EXPECT_EQ(offsetof(frame_record, data), offsetof(struct canfd_frame, data));
  EXPECT_EQ(sizeof(frame_record::data), sizeof(canfd_frame::data));
  // The classic record is the first 16 bytes.
  EXPECT_EQ(offsetof(struct can_frame, data), offsetof(frame_record, data));
}

TEST(frame_record_layout, constants_equal_the_platform_macros) {
  const std::uint32_t platform_id_bits[] = {CAN_EFF_FLAG, CAN_RTR_FLAG, CAN_ERR_FLAG,
                                            CAN_SFF_MASK, CAN_EFF_MASK, CAN_ERR_MASK};
  const long platform_sizes[] = {static_cast<long>(CAN_MTU), static_cast<long>(CANFD_MTU),
                                 CAN_MAX_DLEN, CANFD_MAX_DLEN};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(our_id_bits[i], platform_id_bits[i]) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(our_sizes[i], platform_sizes[i]) << i;
}
#endif

}  // namespace
