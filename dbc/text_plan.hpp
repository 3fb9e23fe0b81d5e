// SPDX-License-Identifier: MIT
// The plan by which format_message writes a message (text_plan), made once at load time, and the
// two ways of writing: by the plan when the caller's buffer has room for the longest text, and
// piece by piece, counting what does not fit, otherwise.
#ifndef CANTEXT_DBC_TEXT_PLAN_HPP
#define CANTEXT_DBC_TEXT_PLAN_HPP

#include <cstddef>
#include <cstdint>

#include <cantext/dbc.hpp>

namespace cantext::dbc::detail {

// How a signal's value is written (text_step::how).
enum text_how : std::uint8_t {
  text_integer,  // raw * factor + offset in 64-bit integers
  text_decimal,  // scaled_decimal of raw * factor + offset, at `decimals`
  text_double,   // short_decimal of the physical value
};

// The plan's text ends with this many bytes to spare, and its room has them past the longest
// text, for the copies of put_message.
inline constexpr std::size_t text_block = 16;

// Signals of this many bits or fewer have the texts of their raw values in a table.
inline constexpr unsigned max_table_bits = 4;

// The plan of a message whose signals are all read and linked.
text_plan plan_text(const message& m);

// format_message by the plan into at least m.text.room bytes; returns the end, where the NUL is.
char* put_message(char* out, const message& m, const signal_value* values,
                  unsigned options) noexcept;

// One signal's value and unit (or its choice) as format_pieces writes it, as snprintf.
std::size_t format_value(char* buf, std::size_t size, const signal& s, const signal_value& v,
                         unsigned options) noexcept;

// format_message piece by piece from the signals' records, as snprintf.
std::size_t format_pieces(char* buf, std::size_t size, const message& m, const signal_value* values,
                          unsigned options) noexcept;

}  // namespace cantext::dbc::detail

#endif
