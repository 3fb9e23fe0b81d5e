// SPDX-License-Identifier: MIT
// What a cantext.Frame holds: the library's record and whether it is a CAN FD frame, which the
// record alone does not tell (the parser reports it as the record size).
#ifndef CANTEXT_PYTHON_FRAME_VALUE_HPP
#define CANTEXT_PYTHON_FRAME_VALUE_HPP

#include <pybind11/pybind11.h>

#include <cantext/cantext.hpp>

namespace cantext_python {

struct frame_value {
  cantext::frame_record record{};  // bytes past the data, and the reserved ones, stay zero
  bool fd = false;

  cantext::frame_kind kind() const noexcept {
    return fd ? cantext::fd_frame : cantext::classic_frame;
  }
  int maxdlen() const noexcept { return cantext::max_dlen(kind()); }
};

// A remote request carries no data: what its text held after the identifier (the parser keeps
// it) is dropped, so that frames that show the same are equal.
inline void drop_remote_data(cantext::frame_record& record) noexcept {
  if ((record.can_id & cantext::CAN_RTR_FLAG) != 0) {
    for (auto& byte : record.data) byte = 0;
  }
}

// The frame in compact notation; ValueError quoting the text when it is not a frame.
frame_value parse_text(pybind11::handle text);

// An int argument in [low, high]: TypeError when it is no int, ValueError when out of range
// (the numbers in hex when asked).
long long int_in_range(pybind11::handle value, const char* name, long long low, long long high,
                       bool hex = false);

}  // namespace cantext_python

#endif
