// SPDX-License-Identifier: MIT
// --timezone: wall-clock times of headers read and written in a zone of the C library's time
// zone database instead of UTC.
#ifndef CANTEXT_TOOLS_TIME_ZONE_HPP
#define CANTEXT_TOOLS_TIME_ZONE_HPP

#include <cstdint>

#include "civil_time.hpp"

namespace cantext::tool {

// Makes `zone` (a name of the time zone database such as "Europe/Berlin", or a POSIX TZ rule
// such as "CET-1CEST,M3.5.0,M10.5.0/3") the process's local zone; false for a name the
// database does not have, which the C library would take as UTC without a word.
bool use_time_zone(const char* zone) noexcept;

// The epoch seconds of a wall-clock time in the local zone.
std::int64_t local_to_epoch(int year, int month, int day, int hour, int minute,
                            int second) noexcept;

// The local wall-clock time of epoch seconds.
reader::civil_time epoch_to_local(std::int64_t seconds) noexcept;

}  // namespace cantext::tool

#endif
