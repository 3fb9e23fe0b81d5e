// SPDX-License-Identifier: MIT
// PEAK TRC: a header of lines beginning with ";" (the file version, the start time in days since
// 1899-12-30, the order of the columns), then one line per message with its time offset in
// milliseconds from the start.  The versions differ in their columns:
//   1.0       "N) O I L D..."            no direction, no bus
//   1.1       "N) O T I L D..."          T: Rx, Tx, Warng, Error
//   1.2, 1.3  "N) O B T I [-] L D..."    with the bus
//   2.0, 2.1  the columns of ;$COLUMNS   T: DT, FD, FB, FE, BI, RR, ER and events
// A file without a version line is 1.0 or 1.1, told apart by its columns.  Bus N is the log's
// "can{N-1}"; files without a bus have bus 1.
#include <cstring>

#include "byte_words.hpp"
#include "cantext/length_codes.hpp"
#include "civil_time.hpp"
#include "format_fields.hpp"
#include "frame/hex_word.hpp"
#include "log_time.hpp"
#include "time_zone.hpp"
#include "trc_columns.hpp"

namespace cantext::reader {
namespace {

using fields::same_word;
using fields::splitter;

constexpr std::uint32_t can_err_buserror = 0x80;
using trc::other_columns;
// 1899-12-30, the day the start time counts from, is this many days before the epoch.
constexpr std::int64_t start_day_before_epoch = 25569;

// ";$STARTTIME=days.fraction" into nanoseconds since the epoch; the fraction of a day is exact
// to its 15th digit (a tenth of a nanosecond).
bool read_start_time(const format_state& state, std::string_view text, std::int64_t& ns) noexcept {
  const std::size_t dot = text.find('.');
  const std::string_view whole = fields::sub(text, 0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : fields::sub(text, dot + 1);
  std::uint32_t days = 0;
  if (!fields::read_number(whole, 10, 3000000, days)) return false;
  if (fraction.size() > 15) fraction = fields::sub(fraction, 0, 15);
  std::int64_t part = 0;
  for (const char c : fraction) {
    if (c < '0' || c > '9') return false;
    part = part * 10 + (c - '0');
  }
  // A day is 864 * 10^11 ns: scale the fraction without passing int64's range.
  std::int64_t in_day = part * 864;
  for (std::size_t k = fraction.size(); k < 11; ++k) in_day *= 10;
  for (std::size_t k = 11; k < fraction.size(); ++k) in_day /= 10;
  civil_time t = civil_from_days(static_cast<std::int64_t>(days) - start_day_before_epoch);
  const std::int64_t in_day_seconds = in_day / ns_per_second;
  t.hour = static_cast<int>(in_day_seconds / 3600);
  t.minute = static_cast<int>(in_day_seconds / 60 % 60);
  t.second = static_cast<int>(in_day_seconds % 60);
  const std::int64_t seconds =
      state.options.zone != nullptr
          ? state.options.zone->to_epoch(t.year, t.month, t.day, t.hour, t.minute, t.second)
          : utc_seconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
  ns = seconds * ns_per_second + in_day % ns_per_second;
  return true;
}

// Keeps in the settings whether the columns are other than the usual ones (or none given), so
// that a line need not compare them.
void note_columns(format_state& state) noexcept {
  const bool usual = state.columns[0] == '\0' || std::memcmp(state.columns, "NOTBIdRLD", 10) == 0;
  state.settings = usual ? state.settings & ~other_columns : state.settings | other_columns;
}

// ";$KEY=value" lines set the reading; other lines beginning with ";" are comments.
line_verdict header_line(format_state& state, std::string_view text, line_parts& out) noexcept {
  splitter words{text};
  const std::string_view line = words.next();
  const std::size_t equals = line.find('=');
  if (line.size() < 2 || line[1] != '$' || equals == std::string_view::npos) {
    return line_verdict::skipped;
  }
  const std::string_view key = fields::sub(line, 2, equals - 2);
  const std::string_view value = fields::sub(line, equals + 1);
  if (key == "FILEVERSION") {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    if (value.size() != 3 || value[1] != '.' ||
        !fields::read_number(fields::sub(value, 0, 1), 10, 2, major) ||
        !fields::read_number(fields::sub(value, 2), 10, 3, minor) || major == 0 ||
        (major == 2 && minor > 1)) {
      return fields::bad("file version not known", out);
    }
    state.version = major * 10 + minor;
  } else if (key == "STARTTIME") {
    if (!read_start_time(state, value, state.start_ns)) {
      return fields::bad("start time not understood", out);
    }
  } else if (key == "COLUMNS") {
    std::size_t n = 0;
    for (std::size_t i = 0; i < value.size(); i += 2) {
      if (n + 1 >= sizeof state.columns || (i + 1 < value.size() && value[i + 1] != ',')) {
        note_columns(state);
        return fields::bad("columns not understood", out);
      }
      state.columns[n++] = value[i];
    }
    state.columns[n] = '\0';
    note_columns(state);
  }
  return line_verdict::skipped;
}

// The time offset in milliseconds, added to the start.
void put_offset_time(format_state& state, std::int64_t offset, int digits,
                     line_parts& out) noexcept {
  // last_ns is the time of the text in time_text, the previous line's.
  const std::int64_t ns = state.start_ns + offset;
  const int written = digits + 3 > 9 ? 9 : digits + 3;
  if (!state.options.time_text && ns >= 0) {
    state.time_text[0] = '\0';  // no longer the text of last_ns
    set_log_time(out, std::string_view(), ns, written);
  } else {
    set_log_time(out,
                 {state.time_text, put_next_log_time(state.time_text, state.last_ns, ns, written)},
                 ns, written);
  }
  state.last_ns = ns;
}

bool read_offset(format_state& state, std::string_view line, std::string_view text,
                 line_parts& out) noexcept {
  std::int64_t offset = 0;
  int digits = 0;
  if (!fields::read_scaled_in(line, text, 6, offset, digits)) return false;
  put_offset_time(state, offset, digits, out);
  return true;
}

bool read_bus(format_state& state, std::string_view text, line_parts& out) noexcept {
  std::uint32_t bus = 0;
  if (!fields::read_number(text, 10, 0xFFFF, bus) || bus == 0) return false;
  fields::put_channel_name(state, bus, out);
  return true;
}

// A hex identifier, extended when written with more than four digits.
bool read_identifier(std::string_view text, std::uint32_t& can_id) noexcept {
  const bool extended = text.size() > 4;
  std::uint32_t id = 0;
  if (!fields::read_number(text, 16, extended ? can_eff_mask : can_sff_mask, id)) return false;
  can_id = extended ? id | can_eff_flag : id;
  return true;
}

line_verdict error_frame(std::string_view frame, std::string_view direction,
                         line_parts& out) noexcept {
  // A bus error; the line's error details have no place in the record.
  std::memset(&out.record, 0, sizeof out.record);
  out.record.can_id = can_err_flag | can_err_buserror;
  out.record.len = can_max_dlen;
  return fields::frame_parts(frame, direction, can_max_dlen, out);
}

std::string_view from(std::string_view text, std::string_view first, std::size_t end) noexcept {
  const std::size_t begin = static_cast<std::size_t>(first.data() - text.data());
  return fields::sub(text, begin, end - begin);
}

// Versions 1.0 to 1.3, after the message number.
line_verdict version1_line(format_state& state, std::string_view text, splitter& words,
                           line_parts& out) noexcept {
  if (!read_offset(state, text, words.next(), out)) return fields::bad("bad time offset", out);
  std::uint32_t version = state.version;
  if (version == 0) {
    const std::string_view third = words.peek();
    version = same_word(third, "Rx") || same_word(third, "Tx") || same_word(third, "Warng") ||
                      same_word(third, "Error")
                  ? 11
                  : 10;
  }
  if (version >= 12) {
    if (!read_bus(state, words.next(), out)) return fields::bad("bad bus", out);
  } else {
    fields::put_channel_name(state, 1, out);
  }
  std::string_view direction;
  if (version >= 11) {
    const std::string_view type = words.next();
    direction = fields::direction_of(type);
    if (same_word(type, "Error")) return error_frame(type, std::string_view(), out);
    if (direction.empty()) return line_verdict::skipped;  // warnings and other events
  }
  const std::string_view id = words.next();
  if (id == "FFFFFFFF") return line_verdict::skipped;  // bus information
  frame_record& record = out.record;
  if (!read_identifier(id, record.can_id)) return fields::bad("bad identifier", out);
  if (version >= 12 && words.peek() == "-") words.next();  // reserved
  std::uint32_t dlc = 0;
  if (!fields::read_number(words.next(), 10, 15, dlc)) return fields::bad("bad length", out);
  record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
  if (same_word(words.peek(), "RTR")) {
    words.next();
    record.can_id |= can_rtr_flag;
  } else if (!fields::read_data(words, 16, record.len, record.data)) {
    return fields::bad("fewer data bytes than the length", out);
  }
  return fields::frame_parts(from(text, id, words.at), direction, can_max_dlen, out);
}

// The message types of versions 2.0 and 2.1 that are frames.
struct message_type {
  const char* name;
  std::uint8_t fd_flags;  // BRS 1, ESI 2
  bool fd;
  bool remote;
  bool error;
};
constexpr message_type message_types[] = {
    {"DT", 0, false, false, false}, {"FD", 0, true, false, false}, {"FB", 1, true, false, false},
    {"FE", 2, true, false, false},  {"BI", 3, true, false, false}, {"RR", 0, false, true, false},
    {"ER", 0, false, false, true},
};

// The frame type that `word` names, or null.
const message_type* find_type(std::string_view word) noexcept {
  if (word.size() != 2) return nullptr;
  for (const message_type& t : message_types) {
    if (word[0] == t.name[0] && word[1] == t.name[1]) return &t;
  }
  return nullptr;
}

// The straight path of versions 2.0 and 2.1 for the columns N,O,T,B,I,d,R,L,D (version 2.0's
// and those cantext writes), fields parted by spaces:
//   <number> <offset> DT|FD|FB|FE|BI|RR <bus> <id> Rx|Tx|- <reserved> <dlc> <bytes>
// Reads the line as version2_line's general path would and gives its verdict, or returns false
// (with the record cleared again) for that path to read the line.
bool usual_version2_line(format_state& state, std::string_view text, line_parts& out,
                         line_verdict& verdict) noexcept {
  auto c = fields::usual_cursor::over(text, 0);
  if (c.peek() == ' ') c.spaces();
  c.any_field();
  c.spaces();
  std::int64_t offset = 0;
  int digits = 0;
  c.decimal_field(6, offset, digits);
  c.spaces();
  const message_type* const type =
      c.at + 2 <= c.n ? find_type({c.p + c.at, 2}) : static_cast<const message_type*>(nullptr);
  c.at += 2;
  if (!c.good || type == nullptr || type->error || !c.field_end()) return false;
  c.spaces();
  const std::uint32_t bus = c.number(10, 5);
  c.good &= c.field_end() && bus != 0 && bus <= 0xFFFF;
  c.spaces();
  const std::size_t id_begin = c.at;
  const std::uint32_t id = c.hex_number();
  const bool extended = c.at - id_begin > 4;
  c.good &= c.field_end() && id <= (extended ? can_eff_mask : can_sff_mask);
  c.spaces();
  std::string_view direction;
  if (c.peek() == '-') {
    ++c.at;
    c.good &= c.field_end();
  } else {
    direction = c.direction();
  }
  c.spaces();
  c.any_field();
  c.spaces();
  const std::uint32_t dlc = c.number(10, 2);
  if (!c.good || !c.field_end() || dlc > 15) return false;
  frame_record& record = out.record;
  const std::uint32_t length = type->fd ? dlc_to_len(dlc) : (dlc > 8 ? 8 : dlc);
  std::size_t frame_end = c.at;
  if (!type->remote) {
    splitter words{text, c.at};
    if (!fields::read_data(words, 16, static_cast<int>(length), record.data)) {
      std::memset(&record, 0, sizeof record);
      return false;
    }
    frame_end = words.at;
  }
  put_offset_time(state, offset, digits, out);
  fields::put_channel_name(state, bus, out);
  record.can_id = (extended ? id | can_eff_flag : id) | (type->remote ? can_rtr_flag : 0);
  record.len = static_cast<std::uint8_t>(length);
  record.flags = type->fd_flags;
  verdict = fields::frame_parts({c.p + id_begin, frame_end - id_begin}, direction,
                                type->fd ? canfd_max_dlen : can_max_dlen, out);
  return true;
}

// The fixed columns that cantext and python-can write for version 2.1, a straight path ahead of
// usual_version2_line for the lines that fill them exactly: the columns up to the DLC's first
// digit (trc_columns.hpp), the DLC left-aligned in 4 columns, then from column 48 the bytes
// apart by single spaces.

// The frame types of the straight path, by their two letters.
const message_type* fixed_type(char first, char second) noexcept {
  switch ((static_cast<unsigned>(static_cast<unsigned char>(first)) << 8) |
          static_cast<unsigned char>(second)) {
    case 'D' << 8 | 'T':
      return &message_types[0];
    case 'F' << 8 | 'D':
      return &message_types[1];
    case 'F' << 8 | 'B':
      return &message_types[2];
    case 'F' << 8 | 'E':
      return &message_types[3];
    case 'B' << 8 | 'I':
      return &message_types[4];
    case 'R' << 8 | 'R':
      return &message_types[5];
    case 'E' << 8 | 'R':
      return &message_types[6];
    default:
      return nullptr;  // events take the other paths
  }
}

// Reads a line of the fixed columns as the general path would, true for the frame it holds
// (every line it takes is one), or returns false with the record as it was for the other paths
// to read the line.
template <trc::kernels k>
[[gnu::always_inline]] inline bool fixed_version2_line(format_state& state, std::string_view text,
                                                       line_parts& out) noexcept {
  const char* const p = text.data();
  // Up to the DLC's first digit; the loads below stay in these bytes.  A final '\r' is white
  // space to the general path.
  if (text.size() < trc::fixed_columns_size) return false;
  const std::size_t n = text.size() - (text.back() == '\r');
  if (n < trc::fixed_columns_size) return false;
  trc::fixed_columns f;
  const message_type* const type = fixed_type(p[22], p[23]);
  if (!trc::read_fixed_columns<k>(p, f) || type == nullptr || f.bus == 0) return false;
  // The DLC, one digit or two, then the end of the line or a space.
  unsigned dlc = static_cast<unsigned>(p[43] - '0');
  std::size_t dlc_end = 44;
  if (n > 44 && p[44] != ' ') {
    const unsigned second = static_cast<unsigned>(static_cast<unsigned char>(p[44])) - '0';
    if (second > 9) return false;
    dlc = dlc * 10 + second;
    dlc_end = 45;
    if (dlc > 15 || (n > 45 && p[45] != ' ')) return false;
  }
  const std::int64_t offset = f.offset_ns;
  if (type->error) {
    // The general path reads neither the identifier nor the bytes after the DLC of an error.
    fields::put_channel_name(state, f.bus, out);
    error_frame({p + 22, 2}, {p + 37, 1}, out);
    put_offset_time(state, offset, static_cast<int>(f.fraction_digits), out);
    return true;
  }
  // An identifier written with more than four digits is extended.
  const bool extended = f.id_digits > 4;
  if (f.id_dash || f.id > (extended ? can_eff_mask : can_sff_mask)) return false;
  const std::uint32_t length = type->fd ? dlc_to_len(dlc) : (dlc > 8 ? 8 : dlc);
  frame_record& record = out.record;
  std::size_t frame_end = dlc_end;
  if (!type->remote && length != 0) {
    // The bytes from column 48, the DLC's column padded with spaces before them.
    frame_end = 48 + length * 3 - 1;
    const std::uint64_t pad = ~std::uint64_t{0} << 8 * (dlc_end - 40);  // columns to 47
    if (frame_end > n || (frame_end < n && p[frame_end] != ' ') ||
        ((detail::load_word(p + 40) ^ detail::every_byte(' ')) & pad) != 0 ||
        !trc::read_spaced_data<k>(p + 48, length, record.data)) {
      std::memset(&record, 0, sizeof record);
      return false;
    }
  }
  fields::put_channel_name(state, f.bus, out);
  record.can_id = (extended ? f.id | can_eff_flag : f.id) | (type->remote ? can_rtr_flag : 0);
  record.len = static_cast<std::uint8_t>(length);
  record.flags = type->fd_flags;
  const std::size_t id_begin = 36 - f.id_digits;
  fields::frame_parts({p + id_begin, frame_end - id_begin}, std::string_view(p + 37, 1),
                      type->fd ? canfd_max_dlen : can_max_dlen, out);
  // Last, with little else to keep across the call.
  put_offset_time(state, offset, static_cast<int>(f.fraction_digits), out);
  return true;
}

// Versions 2.0 and 2.1: the columns as the header orders them.
line_verdict version2_line(format_state& state, std::string_view text, line_parts& out) noexcept {
  line_verdict verdict = line_verdict::skipped;
  if ((state.settings & other_columns) == 0 && usual_version2_line(state, text, out, verdict)) {
    return verdict;
  }
  splitter words{text};
  const char* columns = state.columns[0] != '\0' ? state.columns : "NOTBIdRLD";
  const message_type* type = nullptr;
  std::string_view type_word;
  std::string_view id;
  bool has_bus = false;
  std::string_view direction;
  std::uint32_t dlc = 0;
  std::uint32_t length = 0;
  bool has_length = false;
  bool has_data = false;
  for (const char* column = columns; *column != '\0'; ++column) {
    if (*column == 'D') {
      has_data = true;
      break;  // the data are the rest of the line
    }
    const std::string_view word = words.next();
    if (word.empty()) return fields::bad("fewer columns than the header says", out);
    switch (*column) {
      case 'O':
        if (!read_offset(state, text, word, out)) return fields::bad("bad time offset", out);
        break;
      case 'T':
        type = find_type(word);
        if (type == nullptr) return line_verdict::skipped;  // status, counters, events
        type_word = word;
        break;
      case 'B':
        if (!read_bus(state, word, out)) return fields::bad("bad bus", out);
        has_bus = true;
        break;
      case 'I':
        id = word;
        break;
      case 'd':
        direction = fields::direction_of(word);
        if (direction.empty() && word != "-") return fields::bad("neither Rx nor Tx", out);
        break;
      case 'L':
        if (!fields::read_number(word, 10, 15, dlc)) return fields::bad("bad DLC", out);
        break;
      case 'l':
        if (!fields::read_number(word, 10, 64, length)) return fields::bad("bad length", out);
        has_length = true;
        break;
      default:
        break;  // the message number, reserved columns
    }
  }
  if (type == nullptr || id.empty()) return fields::bad("no type or identifier column", out);
  if (!has_bus) fields::put_channel_name(state, 1, out);
  if (type->error) return error_frame(type_word, direction, out);
  frame_record& record = out.record;
  if (!read_identifier(id, record.can_id)) return fields::bad("bad identifier", out);
  if (!has_length) length = type->fd ? dlc_to_len(dlc) : (dlc > 8 ? 8 : dlc);
  if (type->fd ? length > 64 : length > 8) return fields::bad("bad length", out);
  record.len = static_cast<std::uint8_t>(length);
  if (type->remote) {
    record.can_id |= can_rtr_flag;
  } else if (!has_data || !fields::read_data(words, 16, static_cast<int>(length), record.data)) {
    return fields::bad("fewer data bytes than the length", out);
  }
  record.flags = type->fd_flags;
  return fields::frame_parts(from(text, id, words.at), direction,
                             type->fd ? canfd_max_dlen : can_max_dlen, out);
}

// The lines the straight path leaves: headers, the other versions and columns, odd spacing.
// Out of line, so that its many values kept across calls do not give every line of the straight
// path a large frame to set up and the registers to save.
[[gnu::noinline]] line_verdict other_trc_line(format_state& state, std::string_view text,
                                              line_parts& out) noexcept {
  splitter words{text};
  const std::string_view first = words.next();
  if (first.empty()) return line_verdict::skipped;
  if (first[0] == ';') return header_line(state, text, out);
  return state.version >= 20 ? version2_line(state, text, out)
                             : version1_line(state, text, words, out);
}

template <trc::kernels k>
[[gnu::always_inline]] inline line_verdict parse_trc_line_as(format_state& state,
                                                             std::string_view text,
                                                             line_parts& out) noexcept {
  std::memset(&out.record, 0, sizeof out.record);
  if (trc::may_have_fixed_columns(state) && fixed_version2_line<k>(state, text, out)) {
    return line_verdict::frame;
  }
  return other_trc_line(state, text, out);
}

// The readers for each instruction set, each a function of its own, so that choosing one costs
// the line no registers to save.
[[gnu::noinline]] line_verdict parse_trc_line_portable(format_state& state, std::string_view text,
                                                       line_parts& out) noexcept {
  return parse_trc_line_as<trc::kernels::base>(state, text, out);
}

#if CANTEXT_X86_KERNELS
// Flattened: the shuffles' readers, compiled for SSSE3, cannot be made always inline into the
// template, and without this their inlining would hang on the compiler's size limits.
__attribute__((target("ssse3"), flatten)) line_verdict parse_trc_line_ssse3(
    format_state& state, std::string_view text, line_parts& out) noexcept {
  return parse_trc_line_as<trc::kernels::ssse3>(state, text, out);
}
#endif

line_verdict parse_trc_line(format_state& state, std::string_view text, line_parts& out) noexcept {
#if CANTEXT_X86_KERNELS
  if (detail::usable_instruction_sets.ssse3) return parse_trc_line_ssse3(state, text, out);
#endif
  return parse_trc_line_portable(state, text, out);
}

// A TRC file begins with its header, whose lines begin with ";".
bool recognise_trc(std::string_view head) noexcept {
  splitter words{head};
  const std::string_view first = words.next();
  return !first.empty() && first[0] == ';';
}

}  // namespace

// Reached through the table of line_formats.cpp.
extern const line_format trc_format;
const line_format trc_format{"trc", recognise_trc, parse_trc_line};

}  // namespace cantext::reader
