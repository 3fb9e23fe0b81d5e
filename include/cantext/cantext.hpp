// SPDX-License-Identifier: MIT
// cantext: text forms of CAN and CAN FD frames.
#ifndef CANTEXT_CANTEXT_HPP
#define CANTEXT_CANTEXT_HPP

#include "cantext/compact_form.hpp"
#include "cantext/error_text.hpp"
#include "cantext/frame.hpp"
#include "cantext/hex_digits.hpp"
#include "cantext/hex_string.hpp"
#include "cantext/length_codes.hpp"
#include "cantext/long_form.hpp"

#endif
