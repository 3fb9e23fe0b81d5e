// SPDX-License-Identifier: MIT
// cantext._cantext._Database: a DBC database for cantext.dbc, which wraps it.  One frame is
// decoded into a dict (names and choice texts made once, at load time) and a whole log into
// one NumPy column per signal, without the GIL.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cantext/dbc.hpp>

#include "bindings.hpp"

namespace py = pybind11;
namespace dbc = cantext::dbc;

namespace cantext_python {
namespace {

// Texts of a DBC file: UTF-8 where they are, else the Windows code page such files are often in.
py::str text_of(std::string_view text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (s == nullptr) {
    PyErr_Clear();
    s = PyUnicode_Decode(text.data(), static_cast<Py_ssize_t>(text.size()), "cp1252", "replace");
  }
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

py::object raw_int(const dbc::signal& s, std::uint64_t raw) {
  if (s.kind == dbc::value_kind::unsigned_integer) return py::int_(raw);
  return py::int_(static_cast<std::int64_t>(raw));
}

// The scaled value of an integer signal with integer factor and offset, as a Python int.
py::object scaled_int(const dbc::signal& s, std::uint64_t raw) {
  if (s.factor == 1 && s.offset == 0) return raw_int(s, raw);
  const auto factor = static_cast<std::int64_t>(s.factor);
  const auto offset = static_cast<std::int64_t>(s.offset);
  std::int64_t product;
  std::int64_t sum;
  if (s.kind == dbc::value_kind::signed_integer || raw <= static_cast<std::uint64_t>(INT64_MAX)) {
    if (!__builtin_mul_overflow(static_cast<std::int64_t>(raw), factor, &product) &&
        !__builtin_add_overflow(product, offset, &sum)) {
      return py::int_(sum);
    }
  }
  return raw_int(s, raw) * py::int_(factor) + py::int_(offset);
}

bool integer_kind(const dbc::signal& s) {
  return s.kind == dbc::value_kind::unsigned_integer || s.kind == dbc::value_kind::signed_integer;
}

class database_holder {
 public:
  explicit database_holder(dbc::database db) : db_(std::move(db)) {
    for (const dbc::message& m : db_.messages) {
      std::vector<py::str> names;
      std::vector<std::vector<py::str>> choices;
      for (const dbc::signal& s : m.signals) {
        names.push_back(text_of(s.name));
        PyUnicode_InternInPlace(&names.back().ptr());
        choices.emplace_back();
        for (const dbc::choice& c : s.choices) choices.back().push_back(text_of(c.name));
      }
      signal_names_.push_back(std::move(names));
      choice_names_.push_back(std::move(choices));
    }
  }

  const dbc::database& db() const noexcept { return db_; }

  // A message by name, or by frame id: a standard one first, then an extended one (or extended
  // only when the id has CAN_EFF_FLAG); KeyError when there is none.
  std::size_t message_of(const py::object& key) const {
    const dbc::message* m = nullptr;
    if (py::isinstance<py::str>(key)) {
      m = dbc::find_message_named(db_, key.cast<std::string>());
    } else {
      const auto id = key.cast<std::uint64_t>();
      if (id <= 0xFFFFFFFFU) {
        const auto can_id = static_cast<std::uint32_t>(id);
        m = dbc::find_message(db_, can_id);
        if (m == nullptr && (can_id & cantext::can_eff_flag) == 0 &&
            can_id <= cantext::can_eff_mask)
          m = dbc::find_message(db_, can_id | cantext::can_eff_flag);
      }
    }
    if (m == nullptr) {
      PyErr_SetObject(PyExc_KeyError, key.ptr());
      throw py::error_already_set();
    }
    return static_cast<std::size_t>(m - db_.messages.data());
  }

  py::dict decode(const py::object& key, const py::buffer& data, bool decode_choices,
                  bool scaling) const {
    const std::size_t index = message_of(key);
    const dbc::message& m = db_.messages[index];
    const py::buffer_info info = data.request();
    const auto size = static_cast<std::size_t>(info.size * info.itemsize);
    if (size < m.length) {
      throw py::value_error("message " + m.name + " has " + std::to_string(m.length) +
                            " bytes, the data " + std::to_string(size));
    }
    dbc::signal_value values[64];
    std::vector<dbc::signal_value> more;
    dbc::signal_value* v = values;
    if (m.signals.size() > 64) {
      more.resize(m.signals.size());
      v = more.data();
    }
    dbc::decode(m, static_cast<const std::uint8_t*>(info.ptr), size, v);
    py::dict out;
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      if (!v[i].present) continue;
      out[signal_names_[index][i]] = value_object(index, i, v[i], decode_choices, scaling);
    }
    return out;
  }

  py::bytes encode(const py::object& key, const py::dict& values, bool scaling) const {
    const std::size_t index = message_of(key);
    const dbc::message& m = db_.messages[index];
    for (const auto& item : values) {
      if (signal_index(m, item.first) < 0) {
        PyErr_SetObject(PyExc_KeyError, item.first.ptr());
        throw py::error_already_set();
      }
    }
    std::vector<dbc::signal_value> v(m.signals.size(), dbc::signal_value{0, 0, false});
    // Multiplexers first, so that each signal knows whether it is selected.
    std::vector<std::uint16_t> order = m.mux_order;
    if (order.empty()) {
      for (std::size_t i = 0; i < m.signals.size(); ++i)
        order.push_back(static_cast<std::uint16_t>(i));
    }
    for (const std::uint16_t i : order) {
      const dbc::signal& s = m.signals[i];
      if (s.multiplexer >= 0) {
        const dbc::signal_value& mux = v[static_cast<std::size_t>(s.multiplexer)];
        bool selected = false;
        for (const dbc::mux_range& r : s.selected_by) {
          const auto raw = static_cast<std::int64_t>(mux.raw);
          selected = selected || (raw >= r.low && raw <= r.high);
        }
        if (!mux.present || !selected) continue;
      }
      const py::str& name = signal_names_[index][i];
      if (!values.contains(name)) throw py::value_error("no value for signal " + s.name);
      v[i] = {raw_of(index, i, values[name], scaling), 0, true};
    }
    std::string payload(m.length, '\0');
    dbc::encode(m, v.data(), reinterpret_cast<std::uint8_t*>(payload.data()));
    return py::bytes(payload);
  }

  // Columns per message that has rows: (index, time, channel, [signal columns]).
  py::list decode_log(const py::array_t<std::uint32_t, py::array::c_style>& can_id,
                      const py::array_t<std::uint8_t, py::array::c_style>& len,
                      const py::array_t<std::uint8_t, py::array::c_style>& data,
                      const py::array_t<std::int64_t, py::array::c_style>& time,
                      const py::array& channel, bool scaling) const {
    const auto n = static_cast<std::size_t>(can_id.size());
    if (static_cast<std::size_t>(len.size()) != n || static_cast<std::size_t>(time.size()) != n ||
        static_cast<std::size_t>(channel.size()) != n || data.ndim() != 2 ||
        static_cast<std::size_t>(data.shape(0)) != n || data.shape(1) != 64 ||
        !(channel.flags() & py::array::c_style)) {
      throw py::value_error("not the columns of one log");
    }
    const auto channel_size = static_cast<std::size_t>(channel.itemsize());
    const dbc::row_field fields[] = {
        {time.data(), 8, 8},
        {channel.data(), static_cast<std::ptrdiff_t>(channel_size), channel_size}};
    const dbc::frame_columns frames{can_id.data(), 4, len.data(), 1, data.data(), 64, n, fields, 2};
    const std::size_t messages = db_.messages.size();
    std::vector<std::size_t> counts(messages);
    // Its first log_block_rows words also serve match_rows.
    std::vector<std::uint32_t> scratch(dbc::log_scratch_words(db_));
    {
      py::gil_scoped_release unlocked;
      for (std::size_t start = 0; start < n; start += dbc::log_block_rows) {
        dbc::frame_columns block = frames;
        block.can_id += start;
        block.len += start;
        block.count = std::min(dbc::log_block_rows, n - start);
        dbc::match_rows(db_, block, scratch.data(), counts.data());
      }
    }
    // Every column is a view of one buffer: a large allocation is mapped in large pages, where
    // thousands of small ones would each take a page fault for every 4 KiB written.
    std::size_t total = 0;
    for (std::size_t m = 0; m < messages; ++m) {
      if (counts[m] == 0) continue;
      total += counts[m] * (8 * (db_.messages[m].signals.size() + 1) + channel_size) + 8;
    }
    py::array_t<std::uint8_t> buffer(static_cast<py::ssize_t>(total));
    std::uint8_t* const base = buffer.mutable_data();
    std::size_t used = 0;
    const auto take = [&](const py::dtype& type, std::size_t rows) {
      // 8-byte aligned (NumPy's buffers are aligned more), as a column of its own would be.
      used = (used + 7) & ~std::size_t{7};
      py::array column(type, {static_cast<py::ssize_t>(rows)}, {type.itemsize()}, base + used,
                       buffer);
      used += rows * static_cast<std::size_t>(type.itemsize());
      return column;
    };
    const py::dtype int64 = py::dtype::of<std::int64_t>();
    const py::dtype uint64 = py::dtype::of<std::uint64_t>();
    const py::dtype float64 = py::dtype::of<double>();
    py::list out;
    std::vector<void*> pointers;
    std::vector<void*> field_pointers;
    std::vector<dbc::message_columns> columns(messages, {nullptr, nullptr, 0});
    // Reserved, so that the columns' pointers stay where message_columns point.
    std::size_t signal_count = 0;
    for (std::size_t m = 0; m < messages; ++m)
      signal_count += counts[m] == 0 ? 0 : db_.messages[m].signals.size();
    pointers.reserve(signal_count);
    field_pointers.reserve(2 * messages);
    for (std::size_t m = 0; m < messages; ++m) {
      if (counts[m] == 0) continue;
      py::array t = take(int64, counts[m]);
      py::array c = take(channel.dtype(), counts[m]);
      field_pointers.push_back(t.mutable_data());
      field_pointers.push_back(c.mutable_data());
      columns[m].fields = &field_pointers[field_pointers.size() - 2];
      py::list signal_columns;
      columns[m].signals = pointers.data() + pointers.size();
      for (const dbc::signal& s : db_.messages[m].signals) {
        const dbc::column_type type = dbc::column_type_of(s, scaling);
        py::array column = take(type == dbc::column_type::int64    ? int64
                                : type == dbc::column_type::uint64 ? uint64
                                                                   : float64,
                                counts[m]);
        pointers.push_back(column.mutable_data());
        signal_columns.append(column);
      }
      out.append(py::make_tuple(m, t, c, signal_columns));
    }
    {
      py::gil_scoped_release unlocked;
      dbc::decode_log(db_, frames, columns.data(), scaling, scratch.data());
    }
    return out;
  }

  // The messages' and signals' definitions, for the Python classes.
  py::list definitions() const {
    py::list messages;
    for (std::size_t index = 0; index < db_.messages.size(); ++index) {
      const dbc::message& m = db_.messages[index];
      py::list signals;
      for (std::size_t i = 0; i < m.signals.size(); ++i) {
        const dbc::signal& s = m.signals[i];
        py::dict choices;
        for (std::size_t c = 0; c < s.choices.size(); ++c)
          choices[py::int_(s.choices[c].raw)] = choice_names_[index][i][c];
        py::list receivers;
        for (const std::string& r : s.receivers) receivers.append(text_of(r));
        py::list ranges;
        for (const dbc::mux_range& r : s.selected_by) ranges.append(py::make_tuple(r.low, r.high));
        const char* kinds[] = {"unsigned", "signed", "float", "double"};
        py::dict d;
        d["name"] = signal_names_[index][i];
        d["start"] = s.start_bit;
        d["length"] = s.length;
        d["byte_order"] = s.big_endian ? "big_endian" : "little_endian";
        d["kind"] = kinds[static_cast<int>(s.kind)];
        d["scale"] = scale_number(s.factor, s.integer_scaling);
        d["offset"] = scale_number(s.offset, s.integer_scaling);
        d["minimum"] = s.minimum;
        d["maximum"] = s.maximum;
        d["unit"] = text_of(s.unit);
        d["receivers"] = receivers;
        d["comment"] = s.comment.empty() ? py::object(py::none()) : py::object(text_of(s.comment));
        d["choices"] = choices;
        d["is_multiplexer"] = s.is_multiplexer;
        d["multiplexer"] =
            s.multiplexer < 0
                ? py::object(py::none())
                : py::object(signal_names_[index][static_cast<std::size_t>(s.multiplexer)]);
        d["multiplexer_ranges"] = ranges;
        d["integer"] = integer_kind(s) && s.integer_scaling;
        signals.append(d);
      }
      py::dict d;
      d["name"] = text_of(m.name);
      d["frame_id"] = m.id;
      d["is_extended_frame"] = m.extended;
      d["is_fd"] = m.fd;
      d["length"] = m.length;
      d["cycle_time"] =
          m.cycle_time < 0 ? py::object(py::none()) : py::object(py::int_(m.cycle_time));
      d["senders"] =
          m.transmitter.empty() ? py::list() : py::list(py::make_tuple(text_of(m.transmitter)));
      d["comment"] = m.comment.empty() ? py::object(py::none()) : py::object(text_of(m.comment));
      d["signals"] = signals;
      messages.append(d);
    }
    return messages;
  }

 private:
  static py::object scale_number(double value, bool integer) {
    if (integer) return py::int_(static_cast<std::int64_t>(value));
    return py::float_(value);
  }

  int signal_index(const dbc::message& m, const py::handle& name) const {
    if (!py::isinstance<py::str>(name)) return -1;
    const auto text = name.cast<std::string>();
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
      if (m.signals[i].name == text) return static_cast<int>(i);
    }
    return -1;
  }

  py::object value_object(std::size_t index, std::size_t i, const dbc::signal_value& v,
                          bool decode_choices, bool scaling) const {
    const dbc::signal& s = db_.messages[index].signals[i];
    if (decode_choices && !s.choices.empty()) {
      const char* name = dbc::choice_name(s, v.raw);
      if (name != nullptr) {
        const auto c = static_cast<std::size_t>(
            std::lower_bound(s.choices.begin(), s.choices.end(), static_cast<std::int64_t>(v.raw),
                             [](const dbc::choice& x, std::int64_t r) { return x.raw < r; }) -
            s.choices.begin());
        return choice_names_[index][i][c];
      }
    }
    if (!integer_kind(s)) return py::float_(scaling ? v.physical : dbc::raw_number(s, v.raw));
    if (!scaling) return raw_int(s, v.raw);
    if (s.integer_scaling) return scaled_int(s, v.raw);
    return py::float_(v.physical);
  }

  std::uint64_t raw_of(std::size_t index, std::size_t i, const py::handle& value,
                       bool scaling) const {
    const dbc::signal& s = db_.messages[index].signals[i];
    if (py::isinstance<py::str>(value)) {
      const auto text = value.cast<std::string>();
      for (const dbc::choice& c : s.choices) {
        if (c.name == text) return static_cast<std::uint64_t>(c.raw);
      }
      throw py::value_error("signal " + s.name + " has no choice '" + text + "'");
    }
    if (integer_kind(s) && (!scaling || (s.integer_scaling && py::isinstance<py::int_>(value)))) {
      py::int_ number(py::reinterpret_borrow<py::object>(value));
      if (scaling && !(s.factor == 1 && s.offset == 0)) {
        // Exact in Python's integers: a double would lose the low bits of 64-bit values.
        const py::int_ factor(static_cast<std::int64_t>(s.factor));
        const py::object shifted = number - py::int_(static_cast<std::int64_t>(s.offset));
        if (!py::bool_(shifted.attr("__mod__")(factor).attr("__eq__")(py::int_(0))))
          throw py::value_error("value is no whole number of factors for signal " + s.name);
        number = py::int_(shifted.attr("__floordiv__")(factor));
      }
      const bool is_signed = s.kind == dbc::value_kind::signed_integer;
      std::uint64_t raw;
      bool fits;
      if (is_signed) {
        const auto x = number.cast<std::int64_t>();
        const std::int64_t half =
            s.length == 64 ? INT64_MAX : (std::int64_t{1} << (s.length - 1)) - 1;
        fits = x >= -half - 1 && x <= half;
        raw = static_cast<std::uint64_t>(x);
      } else {
        raw = number.cast<std::uint64_t>();
        fits = (raw & ~s.plan.mask) == 0;
      }
      if (!fits) throw py::value_error("value out of range for signal " + s.name);
      return raw;
    }
    const double x = py::float_(py::reinterpret_borrow<py::object>(value));
    if (!scaling) {
      dbc::signal unscaled = s;
      unscaled.factor = 1;
      unscaled.offset = 0;
      return dbc::raw_of_physical(unscaled, x);
    }
    const std::uint64_t raw = dbc::raw_of_physical(s, x);
    if (integer_kind(s)) {
      const double back = dbc::raw_number(s, raw) * s.factor + s.offset;
      if (!(std::fabs(back - x) <= std::fabs(s.factor) * (0.5 + 1e-9) + 1e-12 * std::fabs(x)))
        throw py::value_error("value " + std::to_string(x) + " out of range for signal " + s.name);
    }
    return raw;
  }

  dbc::database db_;
  std::vector<std::vector<py::str>> signal_names_;
  std::vector<std::vector<std::vector<py::str>>> choice_names_;
};

database_holder load(const py::bytes& text, const std::string& name) {
  const std::string_view view = text;
  dbc::load_result r;
  {
    py::gil_scoped_release unlocked;
    r = dbc::load_text(view, name);
  }
  if (!r.ok()) throw py::value_error(r.error);
  return database_holder(std::move(r.db));
}

}  // namespace

void add_dbc_database(py::module_& m) {
  py::class_<database_holder>(m, "_Database")
      .def("definitions", &database_holder::definitions)
      .def("decode", &database_holder::decode, py::arg("key"), py::arg("data"),
           py::arg("decode_choices"), py::arg("scaling"))
      .def("encode", &database_holder::encode, py::arg("key"), py::arg("values"),
           py::arg("scaling"))
      .def("decode_log", &database_holder::decode_log, py::arg("can_id"), py::arg("len"),
           py::arg("data"), py::arg("time"), py::arg("channel"), py::arg("scaling"))
      .def("message_index", &database_holder::message_of, py::arg("key"));
  m.def("_load_dbc", &load, py::arg("text"), py::arg("name"),
        "A DBC database from the file's bytes; ValueError 'NAME:LINE:COLUMN: what is wrong'.");
}

}  // namespace cantext_python
