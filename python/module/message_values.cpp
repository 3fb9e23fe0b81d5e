// SPDX-License-Identifier: MIT
// Python objects made of the rows of read_log's columns, where making them in Python would cost
// most: python-can's messages (iter_messages) and the data as bytes (Log.to_pandas).
#include <cmath>
#include <cstdint>
#include <limits>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "line_reader.hpp"
#include "log_columns.hpp"
#include "log_fields.hpp"

namespace py = pybind11;

namespace cantext_python {
namespace {

constexpr std::int64_t billion = 1000000000;
constexpr std::int64_t exact_in_double = std::int64_t{1} << 53;

// Nanoseconds as seconds, rounded once, as float() rounds the decimal text they were read from.
// Below 2^53 both operands of the division are exact, and IEEE division rounds once.  Above it
// the seconds s are at least 2^23, so the result lies in [2^e, 2^(e+1)) with e = log2(s) >= 23
// and its last bit is worth 2^-(52 - e), at most 2^-19: the fraction f / 10^9 is rounded to a
// multiple of that in 64-bit integers (f < 2^30 times at most 2^29), halves to even.
double seconds_of(std::int64_t ns) noexcept {
  if (ns < exact_in_double) return static_cast<double>(ns) / static_cast<double>(billion);
  const auto seconds = static_cast<std::uint64_t>(ns / billion);
  const auto fraction = static_cast<std::uint64_t>(ns % billion);
  const int shift = 52 - std::ilogb(static_cast<double>(seconds));
  const std::uint64_t scaled = fraction << shift;
  std::uint64_t steps = scaled / billion;
  const std::uint64_t rest = scaled % billion;
  if (2 * rest > billion || (2 * rest == billion && (steps & 1) != 0)) ++steps;
  return std::ldexp(static_cast<double>((seconds << shift) + steps), -shift);
}

// A remote request's length is the one requested: it carries no data.
py::ssize_t payload_size(std::uint32_t can_id, std::uint8_t len) noexcept {
  return (can_id & cantext::CAN_RTR_FLAG) != 0 ? 0 : len;
}

py::list payload_list(const py::handle& log) {
  const log_columns c(log);
  const auto ids = c.can_id.unchecked<1>();
  const auto lengths = c.len.unchecked<1>();
  py::list payloads(c.time.shape(0));
  for (py::ssize_t i = 0; i < c.time.shape(0); ++i) {
    PyObject* payload = PyBytes_FromStringAndSize(c.payload(i), payload_size(ids(i), lengths(i)));
    if (payload == nullptr) throw py::error_already_set();
    PyList_SET_ITEM(payloads.ptr(), i, payload);
  }
  return payloads;
}

// The fields of a message, in the order of the slot descriptors iter_messages passes.
enum message_field : std::size_t {
  timestamp_field,
  arbitration_id_field,
  is_extended_id_field,
  is_remote_frame_field,
  is_error_frame_field,
  channel_field,
  dlc_field,
  data_field,
  is_fd_field,
  is_rx_field,
  bitrate_switch_field,
  error_state_indicator_field,
  message_fields
};

py::handle truth(bool value) noexcept {
  return value ? Py_True : Py_False;
}

py::object checked(PyObject* made) {
  if (made == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

// The messages of rows [start, stop) of a Log, objects of `cls` made without calling it: each
// field set through its slot's descriptor, slots[i] for field i; `channels` holds the channel of
// each code.  A row of NO_TIME gets NaN as its timestamp.
py::list make_messages(const py::type& cls, const py::tuple& slots, const py::list& channels,
                       const py::handle& log, py::ssize_t start, py::ssize_t stop) {
  const log_columns c(log);
  if (slots.size() != message_fields || start < 0 || stop > c.time.shape(0) || start > stop) {
    throw py::value_error("a slot for every field and rows of the log expected");
  }
  PyObject* descriptors[message_fields];
  for (std::size_t j = 0; j < message_fields; ++j) {
    descriptors[j] = PyTuple_GET_ITEM(slots.ptr(), static_cast<py::ssize_t>(j));
    if (Py_TYPE(descriptors[j])->tp_descr_set == nullptr) throw py::type_error("not a slot");
  }
  const auto time = c.time.unchecked<1>();
  const auto ids = c.can_id.unchecked<1>();
  const auto flags = c.flags.unchecked<1>();
  const auto lengths = c.len.unchecked<1>();
  const auto fd = c.fd.unchecked<1>();
  auto* const type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  const py::tuple no_arguments;
  py::list messages(stop - start);
  for (py::ssize_t i = start; i < stop; ++i) {
    const std::int64_t ns = time(i);
    const std::uint32_t id = ids(i);
    const std::size_t code = c.channel_code(i);
    if (code >= channels.size()) throw py::value_error("a channel code without a name");
    const py::object values[message_fields] = {
        checked(PyFloat_FromDouble(ns == no_time ? std::numeric_limits<double>::quiet_NaN()
                                                 : seconds_of(ns))),
        checked(PyLong_FromUnsignedLong(id & cantext::CAN_EFF_MASK)),
        py::reinterpret_borrow<py::object>(truth((id & cantext::CAN_EFF_FLAG) != 0)),
        py::reinterpret_borrow<py::object>(truth((id & cantext::CAN_RTR_FLAG) != 0)),
        py::reinterpret_borrow<py::object>(truth((id & cantext::CAN_ERR_FLAG) != 0)),
        py::reinterpret_borrow<py::object>(PyList_GET_ITEM(channels.ptr(), code)),
        checked(PyLong_FromLong(lengths(i))),
        checked(PyByteArray_FromStringAndSize(c.payload(i), payload_size(id, lengths(i)))),
        py::reinterpret_borrow<py::object>(truth(fd(i))),
        py::reinterpret_borrow<py::object>(truth(c.direction_at(i) != 'T')),
        py::reinterpret_borrow<py::object>(truth((flags(i) & cantext::CANFD_BRS) != 0)),
        py::reinterpret_borrow<py::object>(truth((flags(i) & cantext::CANFD_ESI) != 0)),
    };
    const py::object message = checked(type->tp_new(type, no_arguments.ptr(), nullptr));
    for (std::size_t j = 0; j < message_fields; ++j) {
      PyObject* const slot = descriptors[j];
      if (Py_TYPE(slot)->tp_descr_set(slot, message.ptr(), values[j].ptr()) != 0) {
        throw py::error_already_set();
      }
    }
    PyList_SET_ITEM(messages.ptr(), i - start, message.inc_ref().ptr());
  }
  return messages;
}

}  // namespace

void add_message_values(py::module_& m) {
  m.def("_payloads", &payload_list, py::arg("log"),
        "A Log's data as a list of bytes, len of them for each row (none for a remote "
        "request).");
  m.def("_messages", &make_messages, py::arg("cls"), py::arg("slots"), py::arg("channels"),
        py::arg("log"), py::arg("start"), py::arg("stop"),
        R"(The messages of rows [start, stop) of a Log for iter_messages: objects of cls made
without calling it, each field set through the slot descriptor for it in slots (in the order
of cantext.log._MESSAGE_FIELDS); channels holds the channel of each code.)");
}

}  // namespace cantext_python
