// SPDX-License-Identifier: MIT
// cantext.Frame: an immutable frame with the library's renderers as methods.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "bindings.hpp"
#include "frame_value.hpp"
#include "text_arg.hpp"

namespace py = pybind11;
using cantext::frame_record;

namespace cantext_python {
namespace {

bool truthy(py::handle value) {
  const int result = PyObject_IsTrue(value.ptr());
  if (result < 0) throw py::error_already_set();
  return result != 0;
}

bool is_remote(const frame_record& record) {
  return (record.can_id & cantext::CAN_RTR_FLAG) != 0;
}

py::bytes data_of(const frame_value& frame) {
  // A remote request's length is the one requested: it carries no data.
  const std::size_t size = is_remote(frame.record) ? 0U : frame.record.len;
  return py::bytes(reinterpret_cast<const char*>(frame.record.data), size);
}

// The identifier word: either can_id whole, or id with the flags given apart.
std::uint32_t identifier_word(py::handle can_id, py::handle id, py::handle extended,
                              py::handle remote, py::handle error) {
  if (!can_id.is_none()) {
    if (!id.is_none() || !extended.is_none() || !remote.is_none() || !error.is_none()) {
      throw py::type_error(
          "can_id carries the flag bits: give either can_id or id with is_extended, is_remote "
          "and is_error");
    }
    return static_cast<std::uint32_t>(int_in_range(can_id, "can_id", 0, 0xFFFFFFFFLL, true));
  }
  std::uint32_t word = 0;
  if (truthy(extended)) word |= cantext::CAN_EFF_FLAG;
  if (truthy(remote)) word |= cantext::CAN_RTR_FLAG;
  if (truthy(error)) word |= cantext::CAN_ERR_FLAG;
  const long long limit = word & (cantext::CAN_EFF_FLAG | cantext::CAN_ERR_FLAG)
                              ? cantext::CAN_EFF_MASK
                              : cantext::CAN_SFF_MASK;
  return word |
         static_cast<std::uint32_t>(id.is_none() ? 0 : int_in_range(id, "id", 0, limit, true));
}

// The data as bytes, at most what the frame's kind carries.
std::string data_bytes(py::handle data, const frame_value& frame) {
  if (PyUnicode_Check(data.ptr()) || PyLong_Check(data.ptr())) {
    throw py::type_error(std::string("data must be bytes-like, not ") +
                         Py_TYPE(data.ptr())->tp_name);
  }
  const auto object = py::reinterpret_steal<py::object>(PyBytes_FromObject(data.ptr()));
  if (!object) throw py::error_already_set();
  std::string bytes = py::bytes(object);
  if (bytes.size() > static_cast<std::size_t>(frame.maxdlen())) {
    throw py::value_error("data of " + std::to_string(bytes.size()) + " bytes exceeds the " +
                          std::to_string(frame.maxdlen()) + " of a " +
                          (frame.fd ? "CAN FD frame" : "classic frame (is_fd=True allows 64)"));
  }
  return bytes;
}

frame_value make_frame(py::handle can_id, py::handle id, py::handle extended, py::handle remote,
                       py::handle error, bool fd, py::handle flags, py::handle len,
                       py::handle data) {
  frame_value frame;
  frame.fd = fd;
  frame_record& record = frame.record;
  record.can_id = identifier_word(can_id, id, extended, remote, error);
  record.flags = static_cast<std::uint8_t>(int_in_range(flags, "flags", 0, 255));
  if (record.flags != 0 && !fd) throw py::value_error("flags are for CAN FD frames (is_fd=True)");

  const std::string bytes = data_bytes(data, frame);
  std::memcpy(record.data, bytes.data(), bytes.size());

  if (is_remote(record)) {
    if (fd) throw py::value_error("a CAN FD frame cannot be a remote request");
    if (!bytes.empty()) throw py::value_error("a remote request carries no data, only len");
    record.len = static_cast<std::uint8_t>(
        len.is_none() ? 0 : int_in_range(len, "len", 0, cantext::CAN_MAX_DLEN));
    return frame;
  }
  record.len = static_cast<std::uint8_t>(bytes.size());
  if (!len.is_none() && int_in_range(len, "len", 0, 64) != record.len) {
    throw py::value_error("len differs from the length of data (it is for remote requests)");
  }
  return frame;
}

std::string compact(const frame_value& frame, bool dots) {
  char text[cantext::COMPACT_FORM_BUF_SIZE];
  cantext::format_frame_compact(text, frame.record, dots, frame.maxdlen());
  return text;
}

std::string long_form(const frame_value& frame, bool binary, bool swap, bool ascii, bool align) {
  const unsigned view = (binary ? cantext::VIEW_BINARY : 0U) | (swap ? cantext::VIEW_SWAP : 0U) |
                        (ascii ? cantext::VIEW_ASCII : 0U) | (align ? cantext::VIEW_ALIGN_SFF : 0U);
  char text[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(text, frame.record, view, frame.maxdlen());
  return text;
}

std::string explain(const frame_value& frame, const std::optional<std::string>& sep) {
  if (sep && sep->find('\0') != std::string::npos) {
    throw py::value_error("sep must not contain a NUL character");
  }
  std::vector<char> text(cantext::error_description_buf_size(sep ? sep->size() : 1));
  cantext::format_error_description(text.data(), text.size(), frame.record,
                                    sep ? sep->c_str() : nullptr);
  return text.data();
}

bool operator==(const frame_value& a, const frame_value& b) {
  return a.fd == b.fd && std::memcmp(&a.record, &b.record, sizeof a.record) == 0;
}

// Evaluates back to an equal frame: compact notation where it says all, keywords otherwise
// (identifier bits beyond its mask, flags above the flags digit).
std::string repr(const frame_value& frame) {
  const std::string text = compact(frame, false);
  frame_value back;
  const int mtu = cantext::parse_frame_text(text, back.record);
  back.fd = mtu == cantext::CANFD_MTU;
  if (mtu != 0 && back == frame) return "Frame('" + text + "')";
  char can_id[16];
  std::snprintf(can_id, sizeof can_id, "0x%08X", static_cast<unsigned>(frame.record.can_id));
  return std::string("Frame(can_id=") + can_id + ", is_fd=" + (frame.fd ? "True" : "False") +
         ", flags=" + std::to_string(frame.record.flags) +
         ", len=" + std::to_string(frame.record.len) +
         ", data=" + std::string(py::repr(data_of(frame))) + ")";
}

py::tuple state_of(const frame_value& frame) {
  return py::make_tuple(frame.record.can_id, frame.record.len, frame.record.flags, frame.fd,
                        data_of(frame));
}

frame_value from_state(const py::tuple& state) {
  if (state.size() != 5) throw py::value_error("not a pickled cantext.Frame");
  return make_frame(state[0], py::none(), py::none(), py::none(), py::none(), state[3].cast<bool>(),
                    state[2], state[1], state[4]);
}

const char* const frame_doc = R"(A classic or CAN FD frame, immutable and hashable.

Frame('123#DEADBEEF') parses compact notation, as cantext.parse does.  Keywords build a frame:
either can_id (the 32-bit word with its flag bits) or id with is_extended, is_remote and
is_error; is_fd, flags (CAN FD only), data (bytes-like: at most 8 bytes, 64 with is_fd) and,
for a remote request only, len (the requested length, 0..8).  A standard id is at most 0x7FF,
an extended or error id at most 0x1FFFFFFF.  Bad values raise ValueError, wrong types TypeError.)";

}  // namespace

void add_frame_class(py::module_& m) {
  m.attr("CAN_EFF_FLAG") = cantext::CAN_EFF_FLAG;
  m.attr("CAN_RTR_FLAG") = cantext::CAN_RTR_FLAG;
  m.attr("CAN_ERR_FLAG") = cantext::CAN_ERR_FLAG;
  m.attr("CAN_SFF_MASK") = cantext::CAN_SFF_MASK;
  m.attr("CAN_EFF_MASK") = cantext::CAN_EFF_MASK;
  m.attr("CAN_ERR_MASK") = cantext::CAN_ERR_MASK;
  m.attr("CAN_MAX_DLEN") = cantext::CAN_MAX_DLEN;
  m.attr("CANFD_MAX_DLEN") = cantext::CANFD_MAX_DLEN;
  m.attr("CANFD_BRS") = cantext::CANFD_BRS;
  m.attr("CANFD_ESI") = cantext::CANFD_ESI;
  m.attr("CANFD_FDF") = cantext::CANFD_FDF;
  // An error frame's classes by bit, for Log.stats.
  py::tuple classes(std::size(cantext::error_class_names));
  for (std::size_t i = 0; i < classes.size(); ++i) classes[i] = cantext::error_class_names[i];
  m.attr("_ERROR_CLASS_NAMES") = classes;

  py::class_<frame_value>(m, "Frame", frame_doc)
      .def(py::init(&parse_text), py::arg("text"))
      .def(py::init(&make_frame), py::kw_only(), py::arg("can_id") = py::none(),
           py::arg("id") = py::none(), py::arg("is_extended") = py::none(),
           py::arg("is_remote") = py::none(), py::arg("is_error") = py::none(),
           py::arg("is_fd") = false, py::arg("flags") = 0, py::arg("len") = py::none(),
           py::arg("data") = py::bytes())
      .def_property_readonly(
          "can_id", [](const frame_value& f) { return f.record.can_id; },
          "The 32-bit identifier word: the identifier and the CAN_*_FLAG bits.")
      .def_property_readonly(
          "id", [](const frame_value& f) { return f.record.can_id & cantext::CAN_EFF_MASK; },
          "The identifier without the flag bits (for an error frame, its error classes).")
      .def_property_readonly(
          "is_extended",
          [](const frame_value& f) { return (f.record.can_id & cantext::CAN_EFF_FLAG) != 0; },
          "True for a 29-bit identifier.")
      .def_property_readonly(
          "is_remote", [](const frame_value& f) { return is_remote(f.record); },
          "True for a remote request.")
      .def_property_readonly(
          "is_error",
          [](const frame_value& f) { return (f.record.can_id & cantext::CAN_ERR_FLAG) != 0; },
          "True for an error frame.")
      .def_property_readonly(
          "is_fd", [](const frame_value& f) { return f.fd; }, "True for a CAN FD frame.")
      .def_property_readonly(
          "flags", [](const frame_value& f) { return f.record.flags; },
          "The CAN FD flags byte (CANFD_BRS, CANFD_ESI, ...); 0 for a classic frame.")
      .def_property_readonly(
          "len", [](const frame_value& f) { return f.record.len; },
          "Data bytes; for a remote request the requested length.")
      .def_property_readonly("data", &data_of, "The data bytes (empty for a remote request).")
      .def("long", &long_form, py::kw_only(), py::arg("binary") = false, py::arg("swap") = false,
           py::arg("ascii") = true, py::arg("align") = true,
           R"(The long, column-aligned form, one line: bytes in binary, in reverse order,
a column of the bytes as characters (ERRORFRAME for an error frame) and a standard identifier
right-aligned in 8 columns, as asked.)")
      .def("compact", &compact, py::kw_only(), py::arg("dots") = false,
           "Compact notation, which cantext.parse reads back; dots puts '.' between data bytes.")
      .def("explain", &explain, py::arg("sep") = py::none(),
           R"(An error frame's classes and details in words, the entries joined by sep
(',' when None); '' for a frame that is not an error frame.  An error class value above 0x200
gives '' too, and the library reports it on standard error.)")
      .def("__str__", [](const frame_value& f) { return compact(f, false); })
      .def("__repr__", &repr)
      .def(
          "__eq__", [](const frame_value& a, const frame_value& b) { return a == b; },
          py::is_operator())
      .def("__hash__",
           [](const frame_value& f) {
             return py::hash(py::make_tuple(
                 py::bytes(reinterpret_cast<const char*>(&f.record), sizeof f.record), f.fd));
           })
      .def(py::pickle(&state_of, &from_state));
}

}  // namespace cantext_python
