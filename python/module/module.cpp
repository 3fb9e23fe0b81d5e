// SPDX-License-Identifier: MIT
// The compiled half of the Python package "cantext"; the package re-exports what it defines.
#include "bindings.hpp"

PYBIND11_MODULE(_cantext, m) {
  m.doc() = "Text forms of CAN and CAN FD frames, from the cantext C++ library.";
  m.attr("__version__") = CANTEXT_VERSION;
  cantext_python::add_frame_class(m);
  cantext_python::add_text_functions(m);
  cantext_python::add_frame_filter(m);
  cantext_python::add_log_reader(m);
  cantext_python::add_log_writer(m);
  cantext_python::add_message_values(m);
  cantext_python::add_dbc_database(m);
}
