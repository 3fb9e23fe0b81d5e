// SPDX-License-Identifier: MIT
// Module-level functions: the parser, the length codes and hex strings.
#include <cstdint>
#include <cstdio>
#include <string>

#include "bindings.hpp"
#include "frame_value.hpp"
#include "text_arg.hpp"

namespace py = pybind11;

namespace cantext_python {

frame_value parse_text(py::handle text) {
  const text_arg arg(text, "text");
  frame_value frame;
  const int mtu = cantext::parse_frame_text(arg.view(), frame.record);
  if (mtu == 0) throw py::value_error("not a CAN frame: " + std::string(py::repr(text)));
  frame.fd = mtu == cantext::CANFD_MTU;
  drop_remote_data(frame.record);
  return frame;
}

long long int_in_range(py::handle value, const char* name, long long low, long long high,
                       bool hex) {
  if (!PyLong_Check(value.ptr())) {
    throw py::type_error(std::string(name) + " must be an int, not " +
                         Py_TYPE(value.ptr())->tp_name);
  }
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0 || n < low || n > high) {
    const auto shown = [hex](long long bound) {
      char text[24];
      std::snprintf(text, sizeof text, hex ? "0x%llX" : "%lld", bound);
      return std::string(text);
    };
    throw py::value_error(std::string(name) + " must be in " + shown(low) + ".." + shown(high) +
                          ", not " +
                          std::string(hex ? py::str("{:#x}").format(value) : py::repr(value)));
  }
  return n;
}

namespace {

py::bytes hex_to_bytes(py::handle text, py::handle size_arg) {
  const text_arg arg(text, "text");
  // Without a size the text is read whole; an odd length is then refused by the library.
  const long long size = size_arg.is_none() ? static_cast<long long>(arg.view().size() / 2)
                                            : int_in_range(size_arg, "size", 1, INT32_MAX);
  std::string field(static_cast<std::size_t>(size), '\0');
  if (cantext::hex_to_bytes(arg.view(), reinterpret_cast<std::uint8_t*>(field.data()),
                            static_cast<int>(size)) != 0) {
    throw py::value_error("not a hex string of at most " + std::to_string(size) +
                          " bytes: " + std::string(py::repr(text)));
  }
  return py::bytes(field);
}

}  // namespace

void add_text_functions(py::module_& m) {
  m.def("parse", &parse_text, py::arg("text"),
        R"(Parse one frame in compact notation ("123#DEADBEEF", "12345678#11.22",
"123##1AABB", "123#R5"), given as str or bytes, exactly: no white space around it.

Raises ValueError, quoting the text, when it is not a frame.)");
  m.def(
      "dlc_to_len",
      [](py::handle dlc) {
        return cantext::dlc_to_len(static_cast<unsigned>(int_in_range(dlc, "dlc", 0, 15)));
      },
      py::arg("dlc"),
      "The number of data bytes (0..64) a CAN FD data length code 0..15 stands for.\n\n"
      "Raises ValueError for a code outside 0..15.");
  m.def(
      "len_to_dlc",
      [](py::handle n) {
        return cantext::len_to_dlc(static_cast<int>(int_in_range(n, "length", 0, 64)));
      },
      py::arg("length"),
      "The smallest CAN FD data length code whose length holds `length` (0..64) bytes.\n\n"
      "Raises ValueError for a length outside 0..64.");
  m.def("hex_to_bytes", &hex_to_bytes, py::arg("text"), py::arg("size") = py::none(),
        R"(Decode a hex string (pairs of digits, either case) into `size` bytes, zero-filled
after the text's bytes; without `size`, into as many bytes as the text holds.

Raises ValueError when the text is empty, of odd length, longer than 2 * size or not hex,
or when size is below 1.)");
}

}  // namespace cantext_python
