// SPDX-License-Identifier: MIT
// Vector ASC with hex numbers and absolute times: seconds since the start that the header's
// date gives (to the millisecond), six digits of fraction, nine for a log time that has more.
// The log's "can{N}" is channel N + 1.
#include "cantext/length_codes.hpp"
#include "capture_writer.hpp"
#include "line_fields.hpp"
#include "log_time.hpp"
#include "text_out.hpp"

namespace cantext::writers {
namespace {

using reader::civil_time;
using reader::ns_per_second;

constexpr const char* weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The CAN FD line's flags: a CAN FD frame, its bit rate switch and error state indicator.
constexpr std::uint32_t edl_flag = 0x1000;
constexpr std::uint32_t brs_flag = 0x2000;
constexpr std::uint32_t esi_flag = 0x4000;

// "Thu Nov 23 02:13:20.123 pm 2023", the 12-hour clock that every ASC reader knows.
void put_date(text_out& text, const writer_state& state, std::int64_t ns) noexcept {
  const std::int64_t seconds = reader::floor_div(ns, ns_per_second);
  const civil_time t = state.options.zone != nullptr ? state.options.zone->to_local(seconds)
                                                     : reader::utc_civil(seconds);
  const int weekday = reader::weekday_from_days(reader::days_from_civil(t.year, t.month, t.day));
  text.put(weekdays[weekday]);
  text.put(' ');
  text.put(months[t.month - 1]);
  text.put(' ');
  text.decimal(static_cast<std::uint64_t>(t.day), 2);
  text.put(' ');
  text.decimal(static_cast<std::uint64_t>(t.hour % 12 == 0 ? 12 : t.hour % 12), 2);
  text.put(':');
  text.decimal(static_cast<std::uint64_t>(t.minute), 2);
  text.put(':');
  text.decimal(static_cast<std::uint64_t>(t.second), 2);
  text.put('.');
  text.decimal(static_cast<std::uint64_t>((ns - seconds * ns_per_second) / 1000000), 3);
  text.put(t.hour < 12 ? " am " : " pm ");
  text.decimal(static_cast<std::uint64_t>(t.year));
}

std::size_t asc_header(writer_state& state, const frame_line* first, char* out) noexcept {
  std::int64_t ns = 0;
  int digits = 0;
  if (first != nullptr && !reader::parse_log_time(first->time, ns, digits)) ns = 0;
  // The date line holds milliseconds: the start is the first frame's millisecond.
  state.start_ns = reader::floor_div(ns, 1000000) * 1000000;
  text_out text(out);
  text.put("date ");
  put_date(text, state, state.start_ns);
  text.put("\nbase hex  timestamps absolute\nno internal events logged\n// version 9.0.0\n");
  text.put("Begin Triggerblock ");
  put_date(text, state, state.start_ns);
  text.put('\n');
  return text.size();
}

void put_identifier(text_out& text, std::uint32_t can_id) noexcept {
  if (can_id & can_eff_flag) {
    text.hex(can_id & can_eff_mask);
    text.put('x');
  } else {
    text.hex(can_id & can_sff_mask);
  }
}

std::string_view direction_word(std::string_view direction) noexcept {
  return direction == "T" ? "Tx" : "Rx";
}

// The usual line, a classic frame on channels 1 to 9, a word at a time:
// " N  ID              Rx   d L BB BB ...", the identifier padded to 15 columns.
void put_classic(text_out& text, const frame_line& frame, std::uint32_t channel) noexcept {
  const frame_record& r = frame.record;
  constexpr std::uint64_t blanks = detail::every_byte(' ');
  char* p = text.at;
  detail::store_half_word(p, 0x20200020u | ('0' + channel) << 8);
  const bool extended = (r.can_id & can_eff_flag) != 0;
  const std::uint32_t id = r.can_id & (extended ? can_eff_mask : can_sff_mask);
  // The digits that count, from the highest set bit (bit 0 for 0) on, then spaces.
  const auto digits = static_cast<unsigned>(32 - __builtin_clz(id | 1) + 3) / 4;
  const unsigned unused = 8 * (8 - digits);
  const std::uint64_t hex = extended ? hex_digits(id) : hex_digits_low(id);
  detail::store_word(p + 4, hex >> unused | (blanks & ~(~std::uint64_t{0} >> unused)));
  detail::store_word(p + 12, blanks);
  if (extended) p[4 + digits] = 'x';
  p += 19;
  const bool remote = (r.can_id & can_rtr_flag) != 0;
  const int len = r.len > can_max_dlen ? can_max_dlen : r.len;
  std::uint64_t middle = detail::text_word(" Rx   d ");
  if (frame.direction == "T") middle += std::uint64_t{'T' - 'R'} << 8;
  if (remote) middle += std::uint64_t{'r' - 'd'} << 48;
  detail::store_word(p, middle);
  p[8] = static_cast<char>('0' + len);
  p += 9;
  if (!remote && len != 0) {
    // All eight bytes' digits, whatever the length, without a branch per byte: the buffer has
    // room past the line, and the length tells where it ends.
    *p++ = ' ';
    for (int i = 0; i < can_max_dlen; ++i) {
      std::memcpy(p + 3 * i, text_tables::hex_spaced[r.data[i]].data(), 4);
    }
    p += 3 * len - 1;
  }
  *p++ = '\n';
  text.at = p;
}

// "   s.ffffff", the seconds' last four columns (blank before 10^4 s) and the microsecond's
// digits ("00ffffff"), as two words.
void put_usual_time(text_out& text, std::uint64_t seconds, std::uint64_t micro) noexcept {
  const std::uint64_t fraction = micro >> 16;
  detail::store_word(text.at, seconds >> 32 | std::uint64_t{'.'} << 32 | fraction << 40);
  detail::store_word(text.at + 8, fraction >> 24);
  text.at += 11;
}

// The time since the start right-aligned in 11 columns, as measurements shorter than 10^4 s
// have them; false when the frame's time is not a log time.
bool put_time(writer_state& state, text_out& text, std::string_view time) noexcept {
  constexpr std::uint64_t four_blanks = detail::every_byte(' ') & 0xFFFFFFFF;
  std::uint64_t seconds = 0;
  std::uint64_t micro = 0;
  if (usual_time(state, time, seconds, micro) && (seconds & 0xFFFFFFFF) == four_blanks) {
    put_usual_time(text, seconds, micro);
    return true;
  }
  std::int64_t ns = 0;
  int digits = 0;
  if (!line_time(state, time, ns, digits)) return false;
  const std::int64_t since_start = ns - state.start_ns;
  std::uint32_t past = 0;
  if (digits <= 6 && whole_seconds(state, since_start, seconds, past) &&
      (seconds & 0xFFFFFFFF) == four_blanks) {
    put_usual_time(text, seconds, reader::fields::decimal_word(past / 1000));
  } else {
    text.fixed(since_start, 9, digits > 6 ? 9 : 6, 11);
  }
  return true;
}

std::size_t asc_line(writer_state& state, const frame_line& frame, char* out) noexcept {
  text_out text(out);
  if (!put_time(state, text, frame.time)) return 0;
  const frame_record& r = frame.record;
  const std::uint32_t channel = channel_of(frame.channel);
  if (r.can_id & can_err_flag) {
    text.put(' ');
    text.decimal(channel);
    text.put("  ErrorFrame\n");
  } else if (frame.max_data_length == canfd_max_dlen) {
    const int len = r.len > canfd_max_dlen ? canfd_max_dlen : r.len;
    text.put(" CANFD ");
    text.decimal_right(channel, 3);
    text.put(' ');
    text.put(direction_word(frame.direction));
    text.put("   ");
    const char* const id_start = text.at;
    put_identifier(text, r.can_id);
    text.pad_from(id_start, 8);
    text.put(' ');
    text.put(r.flags & 0x01 ? '1' : '0');
    text.put(' ');
    text.put(r.flags & 0x02 ? '1' : '0');
    text.put(' ');
    text.hex(len_to_dlc(len));
    text.put(' ');
    text.decimal_right(static_cast<std::uint64_t>(len), 2);
    if (len != 0) text.put(' ');
    text.bytes(r.data, len);
    // Message duration and length, unknown here; the flags, "1000" to "7000"; the CRC and bit
    // timings, unknown.
    static_assert(edl_flag == 0x1000 && brs_flag == 0x2000 && esi_flag == 0x4000);
    constexpr std::string_view tail =
        "        0    0     1000        0        0        0        0        0\n";
    text.put(tail);
    text.at[19 - static_cast<std::ptrdiff_t>(tail.size())] =
        static_cast<char>('1' + 2 * (r.flags & 0x01) + 2 * (r.flags & 0x02));
  } else if (channel <= 9) {
    put_classic(text, frame, channel);
  } else {
    text.put(' ');
    text.decimal(channel);
    text.put("  ");
    const char* const id_start = text.at;
    put_identifier(text, r.can_id);
    text.pad_from(id_start, 15);
    text.put(' ');
    text.put(direction_word(frame.direction));
    text.put("   ");
    const int len = r.len > can_max_dlen ? can_max_dlen : r.len;
    text.put(r.can_id & can_rtr_flag ? "r " : "d ");
    text.hex(static_cast<std::uint32_t>(len));
    if (!(r.can_id & can_rtr_flag) && len != 0) {
      text.put(' ');
      text.bytes(r.data, len);
    }
    text.put('\n');
  }
  ++state.count;
  return text.size();
}

std::size_t asc_footer(writer_state&, char* out) noexcept {
  text_out text(out);
  text.put("End TriggerBlock\n");
  return text.size();
}

}  // namespace

const line_writer asc_writer{"asc", asc_header, asc_line, asc_footer};

}  // namespace cantext::writers
