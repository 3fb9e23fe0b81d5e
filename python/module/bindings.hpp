// SPDX-License-Identifier: MIT
// The pieces of the Python module "cantext._cantext", each added to the module by its own file.
#ifndef CANTEXT_PYTHON_BINDINGS_HPP
#define CANTEXT_PYTHON_BINDINGS_HPP

#include <pybind11/pybind11.h>

namespace cantext_python {

void add_frame_class(pybind11::module_& m);     // Frame and the flag constants
void add_text_functions(pybind11::module_& m);  // parse, length codes, hex strings
void add_frame_filter(pybind11::module_& m);    // the frames a reading keeps
void add_log_reader(pybind11::module_& m);      // capture logs read into columns
void add_log_writer(pybind11::module_& m);      // columns written as a capture
void add_message_values(pybind11::module_& m);  // timestamps and payloads for python-can
void add_dbc_database(pybind11::module_& m);    // DBC databases for cantext.dbc

}  // namespace cantext_python

#endif
