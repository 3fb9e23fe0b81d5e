// cantext: text forms of CAN and CAN FD frames.
#ifndef CANTEXT_CANTEXT_HPP
#define CANTEXT_CANTEXT_HPP

#include "cantext/frame.hpp"
#include "cantext/hex_digits.hpp"
#include "cantext/long_form.hpp"

#endif
