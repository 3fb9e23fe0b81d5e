// SPDX-License-Identifier: MIT
// Python objects for each row of read_log's columns that cost most to make in Python: the time as
// float seconds, the data as bytes (for iter_messages and to_pandas), and python-can's messages.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "line_reader.hpp"
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

py::list seconds_list(const py::array_t<std::int64_t, py::array::c_style>& time) {
  const auto times = time.unchecked<1>();
  py::list stamps(times.shape(0));
  for (py::ssize_t i = 0; i < times.shape(0); ++i) {
    const std::int64_t ns = times(i);
    PyObject* stamp = PyFloat_FromDouble(ns == no_time ? std::numeric_limits<double>::quiet_NaN()
                                                       : seconds_of(ns));
    if (stamp == nullptr) throw py::error_already_set();
    PyList_SET_ITEM(stamps.ptr(), i, stamp);
  }
  return stamps;
}

py::list payload_list(const py::array_t<std::uint32_t, py::array::c_style>& can_id,
                      const py::array_t<std::uint8_t, py::array::c_style>& len,
                      const py::array_t<std::uint8_t, py::array::c_style>& data, bool mutable_) {
  const py::ssize_t n = can_id.shape(0);
  if (len.shape(0) != n || data.ndim() != 2 || data.shape(0) != n ||
      data.shape(1) != cantext::CANFD_MAX_DLEN) {
    throw py::value_error("columns of different lengths");
  }
  const auto ids = can_id.unchecked<1>();
  const auto lengths = len.unchecked<1>();
  const auto make = mutable_ ? PyByteArray_FromStringAndSize : PyBytes_FromStringAndSize;
  py::list payloads(n);
  for (py::ssize_t i = 0; i < n; ++i) {
    // A remote request's length is the one requested: it carries no data.
    const bool remote = (ids(i) & cantext::CAN_RTR_FLAG) != 0;
    PyObject* payload =
        make(reinterpret_cast<const char*>(data.data(i, 0)), remote ? 0 : lengths(i));
    if (payload == nullptr) throw py::error_already_set();
    PyList_SET_ITEM(payloads.ptr(), i, payload);
  }
  return payloads;
}

// Objects of a class with slots made without calling its __init__: each slot set from its
// column through the slot's descriptor, as the class's own assignments would set it.
py::list new_objects(const py::type& cls, const py::tuple& slots, const py::tuple& columns) {
  if (slots.size() != columns.size()) throw py::value_error("a column for every slot");
  // Borrowed from the tuples, which hold them.
  std::vector<PyObject*> descriptors;
  std::vector<PyObject*> lists;
  for (std::size_t j = 0; j < slots.size(); ++j) {
    descriptors.push_back(PyTuple_GET_ITEM(slots.ptr(), j));
    lists.push_back(PyTuple_GET_ITEM(columns.ptr(), j));
    if (Py_TYPE(descriptors[j])->tp_descr_set == nullptr || !PyList_Check(lists[j]) ||
        PyList_GET_SIZE(lists[j]) != PyList_GET_SIZE(lists[0])) {
      throw py::type_error("slot descriptors and lists of one length expected");
    }
  }
  const py::ssize_t n = lists.empty() ? 0 : PyList_GET_SIZE(lists[0]);
  auto* const type = reinterpret_cast<PyTypeObject*>(cls.ptr());
  const py::tuple no_arguments;
  py::list objects(n);
  for (py::ssize_t i = 0; i < n; ++i) {
    auto object =
        py::reinterpret_steal<py::object>(type->tp_new(type, no_arguments.ptr(), nullptr));
    if (!object) throw py::error_already_set();
    for (std::size_t j = 0; j < descriptors.size(); ++j) {
      PyObject* const slot = descriptors[j];
      if (Py_TYPE(slot)->tp_descr_set(slot, object.ptr(), PyList_GET_ITEM(lists[j], i)) != 0) {
        throw py::error_already_set();
      }
    }
    PyList_SET_ITEM(objects.ptr(), i, object.release().ptr());
  }
  return objects;
}

}  // namespace

void add_message_values(py::module_& m) {
  m.def("_seconds", &seconds_list, py::arg("time"),
        "read_log's time column as a list of float seconds (NaN for NO_TIME).");
  m.def("_payloads", &payload_list, py::arg("can_id"), py::arg("len"), py::arg("data"),
        py::arg("mutable") = false,
        "read_log's data as a list of bytes (bytearray if mutable) of len bytes each; none for a "
        "remote request.");
  m.def("_new_objects", &new_objects, py::arg("cls"), py::arg("slots"), py::arg("columns"),
        "Objects of cls, made without its __init__, slot i of object k set to columns[i][k] "
        "through the descriptor slots[i].");
}

}  // namespace cantext_python
