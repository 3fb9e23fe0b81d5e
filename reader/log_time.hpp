// SPDX-License-Identifier: MIT
// The capture log's time field, "(seconds.fraction)" since the epoch, to and from nanoseconds:
// what formats with times of their own write into the field, and what writers of those formats
// read back from it.
#ifndef CANTEXT_READER_LOG_TIME_HPP
#define CANTEXT_READER_LOG_TIME_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cantext::reader {

// The longest time field put_log_time writes, its terminator not counted.
inline constexpr std::size_t max_log_time = 32;

// Writes "(seconds.fraction)" for `ns` nanoseconds since the epoch (negative ones too) with
// `digits` (1 to 9) digits of fraction, the last rounded down, and a terminator; returns the
// length.  `out` holds max_log_time + 1 bytes.
std::size_t put_log_time(char* out, std::int64_t ns, int digits) noexcept;

// put_log_time into an `out` that holds, terminated, what put_log_time wrote there for
// `previous_ns`, or any text that does not begin with "(": within the same second, only the
// fraction is written anew.  A reading calls it for each line's time.
std::size_t put_next_log_time(char* out, std::int64_t previous_ns, std::int64_t ns,
                              int digits) noexcept;

// Reads "(seconds.fraction)" (or the same without the parentheses) into nanoseconds and the
// number of fraction digits written (0 without a fraction); false when the text is no such
// time or lies beyond what int64 holds.  Digits past the ninth are dropped.
bool parse_log_time(std::string_view text, std::int64_t& ns, int& digits) noexcept;

}  // namespace cantext::reader

#endif
