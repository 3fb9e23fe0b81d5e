// SPDX-License-Identifier: MIT
// cantext._cantext._FrameFilter: the reader's frame filter (the commands' --id, --channel,
// --errors-only and --no-errors) for read_log to apply while reading, and its identifier items
// for Log.select to apply to columns with NumPy.
#include <cstdint>
#include <string>

#include <pybind11/numpy.h>

#include "bindings.hpp"
#include "frame_filter.hpp"

namespace py = pybind11;

namespace cantext_python {
namespace {

namespace reader = cantext::reader;

reader::frame_filter make_filter(const std::string& ids, const std::string& channels,
                                 bool errors_only, bool no_errors) {
  reader::frame_filter filter;
  const char* problem = nullptr;
  if (!ids.empty() && !reader::add_ids(filter, ids, problem)) {
    throw py::value_error(std::string("ids ") + py::repr(py::str(ids)).cast<std::string>() + ": " +
                          problem);
  }
  if (!channels.empty() && !reader::add_channels(filter, channels, problem)) {
    throw py::value_error(std::string("channels ") +
                          py::repr(py::str(channels)).cast<std::string>() + ": " + problem);
  }
  if (errors_only && no_errors) {
    throw py::value_error("errors_only and no_errors keep nothing together");
  }
  filter.errors_only = errors_only;
  filter.no_errors = no_errors;
  return filter;
}

// The identifier items as columns: id, last, mask (uint32) and inverted (bool).
py::tuple id_items(const reader::frame_filter& filter) {
  const auto n = static_cast<py::ssize_t>(filter.id_count);
  py::array_t<std::uint32_t> id(n);
  py::array_t<std::uint32_t> last(n);
  py::array_t<std::uint32_t> mask(n);
  py::array_t<bool> inverted(n);
  for (py::ssize_t i = 0; i < n; ++i) {
    const reader::id_item& item = filter.ids[i];
    id.mutable_at(i) = item.id;
    last.mutable_at(i) = item.last;
    mask.mutable_at(i) = item.mask;
    inverted.mutable_at(i) = item.inverted;
  }
  return py::make_tuple(id, last, mask, inverted);
}

py::list channel_names(const reader::frame_filter& filter) {
  py::list names;
  for (std::size_t i = 0; i < filter.channel_count; ++i) {
    names.append(py::str(filter.channels[i], filter.channel_sizes[i]));
  }
  return names;
}

}  // namespace

void add_frame_filter(py::module_& m) {
  py::class_<reader::frame_filter>(
      m, "_FrameFilter",
      R"(Which frames a reading keeps (see read_log's ids and channels).

_FrameFilter(ids, channels, errors_only, no_errors): ids and channels are comma-separated
lists as the commands' --id and --channel take them; ValueError says what is wrong with one.)")
      .def(py::init(&make_filter), py::arg("ids") = "", py::arg("channels") = "",
           py::arg("errors_only") = false, py::arg("no_errors") = false)
      .def("id_items", &id_items, "The identifier items as arrays (id, last, mask, inverted).")
      .def("channel_names", &channel_names)
      .def_readonly("errors_only", &reader::frame_filter::errors_only)
      .def_readonly("no_errors", &reader::frame_filter::no_errors)
      .def("keeps_all", [](const reader::frame_filter& f) { return reader::keeps_all(f); });
}

}  // namespace cantext_python
