// SPDX-License-Identifier: MIT
// The platform's CAN header after the library's C++ and C headers.
#include "cantext/cantext.h"
#include "cantext/cantext.hpp"

#include <linux/can.h>

#include "header_order_checks.hpp"

namespace {

TEST(header_order, platform_header_last) {
  check_beside_platform_header();
}

}  // namespace
