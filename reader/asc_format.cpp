// SPDX-License-Identifier: MIT
// Vector ASC: a header (date, number base, whether times are absolute or relative to the line
// before), then lines that begin with a time in seconds since the start.  CAN frames are
//   <time> <channel> <id>[x] Rx|Tx d <dlc> <bytes> [Length = .. BitCount = .. ID = ..]
//   <time> <channel> <id>[x] Rx|Tx r [<dlc>]
//   <time> <channel> ErrorFrame ...
//   <time> CANFD <channel> Rx|Tx <id>[x] [<name>] <brs> <esi> <dlc> <length> <bytes> ...
// Every other line (events, statistics, other buses, comments) holds no frame and is skipped.
// Channel N is the log's "can{N-1}".
#include <cstring>

#include "civil_time.hpp"
#include "format_fields.hpp"
#include "instruction_sets.hpp"
#include "log_time.hpp"
#include "time_zone.hpp"

#if CANTEXT_X86_KERNELS
#include "asc_fields_x86.hpp"
#endif

namespace cantext::reader {
namespace {

using fields::same_word;
using fields::splitter;

// Bits of format_state::settings.
constexpr std::uint32_t decimal_base = 1;      // "base dec": identifiers and bytes in decimal
constexpr std::uint32_t relative_times = 2;    // each time counts from the line before
constexpr std::uint32_t start_from_block = 4;  // a Begin Triggerblock date has set the start
constexpr int start_digits_shift = 8;          // the start's fraction digits, in bits 8..11

// The CAN FD line's flags: the frame is CAN FD (else classic), and a classic remote request.
constexpr std::uint32_t edl_flag = 0x1000;
constexpr std::uint32_t remote_flag = 0x10;

constexpr std::uint32_t can_err_buserror = 0x80;

// Month names as the header writes them, English and German.
struct month_name {
  const char* name;
  int month;
};
constexpr month_name month_names[] = {
    {"Jan", 1}, {"Feb", 2}, {"Mar", 3},  {"Apr", 4},  {"May", 5},       {"Jun", 6},
    {"Jul", 7}, {"Aug", 8}, {"Sep", 9},  {"Oct", 10}, {"Nov", 11},      {"Dec", 12},
    {"Mrz", 3}, {"Mai", 5}, {"Okt", 10}, {"Dez", 12}, {"M\xc3\xa4r", 3}};

int month_of(std::string_view word) noexcept {
  for (const month_name& m : month_names) {
    if (same_word(word, m.name)) return m.month;
  }
  return 0;
}

bool read_int(std::string_view text, std::uint32_t max, int& value) noexcept {
  std::uint32_t v = 0;
  if (!fields::read_number(text, 10, max, v)) return false;
  value = static_cast<int>(v);
  return true;
}

// "[weekday] month day hh:mm:ss[.fraction] [am|pm] year", as the date and Begin Triggerblock
// lines give it: into nanoseconds since the epoch and the fraction's digits.
bool read_date(const format_state& state, splitter& words, std::int64_t& ns, int& digits) noexcept {
  std::string_view word = words.next();
  int month = month_of(word);
  if (month == 0) month = month_of(words.next());  // past the weekday
  int day = 0;
  if (month == 0 || !read_int(words.next(), 31, day) || day == 0) return false;
  const std::string_view clock = words.next();
  int hour = 0;
  int minute = 0;
  std::int64_t second_ns = 0;
  if (clock.size() < 8 || clock[2] != ':' || clock[5] != ':' ||
      !read_int(fields::sub(clock, 0, 2), 23, hour) ||
      !read_int(fields::sub(clock, 3, 2), 59, minute) ||
      !fields::read_scaled(fields::sub(clock, 6), 9, second_ns, digits) || second_ns < 0 ||
      second_ns >= 61 * ns_per_second) {
    return false;
  }
  word = words.next();
  const bool am = same_word(word, "am");
  const bool pm = same_word(word, "pm");
  if (am || pm) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (pm ? 12 : 0);
    word = words.next();
  }
  int year = 0;
  if (!read_int(word, 9999, year) || !words.next().empty()) return false;
  const int second = static_cast<int>(second_ns / ns_per_second);
  const std::int64_t seconds =
      state.options.zone != nullptr
          ? state.options.zone->to_epoch(year, month, day, hour, minute, second)
          : utc_seconds(year, month, day, hour, minute, second);
  ns = seconds * ns_per_second + second_ns % ns_per_second;
  return true;
}

void set_start(format_state& state, std::int64_t ns, int digits) noexcept {
  state.start_ns = state.last_ns = ns;
  state.time_text[0] = '\0';  // no longer the time of last_ns (put_next_log_time)
  state.settings = (state.settings & ~(std::uint32_t{15} << start_digits_shift)) |
                   static_cast<std::uint32_t>(digits > 9 ? 9 : digits) << start_digits_shift;
}

// A header or other line that holds no frame and does not begin with a time.
line_verdict header_line(format_state& state, std::string_view first, splitter& words,
                         line_parts& out) noexcept {
  if (same_word(first, "date")) {
    std::int64_t ns = 0;
    int digits = 0;
    if (!read_date(state, words, ns, digits)) return fields::bad("date not understood", out);
    if ((state.settings & start_from_block) == 0) set_start(state, ns, digits);
  } else if (same_word(first, "base")) {
    const std::string_view base = words.next();
    if (same_word(base, "dec")) {
      state.settings |= decimal_base;
    } else if (same_word(base, "hex")) {
      state.settings &= ~decimal_base;
    } else {
      return fields::bad("base is neither hex nor dec", out);
    }
    const std::string_view word = words.next();
    if (same_word(word, "timestamps")) {
      const std::string_view kind = words.next();
      if (same_word(kind, "relative")) {
        state.settings |= relative_times;
      } else if (same_word(kind, "absolute")) {
        state.settings &= ~relative_times;
      } else {
        return fields::bad("timestamps are neither absolute nor relative", out);
      }
    }
  } else if (same_word(first, "begin") && same_word(words.next(), "triggerblock")) {
    // The first block's date is the start where its times count from (for a writer that puts
    // the time it wrote the file in the date line); later blocks go on from the same start.
    std::int64_t ns = 0;
    int digits = 0;
    if (!words.peek().empty() && (state.settings & start_from_block) == 0) {
      if (!read_date(state, words, ns, digits)) return fields::bad("date not understood", out);
      set_start(state, ns, digits);
      state.settings |= start_from_block;
    }
  }
  // Comments, "// version", "[no] internal events logged", "End TriggerBlock" and lines of
  // no kind that this reading knows are skipped.
  return line_verdict::skipped;
}

// An identifier, "x" at the end for an extended one.
bool read_identifier(std::string_view text, unsigned base, std::uint32_t& can_id) noexcept {
  const bool extended = !text.empty() && (text.back() == 'x' || text.back() == 'X');
  if (extended) text.remove_suffix(1);
  std::uint32_t id = 0;
  if (!fields::read_number(text, base, extended ? can_eff_mask : can_sff_mask, id)) return false;
  can_id = extended ? id | can_eff_flag : id;
  return true;
}

// The frame's text: from its identifier to the end of the last word read.
std::string_view span(std::string_view text, std::string_view first, const splitter& words) {
  const std::size_t begin = static_cast<std::size_t>(first.data() - text.data());
  return fields::sub(text, begin, words.at - begin);
}

line_verdict error_frame(std::string_view text, std::string_view word, std::string_view direction,
                         line_parts& out) noexcept {
  // An error frame on the bus is a bus error; the line's further details have no place in the
  // record.
  out.record.can_id = can_err_flag | can_err_buserror;
  out.record.len = can_max_dlen;
  return fields::frame_parts(
      fields::sub(text, static_cast<std::size_t>(word.data() - text.data()), word.size()),
      direction, can_max_dlen, out);
}

line_verdict classic_line(format_state& state, std::string_view text, std::string_view id,
                          std::string_view direction, splitter& words, line_parts& out) noexcept {
  const unsigned base = state.settings & decimal_base ? 10 : 16;
  frame_record& record = out.record;
  if (!read_identifier(id, base, record.can_id)) return fields::bad("bad identifier", out);
  const std::string_view kind = words.next();
  std::uint32_t dlc = 0;
  if (same_word(kind, "r")) {
    // The requested length, where the line gives it, is a digit before the trailing fields.
    if (fields::read_number(words.peek(), base, 15, dlc)) words.next();
    record.can_id |= can_rtr_flag;
    record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
  } else if (same_word(kind, "d")) {
    if (!fields::read_number(words.next(), base, 15, dlc)) return fields::bad("bad length", out);
    record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
    if (!fields::read_data(words, base, record.len, record.data)) {
      return fields::bad("fewer data bytes than the length", out);
    }
  } else {
    return fields::bad("neither d nor r after the direction", out);
  }
  return fields::frame_parts(span(text, id, words), direction, can_max_dlen, out);
}

// A CAN FD line's frame, its identifier and data in the record: the flags tell a classic frame
// on a CAN FD channel from a CAN FD one.
line_verdict fd_frame(std::uint32_t brs, std::uint32_t esi, std::uint32_t dlc, std::uint32_t length,
                      std::uint32_t flags, std::string_view frame, std::string_view direction,
                      line_parts& out) noexcept {
  frame_record& record = out.record;
  if ((flags & edl_flag) == 0) {
    if (flags & remote_flag) {
      record.can_id |= can_rtr_flag;
      record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
      std::memset(record.data, 0, sizeof record.data);
    } else {
      if (length > 8) return fields::bad("a classic frame of more than 8 bytes", out);
      record.len = static_cast<std::uint8_t>(length);
    }
    return fields::frame_parts(frame, direction, can_max_dlen, out);
  }
  record.len = static_cast<std::uint8_t>(length);
  record.flags = static_cast<std::uint8_t>((brs ? 0x01 : 0) | (esi ? 0x02 : 0));
  return fields::frame_parts(frame, direction, canfd_max_dlen, out);
}

// The flags field of a CAN FD line after its frame (past the message duration and length):
// EDL when the line has none; false when it is no hex number.
bool fd_flags(splitter& words, std::uint32_t& flags) noexcept {
  words.next();
  words.next();
  flags = edl_flag;
  const std::string_view word = words.next();
  return word.empty() || fields::read_number(word, 16, 0xFFFFFFFF, flags);
}

line_verdict fd_line(format_state& state, std::string_view text, splitter& words,
                     line_parts& out) noexcept {
  std::uint32_t channel = 0;
  if (!fields::read_number(words.next(), 10, 0xFFFF, channel) || channel == 0) {
    return fields::bad("bad channel", out);
  }
  fields::put_channel_name(state, channel, out);
  const std::string_view direction = fields::direction_of(words.next());
  if (direction.empty()) return fields::bad("neither Rx nor Tx", out);
  const std::string_view id = words.next();
  if (same_word(id, "ErrorFrame")) return error_frame(text, id, direction, out);
  const unsigned base = state.settings & decimal_base ? 10 : 16;
  frame_record& record = out.record;
  if (!read_identifier(id, base, record.can_id)) return fields::bad("bad identifier", out);
  std::string_view word = words.next();
  std::uint32_t brs = 0;
  if (!fields::read_number(word, 10, 1, brs)) {
    // A symbolic name, when the next word is the bit rate switch.
    if (!fields::read_number(words.next(), 10, 1, brs)) return fields::bad("bad BRS", out);
  }
  std::uint32_t esi = 0;
  std::uint32_t dlc = 0;
  std::uint32_t length = 0;
  if (!fields::read_number(words.next(), 10, 1, esi)) return fields::bad("bad ESI", out);
  if (!fields::read_number(words.next(), base, 15, dlc)) return fields::bad("bad DLC", out);
  if (!fields::read_number(words.next(), 10, 64, length)) return fields::bad("bad length", out);
  if (!fields::read_data(words, base, static_cast<int>(length), record.data)) {
    return fields::bad("fewer data bytes than the length", out);
  }
  const std::size_t frame_end = words.at;
  std::uint32_t flags = 0;
  if (!fd_flags(words, flags)) return fields::bad("bad flags", out);
  const std::size_t begin = static_cast<std::size_t>(id.data() - text.data());
  return fd_frame(brs, esi, dlc, length, flags, fields::sub(text, begin, frame_end - begin),
                  direction, out);
}

// The straight path: the frame lines of the usual shape after their time, as cantext, python-can
// and Vector's loggers write them in hex, fields parted by spaces:
//   <channel> <id>[x] Rx|Tx d <dlc> <bytes> ...
//   <channel> <id>[x] Rx|Tx r [<dlc>] ...
//   CANFD <channel> Rx|Tx <id>[x] <brs> <esi> <dlc> <length> <bytes> <duration> <bits> <flags> ...
// Each reads its line as the general path would and gives its verdict, or returns false (with
// the record cleared again) for the general path to read the line.

// "<channel>", a number from 1 to 0xFFFF.
std::uint32_t usual_channel(fields::usual_cursor& c) noexcept {
  c.spaces();
  const std::uint32_t channel = c.number(10, 5);
  c.good &= c.field_end() && channel != 0 && channel <= 0xFFFF;
  return channel;
}

// "<id>[x]" into the record's identifier; returns where it begins.
std::size_t usual_id(fields::usual_cursor& c, frame_record& record) noexcept {
  c.spaces();
  const std::size_t begin = c.at;
  const std::uint32_t id = c.hex_number();
  const bool extended = c.peek() == 'x' || c.peek() == 'X';
  c.at += extended;
  c.good &= c.field_end() && id <= (extended ? can_eff_mask : can_sff_mask);
  record.can_id = extended ? id | can_eff_flag : id;
  return begin;
}

// The data bytes of a frame line from `at`, its usual form read in place and any other through
// read_data, as the general path reads them.
bool usual_data(std::string_view text, std::size_t& at, int count, std::uint8_t* data) noexcept {
  if (fields::read_hex_pairs(text.data(), text.size(), at, count, data)) return true;
  splitter words{text, at};
  if (!fields::read_data(words, 16, count, data)) return false;
  at = words.at;
  return true;
}

bool usual_classic(format_state& state, std::string_view text, fields::usual_cursor c,
                   line_parts& out, line_verdict& verdict) noexcept {
  const std::uint32_t channel = usual_channel(c);
  const std::size_t id_begin = usual_id(c, out.record);
  c.spaces();
  const std::string_view direction = c.direction();
  c.spaces();
  // "d" or "r" and the space after it, then a one-digit length: the words before the data.
  if (!c.good || c.at + 3 > c.n || c.p[c.at + 1] != ' ') return false;
  const char kind = c.p[c.at];
  c.at += 2;
  frame_record& record = out.record;
  if (kind == 'd') {
    const unsigned dlc = detail::hex_value(c.p[c.at]);
    ++c.at;
    if (dlc > 15 || !c.field_end()) return false;
    record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
    if (!usual_data(text, c.at, record.len, record.data)) return false;
  } else if (kind == 'r') {
    // A length digit where one follows; a field that begins with no hex digit is none.
    std::uint32_t dlc = 0;
    --c.at;
    fields::usual_cursor next = c;
    next.spaces();
    const char first = next.peek();
    const std::uint32_t digit = next.number(16, 1);
    if (next.good && next.field_end()) {
      dlc = digit;
      c.at = next.at;
    } else if (!fields::above_space(first) || detail::hex_value(first) < 16) {
      return false;
    }
    record.can_id |= can_rtr_flag;
    record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
  } else {
    return false;
  }
  fields::put_channel_name(state, channel, out);
  verdict = fields::frame_parts({c.p + id_begin, c.at - id_begin}, direction, can_max_dlen, out);
  return true;
}

// The data bytes of the writers' layouts, read_few_hex_pairs' and read_hex_pairs' results: with
// byte shuffles where `shuffles` says the processor has them, eight bytes at a time.
template <bool shuffles>
CANTEXT_STRAIGHT_STEP bool layout_few_pairs(const char* p, std::size_t n, std::size_t& at,
                                            int count, std::uint8_t* data) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) return fields::read_few_hex_pairs_ssse3(p, n, at, count, data);
#endif
  return fields::read_few_hex_pairs(p, n, at, count, data);
}

template <bool shuffles>
CANTEXT_STRAIGHT_STEP bool layout_pairs(const char* p, std::size_t n, std::size_t& at, int count,
                                        std::uint8_t* data) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) return fields::read_hex_pairs_ssse3(p, n, at, count, data);
#endif
  return fields::read_hex_pairs(p, n, at, count, data);
}

// The identifier that begins the eight characters of `word` (from load_word), "x" after it for
// an extended one, and the spaces after it to the word's end, as the writers pad it; `ninth` is
// the character after the word.  Its length is 0 for any other text.
struct padded_id {
  std::uint32_t can_id;
  unsigned length;  // with the "x"
};

CANTEXT_STRAIGHT_STEP padded_id layout_id(std::uint64_t word, char ninth) noexcept {
  std::uint64_t bad = 0;
  const std::uint64_t values = detail::hex_digit_values(word, bad);
  const unsigned digits = bad == 0 ? 8 : detail::lowest_set_bit(bad) / 8;
  if (digits == 0) return {0, 0};
  const char after = digits < 8 ? static_cast<char>(word >> (8 * digits)) : ninth;
  const bool extended = after == 'x' || after == 'X';
  const unsigned length = digits + extended;
  const std::uint32_t id = detail::digits_number(values << (8 * (8 - digits)));
  const std::uint64_t pad = length < 8 ? detail::high_bits << (8 * length) : 0;
  if ((detail::bytes_equal(word, ' ') & pad) != pad ||
      id > (extended ? can_eff_mask : can_sff_mask)) {
    return {0, 0};
  }
  return {extended ? id | can_eff_flag : id, length};
}

// layout_id of the identifier at `p` padded with spaces to `width` characters (8 or 16, which
// lie in the line), with byte shuffles where `shuffles` says the processor has them.
template <bool shuffles>
CANTEXT_STRAIGHT_STEP padded_id padded_id_at(const char* p, unsigned width) noexcept {
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) {
    padded_id id{0, 0};
    id.length = fields::padded_id_ssse3(p, width, id.can_id);
    return id;
  }
#endif
  const padded_id id = layout_id(detail::load_word(p), p[8]);
  if (width == 16) {
    // The second word's spaces, its first character the ninth of "12345678x".
    const std::uint64_t pad = id.length <= 8 ? detail::high_bits : detail::high_bits << 8;
    if ((detail::bytes_equal(detail::load_word(p + 8), ' ') & pad) != pad) return {0, 0};
  }
  return id;
}

// The classic frame line as cantext, python-can and Vector's loggers lay it out, from the end of
// its time at `at`: " <channel 1-9>  <id>[x]" with the identifier padded to 15 characters, then
// " Rx|Tx   d|r <dlc>" and the data bytes.  A word from the time's end and three from the
// identifier's start hold all but the data, so that a few tests on them read the line; any other
// line is left to usual_classic.
template <bool shuffles>
CANTEXT_STRAIGHT_STEP bool layout_classic(format_state& state, std::string_view text,
                                          std::size_t at, line_parts& out,
                                          line_verdict& verdict) noexcept {
  const char* const p = text.data();
  const std::size_t id_begin = at + 4;
  if (id_begin + 24 > text.size()) return false;
  // " <channel>  " before the identifier.
  const std::uint64_t head = detail::load_word(p + at);
  constexpr std::uint64_t head_mask = 0xFFFF00FF;
  const unsigned channel = static_cast<unsigned>(head >> 8 & 0xFF) - unsigned{'0'};
  const std::uint64_t tail = detail::load_word(p + id_begin + 16);
  // The identifier and the spaces after it to the direction.
  const padded_id id = padded_id_at<shuffles>(p + id_begin, 16);
  // "Rx   d " or "Tx   r " before the length digit.
  constexpr std::uint64_t tail_mask = 0x00FF00FFFFFFFF00ULL;
  if ((head & head_mask) != (detail::text_word(" ?      ") & head_mask) || channel - 1 > 8 ||
      id.length == 0 || (tail & tail_mask) != (detail::text_word("?x   ? ?") & tail_mask)) {
    return false;
  }
  const char direction = static_cast<char>(tail);
  const char kind = static_cast<char>(tail >> 40);
  const unsigned dlc = detail::hex_value(static_cast<char>(tail >> 56));
  std::size_t end = id_begin + 24;
  if ((direction != 'R' && direction != 'T') || dlc > 15 ||
      (end != text.size() && !fields::is_space(p[end]))) {
    return false;
  }
  frame_record& record = out.record;
  record.can_id = id.can_id;
  record.len = static_cast<std::uint8_t>(dlc > 8 ? 8 : dlc);
  if (kind == 'd') {
    if (!layout_few_pairs<shuffles>(p, text.size(), end, record.len, record.data) &&
        !usual_data(text, end, record.len, record.data)) {
      std::memset(&record, 0, sizeof record);
      return false;
    }
  } else if (kind == 'r') {
    record.can_id |= can_rtr_flag;
  } else {
    return false;
  }
  fields::put_channel_name(state, channel, out);
  verdict = fields::frame_parts({p + id_begin, end - id_begin}, direction == 'R' ? "R" : "T",
                                can_max_dlen, out);
  return true;
}

// The CAN FD line as the ASC writer lays it out, from the end of its time at `at`:
//   " CANFD   <channel 1-9> Rx|Tx   <id>[x]" with the identifier padded to 8 characters, then
//   " <brs> <esi> <dlc> <length>" with the length right-aligned in 2, the data bytes, and
//   "        0    0     <flags>" with four hex digits of flags before a space.
// Words at fixed places hold all but the data; any other line is left to usual_fd.
template <bool shuffles>
CANTEXT_STRAIGHT_STEP bool layout_fd(format_state& state, std::string_view text, std::size_t at,
                                     line_parts& out, line_verdict& verdict) noexcept {
  const char* const p = text.data();
  const std::size_t size = text.size();
  const std::size_t id_begin = at + 16;
  if (id_begin + 18 > size) return false;
  // " <channel> Rx   ", the channel right-aligned in 3 after " CANFD ".
  const std::uint64_t channel_word = detail::load_word(p + at + 8);
  constexpr std::uint64_t channel_mask = 0xFFFFFFFF00FF00FFULL;
  const unsigned channel = static_cast<unsigned>(channel_word >> 8 & 0xFF) - unsigned{'0'};
  const char direction = static_cast<char>(channel_word >> 24);
  const padded_id id = padded_id_at<shuffles>(p + id_begin, 8);
  if (detail::load_word(p + at) != detail::text_word(" CANFD  ") || channel - 1 > 8 ||
      (channel_word & channel_mask) != (detail::text_word(" ? ?x   ") & channel_mask) ||
      (direction != 'R' && direction != 'T') || id.length == 0) {
    return false;
  }
  // " <brs> <esi> <dlc> <length>", its last digit the ninth character.
  const std::size_t fields_begin = id_begin + (id.length > 8 ? 9 : 8);
  const std::uint64_t fields_word = detail::load_word(p + fields_begin);
  constexpr std::uint64_t fields_spaces = 0x00FF00FF00FF00FFULL;
  const unsigned brs = static_cast<unsigned>(fields_word >> 8 & 0xFF) - unsigned{'0'};
  const unsigned esi = static_cast<unsigned>(fields_word >> 24 & 0xFF) - unsigned{'0'};
  const unsigned dlc = detail::hex_value(static_cast<char>(fields_word >> 40));
  const char tens = static_cast<char>(fields_word >> 56);
  const unsigned units = static_cast<unsigned char>(p[fields_begin + 8]) - unsigned{'0'};
  const unsigned length =
      (tens == ' ' ? 0 : static_cast<unsigned char>(tens) - unsigned{'0'}) * 10 + units;
  if (((fields_word ^ detail::every_byte(' ')) & fields_spaces) != 0 || brs > 1 || esi > 1 ||
      dlc > 15 || units > 9 || length > 64 ||
      (tens != ' ' && static_cast<unsigned char>(tens) - unsigned{'0'} > 9)) {
    return false;
  }
  // The data bytes and the 24 characters after them: the message duration and length, the
  // flags and the space after them.
  std::size_t end = fields_begin + 9;
  frame_record& record = out.record;
  if (end + 3 * length + 24 > size ||
      !layout_pairs<shuffles>(p, size, end, static_cast<int>(length), record.data)) {
    std::memset(record.data, 0, sizeof record.data);
    return false;
  }
  // The flags' four digits by the table: fewer steps than a word's worth of digit tests.
  const std::uint64_t flag_word = detail::load_word(p + end + 15);
  const unsigned f0 = detail::hex_value(static_cast<char>(flag_word >> 32));
  const unsigned f1 = detail::hex_value(static_cast<char>(flag_word >> 40));
  const unsigned f2 = detail::hex_value(static_cast<char>(flag_word >> 48));
  const unsigned f3 = detail::hex_value(static_cast<char>(flag_word >> 56));
  if (detail::load_word(p + end) != detail::every_byte(' ') ||
      detail::load_word(p + end + 8) != detail::text_word("0    0  ") ||
      ((flag_word ^ detail::every_byte(' ')) & 0xFFFFFFFF) != 0 || (f0 | f1 | f2 | f3) > 15 ||
      !fields::is_space(p[end + 23])) {
    std::memset(record.data, 0, sizeof record.data);
    return false;
  }
  const std::uint32_t flags = f0 << 12 | f1 << 8 | f2 << 4 | f3;
  record.can_id = id.can_id;
  fields::put_channel_name(state, channel, out);
  verdict = fd_frame(brs, esi, dlc, length, flags, {p + id_begin, end - id_begin},
                     direction == 'R' ? "R" : "T", out);
  return true;
}

bool usual_fd(format_state& state, std::string_view text, fields::usual_cursor& c, line_parts& out,
              line_verdict& verdict) noexcept {
  const std::uint32_t channel = usual_channel(c);
  c.spaces();
  const std::string_view direction = c.direction();
  const std::size_t id_begin = usual_id(c, out.record);
  c.spaces();
  const std::uint32_t brs = c.number(10, 1);
  c.good &= c.field_end();
  c.spaces();
  const std::uint32_t esi = c.number(10, 1);
  c.good &= c.field_end();
  c.spaces();
  const std::uint32_t dlc = c.number(16, 1);
  c.good &= c.field_end();
  c.spaces();
  const std::uint32_t length = c.number(10, 2);
  if (!c.good || !c.field_end() || brs > 1 || esi > 1 || length > 64) return false;
  frame_record& record = out.record;
  if (!usual_data(text, c.at, static_cast<int>(length), record.data)) return false;
  const std::size_t frame_end = c.at;
  splitter words{text, frame_end};
  std::uint32_t flags = 0;
  if (!fd_flags(words, flags)) return false;
  fields::put_channel_name(state, channel, out);
  verdict = fd_frame(brs, esi, dlc, length, flags, {c.p + id_begin, frame_end - id_begin},
                     direction, out);
  return true;
}

// The straight path from the end of the time field at `at`.
bool usual_frame(format_state& state, std::string_view text, std::size_t at, line_parts& out,
                 line_verdict& verdict) noexcept {
  auto c = fields::usual_cursor::over(text, at);
  fields::usual_cursor fd = c;
  fd.spaces();
  bool taken;
  if (fd.at + 5 <= fd.n && std::memcmp(fd.p + fd.at, "CANFD", 5) == 0) {
    fd.at += 5;
    taken = fd.good && fd.field_end() && usual_fd(state, text, fd, out, verdict);
  } else {
    taken = usual_classic(state, text, c, out, verdict);
  }
  if (!taken) std::memset(&out.record, 0, sizeof out.record);
  return taken;
}

// The writers' column layouts from the end of the time at `at`: a classic line has a channel
// digit after the space, a CAN FD line "CANFD".
template <bool shuffles>
CANTEXT_STRAIGHT_STEP bool layout_frame(format_state& state, std::string_view text, std::size_t at,
                                        line_parts& out, line_verdict& verdict) noexcept {
  if (at + 2 > text.size()) return false;
  return text[at + 1] == 'C' ? layout_fd<shuffles>(state, text, at, out, verdict)
                             : layout_classic<shuffles>(state, text, at, out, verdict);
}

// The time at the start of a line that begins as the line before did, up to the point of its
// time (format_state::time_head), and has as many digits of fraction after it, then a space:
// what the readings of parse_asc_as give for it, in a few word operations.  `end` gets where the
// fraction ends.  The line has 16 bytes or more.
CANTEXT_STRAIGHT_STEP bool known_time_head(const format_state::kept_time_head& head, const char* p,
                                           std::int64_t& offset, int& digits,
                                           std::size_t& end) noexcept {
  const std::uint64_t fraction_word = detail::load_word(p + head.fraction_at);
  // The digits in the word's top bytes, zeros below them (as fields::digits_from has them).
  const std::uint64_t values = (fraction_word ^ detail::every_byte('0')) << head.fraction_shift;
  if (((detail::load_word(p) ^ head.text) & head.mask) != 0 ||
      (fraction_word & head.end_mask) != head.end_space || !fields::decimal_values(values)) {
    return false;
  }
  offset = head.whole_ns + std::int64_t{fields::eight_digit_value(values)} * head.fraction_scale;
  digits = static_cast<int>(head.digits);
  end = head.fraction_at + head.digits;
  return true;
}

// Keeps the start of a time read from the line's start for known_time_head, where it reads it:
// a point among the first eight bytes of a line of 16 or more, and 1 to 7 digits of fraction
// (which the readings all take alike).
void keep_time_head(format_state::kept_time_head& head, std::string_view text, std::int64_t offset,
                    int digits, std::size_t end) noexcept {
  const std::size_t point = end - static_cast<std::size_t>(digits) - 1;
  if (text.size() < 16 || digits < 1 || digits > 7 || point > 7) return;
  const auto count = static_cast<unsigned>(digits);
  head.text = detail::load_word(text.data());
  head.mask = point == 7 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * (point + 1))) - 1;
  head.end_mask = std::uint64_t{0xFF} << (8 * count);
  head.end_space = std::uint64_t{' '} << (8 * count);
  head.whole_ns = offset - offset % ns_per_second;
  head.fraction_at = static_cast<std::uint32_t>(point + 1);
  head.digits = count;
  head.fraction_shift = 8 * (8 - count);
  head.fraction_scale = static_cast<std::uint32_t>(fields::powers_of_ten[9 - digits]);
}

template <bool shuffles>
[[gnu::always_inline]] inline line_verdict parse_asc_as(format_state& state, std::string_view text,
                                                        line_parts& out) noexcept {
  std::memset(&out.record, 0, sizeof out.record);
  std::int64_t offset = 0;
  int digits = 0;
  // The usual time first (after spaces that fill the first word a second reading takes), else
  // any field.  Over the whole line: a final '\r' ends the time as the white space it is to the
  // general path.
  const fields::usual_cursor line{text.data(), text.size(), 0};
  auto time = line;
  const bool known =
      text.size() >= 16 && known_time_head(state.time_head, text.data(), offset, digits, time.at);
  bool read = known;
#if CANTEXT_X86_KERNELS
  if constexpr (shuffles) {
    // The usual time from one vector of the line's first 16 characters.
    if (!read && text.size() >= 16) {
      time.at = fields::line_time_ssse3(text.data(), offset, digits);
      read = time.at != 0;
    }
  }
#endif
  if (!read) time.decimal_field(9, offset, digits);
  if (!time.good && time.peek() == ' ') {
    time = line;
    time.spaces();
    time.decimal_field(9, offset, digits);
  }
  // Where the time ends: the words after it are split only where the straight paths leave the
  // line to the general one.
  std::size_t time_end = time.at;
  if (time.good) {
    if (!known) keep_time_head(state.time_head, text, offset, digits, time.at);
  } else {
    splitter words{text};
    const std::string_view first = words.next();
    if (first.empty()) return line_verdict::skipped;
    if (!fields::read_scaled_in(text, first, 9, offset, digits)) {
      return header_line(state, first, words, out);
    }
    time_end = words.at;
  }
  // The time of every timed line, events too: relative times count from the line before.
  const std::int64_t base_ns = state.settings & relative_times ? state.last_ns : state.start_ns;
  const std::int64_t ns = base_ns + offset;
  const int start_digits = static_cast<int>(state.settings >> start_digits_shift & 15);
  const int shown = digits > start_digits ? digits : start_digits;
  // The number goes with the text where the text has the digits set_log_time knows; else the
  // consumers read the text.
  if (shown >= 1 && shown <= 9 && !state.options.time_text && ns >= 0) {
    state.time_text[0] = '\0';  // no longer the text of last_ns
    set_log_time(out, std::string_view(), ns, shown);
  } else {
    const std::string_view time_text{state.time_text,
                                     put_next_log_time(state.time_text, state.last_ns, ns, shown)};
    if (shown >= 1 && shown <= 9) {
      set_log_time(out, time_text, ns, shown);
    } else {
      out.fields[0] = time_text;
    }
  }
  state.last_ns = ns;

  line_verdict verdict = line_verdict::skipped;
  if ((state.settings & decimal_base) == 0 &&
      (layout_frame<shuffles>(state, text, time_end, out, verdict) ||
       usual_frame(state, text, time_end, out, verdict))) {
    return verdict;
  }
  splitter words{text, time_end};
  const std::string_view second = words.next();
  if (second == "CANFD") return fd_line(state, text, words, out);
  std::uint32_t channel = 0;
  if (!fields::read_number(second, 10, 0xFFFF, channel)) return line_verdict::skipped;
  const std::string_view third = words.next();
  if (same_word(third, "ErrorFrame")) {
    if (channel == 0) return fields::bad("bad channel", out);
    fields::put_channel_name(state, channel, out);
    return error_frame(text, third, std::string_view(), out);
  }
  // A frame has its direction next; statistics, J1939 transport and other events do not.
  const std::string_view direction = fields::direction_of(words.next());
  if (direction.empty()) return line_verdict::skipped;
  if (channel == 0) return fields::bad("bad channel", out);
  fields::put_channel_name(state, channel, out);
  return classic_line(state, text, third, direction, words, out);
}

// The reading every processor runs, and on x86-64 the one with byte shuffles where the processor
// has them (instruction_sets.hpp), chosen once a line.
line_verdict parse_asc_portable(format_state& state, std::string_view text,
                                line_parts& out) noexcept {
  return parse_asc_as<false>(state, text, out);
}

#if CANTEXT_X86_KERNELS
// The steps with shuffles may be inlined only into a function built for SSSE3, which the template
// steps between are not: flatten inlines them here all the same, through those steps.
__attribute__((target("ssse3"), flatten)) line_verdict parse_asc_ssse3(format_state& state,
                                                                       std::string_view text,
                                                                       line_parts& out) noexcept {
  return parse_asc_as<true>(state, text, out);
}
#endif

line_verdict parse_asc_line(format_state& state, std::string_view text, line_parts& out) noexcept {
#if CANTEXT_X86_KERNELS
  if (detail::usable_instruction_sets.ssse3) return parse_asc_ssse3(state, text, out);
#endif
  return parse_asc_portable(state, text, out);
}

// An ASC file begins with its header: the first line that is not blank is one of its lines.
bool recognise_asc(std::string_view head) noexcept {
  splitter words{head};
  const std::string_view first = words.next();
  if (first.empty()) return false;
  const std::string_view rest =
      fields::sub(head, static_cast<std::size_t>(first.data() - head.data()));
  return same_word(first, "date") || same_word(first, "base") || fields::sub(first, 0, 2) == "//" ||
         fields::starts_with_word(rest, "begin triggerblock") ||
         fields::starts_with_word(rest, "internal events logged") ||
         fields::starts_with_word(rest, "no internal events logged");
}

}  // namespace

// Reached through the table of line_formats.cpp.
extern const line_format asc_format;
const line_format asc_format{"asc", recognise_asc, parse_asc_line};

}  // namespace cantext::reader
