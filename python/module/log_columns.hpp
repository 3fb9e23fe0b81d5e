// SPDX-License-Identifier: MIT
// read_log's columns as a Log holds them, for the code that makes values of its rows or writes
// them: each column C-contiguous (a slice of a Log is copied here), the lengths checked.
#ifndef CANTEXT_PYTHON_LOG_COLUMNS_HPP
#define CANTEXT_PYTHON_LOG_COLUMNS_HPP

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include <pybind11/numpy.h>

#include "cantext/frame.hpp"

namespace cantext_python {

struct log_columns {
  explicit log_columns(const pybind11::handle& log)
      : time(log.attr("time")),
        channel(contiguous(log.attr("channel"))),
        can_id(log.attr("can_id")),
        flags(log.attr("flags")),
        len(log.attr("len")),
        fd(log.attr("fd")),
        direction(contiguous(log.attr("direction"))),
        data(log.attr("data")) {
    const pybind11::ssize_t n = time.shape(0);
    for (const pybind11::array* column : std::initializer_list<const pybind11::array*>{
             &channel, &can_id, &flags, &len, &fd, &direction, &data}) {
      if (column->shape(0) != n) throw pybind11::value_error("columns of different lengths");
    }
    if (data.ndim() != 2 || data.shape(1) != cantext::CANFD_MAX_DLEN || direction.itemsize() != 1 ||
        channel.ndim() != 1 ||
        (channel.itemsize() != 1 && channel.itemsize() != 2 && channel.itemsize() != 4)) {
      throw pybind11::value_error("not a Log's columns");
    }
  }
  pybind11::ssize_t rows() const noexcept { return time.shape(0); }
  // The channel codes are of the smallest type that holds them.
  std::size_t channel_code(pybind11::ssize_t i) const noexcept {
    switch (channel.itemsize()) {
      case 1:
        return static_cast<const std::uint8_t*>(channel.data())[i];
      case 2:
        return static_cast<const std::uint16_t*>(channel.data())[i];
      default:
        return static_cast<const std::uint32_t*>(channel.data())[i];
    }
  }
  const char* payload(pybind11::ssize_t i) const noexcept {
    return reinterpret_cast<const char*>(data.data()) + i * cantext::CANFD_MAX_DLEN;
  }
  char direction_at(pybind11::ssize_t i) const noexcept {
    return static_cast<const char*>(direction.data())[i];
  }

  pybind11::array_t<std::int64_t, pybind11::array::c_style> time;
  pybind11::array channel;
  pybind11::array_t<std::uint32_t, pybind11::array::c_style> can_id;
  pybind11::array_t<std::uint8_t, pybind11::array::c_style> flags;
  pybind11::array_t<std::uint8_t, pybind11::array::c_style> len;
  pybind11::array_t<bool, pybind11::array::c_style> fd;
  pybind11::array direction;
  pybind11::array_t<std::uint8_t, pybind11::array::c_style> data;

 private:
  static pybind11::array contiguous(const pybind11::handle& column) {
    pybind11::array made = pybind11::array::ensure(column, pybind11::array::c_style);
    if (!made) throw pybind11::error_already_set();
    return made;
  }
};

}  // namespace cantext_python

#endif
