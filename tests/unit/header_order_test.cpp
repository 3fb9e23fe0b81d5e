// SPDX-License-Identifier: MIT
// The platform's CAN header before the library's C and C++ headers.
#include <linux/can.h>

#include "cantext/cantext.h"
#include "cantext/cantext.hpp"
#include "header_order_checks.hpp"

namespace {

TEST(header_order, platform_header_first) {
  check_beside_platform_header();
}

}  // namespace
