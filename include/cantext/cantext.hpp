// SPDX-License-Identifier: MIT
// cantext: text forms of CAN and CAN FD frames.
#ifndef CANTEXT_CANTEXT_HPP
#define CANTEXT_CANTEXT_HPP

// One clear message for an older standard, instead of the errors of every declaration.
#if __cplusplus < 201703L
#error "cantext needs C++17 or later: compile with -std=c++17 (or a later standard)"
#else
#include "cantext/compact_form.hpp"
#include "cantext/error_text.hpp"
#include "cantext/frame.hpp"
#include "cantext/hex_digits.hpp"
#include "cantext/hex_string.hpp"
#include "cantext/length_codes.hpp"
#include "cantext/long_form.hpp"
#endif

#endif
