// SPDX-License-Identifier: MIT
#include "text_arg.hpp"

#include <string>

namespace py = pybind11;

namespace cantext_python {

text_arg::text_arg(py::handle object, const char* what) {
  if (PyUnicode_Check(object.ptr())) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object.ptr(), &size);
    if (data == nullptr) throw py::error_already_set();
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return;
  }
  if (PyObject_GetBuffer(object.ptr(), &buffer_, PyBUF_SIMPLE) != 0) {
    PyErr_Clear();
    throw py::type_error(std::string(what) + " must be str or bytes, not " +
                         Py_TYPE(object.ptr())->tp_name);
  }
  has_buffer_ = true;
  view_ = std::string_view(static_cast<const char*>(buffer_.buf),
                           static_cast<std::size_t>(buffer_.len));
}

text_arg::~text_arg() {
  if (has_buffer_) PyBuffer_Release(&buffer_);
}

}  // namespace cantext_python
