// SPDX-License-Identifier: MIT
// The bytes of a text argument that may be a str or any bytes-like object, held without a copy.
#ifndef CANTEXT_PYTHON_TEXT_ARG_HPP
#define CANTEXT_PYTHON_TEXT_ARG_HPP

#include <pybind11/pybind11.h>

#include <string_view>

namespace cantext_python {

// A str is read as UTF-8 (its cached form); a bytes-like object through the buffer protocol,
// held until destruction.  Anything else raises TypeError naming `what`.
class text_arg {
 public:
  text_arg(pybind11::handle object, const char* what);
  ~text_arg();
  text_arg(const text_arg&) = delete;
  text_arg& operator=(const text_arg&) = delete;

  std::string_view view() const noexcept { return view_; }

 private:
  Py_buffer buffer_{};
  bool has_buffer_ = false;
  std::string_view view_;
};

}  // namespace cantext_python

#endif
