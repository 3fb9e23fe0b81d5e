// SPDX-License-Identifier: MIT
// Signal definitions read from DBC files, and frames decoded into signal values with them: one
// frame at a time, or a whole log into one column per signal.
//
// Loading allocates (the database is made of vectors and strings) and reports a bad file as
// "FILE:LINE:COLUMN: what is wrong" instead of throwing; it yields either the whole database or
// none.  Everything after loading allocates nothing and throws nothing: each signal carries a
// plan of its bits, worked out once, so that decoding is a load, a shift and a mask.
#ifndef CANTEXT_DBC_HPP
#define CANTEXT_DBC_HPP

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <cantext/frame.hpp>

namespace cantext::dbc {

// How a signal's raw bits are read (SG_'s "+" / "-", SIG_VALTYPE_'s 1 / 2).
enum class value_kind : std::uint8_t { unsigned_integer, signed_integer, float32, float64 };

// A value description (VAL_, VAL_TABLE_): the name of one raw value.
struct choice {
  std::int64_t raw;
  std::string name;
};

struct value_table {
  std::string name;
  std::vector<choice> choices;  // sorted by raw value
};

// Raw values of a multiplexer, low..high inclusive, that select a multiplexed signal.
struct mux_range {
  std::int64_t low;
  std::int64_t high;
};

// Where a signal's bits are in the payload, worked out at load time.  Decoding loads the eight
// bytes from `at` as one word (little- or big-endian as the signal), shifts and masks it; a
// signal spread over nine bytes takes its last bits from byte at + 8.  `at` is at most 56, so a
// 64-byte payload is never read past its end.
struct bit_plan {
  std::uint64_t mask;  // the low `length` bits
  std::uint8_t at;
  std::uint8_t shift;  // little-endian: the least significant bit's place in the word; big-endian:
                       // the same, or with `ninth`, how many bits come from byte at + 8
  std::uint8_t length;
  std::uint8_t end;  // bytes the payload must have for the signal to be in it
  bool big_endian;
  bool ninth;
};

struct signal {
  std::string name;
  unsigned start_bit = 0;  // as written: the least significant bit (little-endian) or the most
                           // significant one (big-endian), in the file's numbering
  unsigned length = 1;     // 1..64
  bool big_endian = false;
  value_kind kind = value_kind::unsigned_integer;
  double factor = 1;
  double offset = 0;
  double minimum = 0;
  double maximum = 0;
  bool integer_scaling = true;  // factor and offset were written as integers: physical values
                                // of an integer signal are then integers too
  std::string unit;
  std::vector<std::string> receivers;
  std::string comment;
  std::vector<choice> choices;  // sorted by raw value
  bool is_multiplexer = false;  // M, or m<n>M
  int multiplexer = -1;         // the signal whose raw value selects this one; -1: always there
  std::vector<mux_range> selected_by;  // the multiplexer's values that select it
  bit_plan plan{};
};

// How decode_rows stores one signal into its column: a signal's plan, scaling and column type
// side by side, so that a row of a message reads one short array.  Built at load time.
struct column_step {
  bit_plan bits;
  double factor;
  double offset;
  std::int64_t integer_factor;
  std::int64_t integer_offset;
  int multiplexer;  // as signal::multiplexer
  value_kind kind;
  std::uint8_t action[2];  // with scaling, without (detail::store_action)
  // Where bits.end <= 8: the place of the signal's least significant bit in the payload's first
  // eight bytes read as one word (little- or big-endian as the signal), which a batch of frames
  // reads once for all such signals.
  std::uint8_t word_shift;
};

// How format_message writes one signal, worked out at load time (see text_plan): what it reads
// for every signal of a frame in 32 bytes, so that a message's steps take few of the processor's
// cache lines.
struct text_step {
  // The signal's bits, as its bit_plan has them (the mask follows from the length).
  std::uint8_t at;
  std::uint8_t shift;
  std::uint8_t length;
  std::uint8_t end;
  bool big_endian;
  bool ninth;
  value_kind kind;
  std::uint8_t how;  // detail::text_how
  std::uint8_t decimals;
  bool is_signed;  // raw values, and so raw * integer_factor + integer_offset, are signed
  // A signal of few bits has the text of each raw value (with its unit) made in advance:
  // text_plan::value_texts from table_at, one a raw value, then as many with choices when
  // table_choices.
  std::uint8_t table_bits;  // 0: no table
  bool table_choices;
  std::uint16_t unit_size;     // " unit" in text_plan::text, at text_numbers::unit_at
  std::uint16_t choice_count;  // the signal's choices in text_plan::choices, from choices_at
  std::uint32_t choices_at;
  std::uint32_t table_at;
  // For a frame with every signal, on one line: what follows the value up to the next value
  // (" unit, next: ", or " unit)" after the last) in text_plan::text; without the unit where the
  // table's text has it, and after a choice's name.
  std::uint32_t tail_at;
  std::uint32_t tail_size;
};

// The rest of a signal's plan: the numbers of a value written from them, and where its name and
// unit are on their own.
struct text_numbers {
  double factor;  // the physical value is raw * factor + offset
  double offset;
  // A value written from integers (detail::text_how): raw * integer_factor + integer_offset,
  // which is the value itself or, for a decimal, the value times 10^decimals; max_raw bounds the
  // raw values for which that stays within 15 digits.
  std::int64_t integer_factor;
  std::int64_t integer_offset;
  std::uint64_t max_raw;
  std::uint32_t name_at;  // "name: " in text_plan::text
  std::uint32_t name_size;
  std::uint32_t unit_at;
};

// The text of one raw value of a signal of few bits, as format_message writes it.
struct value_text {
  char text[15];
  std::uint8_t size;
};

// A value description as format_message writes it: its name in text_plan::text.
struct text_choice {
  std::int64_t raw;
  std::uint32_t at;
  std::uint32_t size;
};

// A message's text as format_message writes it, prepared at load time: the constant pieces in
// one string and one short step per signal, so that writing a frame reads a small block per
// message rather than every signal's record.
struct text_plan {
  std::vector<text_step> steps;       // one per signal
  std::vector<text_numbers> numbers;  // one per signal
  std::string text;  // "Name(", then each signal's "name: ", " unit" and choice names, and room
  std::vector<value_text> value_texts;
  std::vector<text_choice> choices;  // each signal's, sorted by raw value
  std::uint32_t head_size = 0;       // "Name("
  bool multiplexed = false;          // whether a signal's presence depends on another's value
  std::size_t room = 0;              // the most format_message writes for the message, with its NUL
  std::uint8_t reach = 64;           // how many bytes of a payload the signals' plans read
  // A frame of at least full_size bytes (and no multiplexing) has every signal, and its line
  // starts with "Name(first: ".
  std::uint8_t full_size = 0;
  std::uint32_t full_head_at = 0;
  std::uint32_t full_head_size = 0;
};

struct message {
  std::string name;
  std::uint32_t id = 0;  // without flag bits
  bool extended = false;
  bool fd = false;      // VFrameFormat says CAN FD, or longer than 8 bytes
  unsigned length = 0;  // bytes, 0..64
  int cycle_time = -1;  // GenMsgCycleTime in ms; -1 when the file gives none
  std::string transmitter;
  std::string comment;
  std::vector<signal> signals;  // in file order
  // Indexes into signals, each multiplexer before the signals it selects; empty when the
  // message has no multiplexing (every signal is then always there).
  std::vector<std::uint16_t> mux_order;
  std::vector<column_step> steps;  // one per signal
  std::uint16_t multiplexers = 0;  // how many signals are multiplexers
  text_plan text;

  // The identifier as frame_record::can_id has it (with can_eff_flag for an extended one).
  std::uint32_t can_id() const noexcept { return extended ? id | can_eff_flag : id; }
};

struct database {
  std::string version;
  std::vector<std::string> nodes;
  std::vector<value_table> value_tables;
  std::vector<message> messages;  // in file order
  // Lookup tables built at load time (see find_message).
  std::vector<std::uint64_t> id_slots;
  std::vector<std::uint32_t> name_order;
};

// The message of a frame: can_id as frame_record::can_id (remote requests and error frames have
// none); or by name.  nullptr when the database has none.
const message* find_message(const database& db, std::uint32_t can_id) noexcept;
const message* find_message_named(const database& db, std::string_view name) noexcept;

// ---- Loading ----

struct load_result {
  database db;        // empty unless ok()
  std::string error;  // "FILE:LINE:COLUMN: what is wrong"
  bool ok() const noexcept { return error.empty(); }
};

// A DBC file by path, or its text (named `file_name` in errors).  Sections that decoding does not
// use (EV_, SIG_GROUP_, BO_TX_BU_, unknown keywords...) are read past.
load_result load_file(const char* path) noexcept;
load_result load_text(std::string_view text, std::string_view file_name = "<text>") noexcept;

// ---- One frame ----

// A decoded signal.  raw holds the bits as an integer: unsigned values zero-extended, signed ones
// sign-extended (cast to int64_t for the value), float32 / float64 values as their IEEE bits.
struct signal_value {
  std::uint64_t raw;
  double physical;  // raw * factor + offset
  bool present;     // in the payload and, if multiplexed, selected
};

// The raw value as a number: the integer, or the float that the bits hold.
double raw_number(const signal& s, std::uint64_t raw) noexcept;
// The name of a raw value, or nullptr when it has none.
const char* choice_name(const signal& s, std::uint64_t raw) noexcept;

// Decodes every signal of `m` from the `size` bytes at `data`: values[i] for m.signals[i].  A
// signal beyond `size` bytes is not present.  Returns how many are present.
std::size_t decode(const message& m, const std::uint8_t* data, std::size_t size,
                   signal_value* values) noexcept;

// The raw value that encodes `physical`: (physical - offset) / factor rounded to the nearest
// integer and clamped to what the signal's bits hold; for a float signal its bits.
std::uint64_t raw_of_physical(const signal& s, double physical) noexcept;
// Whether `physical` encodes exactly: within the bits' range and, unless a float, an integer
// number of factors from the offset (to a relative 1e-9).
bool encodes_exactly(const signal& s, double physical) noexcept;

// Writes raw into the signal's bits of `data` (at least plan.end bytes), leaving the others.
void insert(const signal& s, std::uint64_t raw, std::uint8_t* data) noexcept;
// Clears the m.length bytes at data and writes the raw value of every present values[i].
void encode(const message& m, const signal_value* values, std::uint8_t* data) noexcept;

// What a command prints after a frame: "Name(signal: value unit, ...)" with the present
// signals, or with format_multi_line "Name(\n    signal: value unit,\n    ...\n)".  Integer
// values print as integers, others as the shortest text that reads back as the same double.
enum format_option : unsigned {
  format_choices = 1,  // a value's name where it has one, in place of the number
  format_multi_line = 2,
};
// Writes at most size - 1 characters and a NUL (when size > 0), as snprintf; returns the length
// of the whole text.  Given at least m.text.room bytes it writes without checking each piece,
// and may use all of them as working room.
std::size_t format_message(char* buf, std::size_t size, const message& m,
                           const signal_value* values, unsigned options) noexcept;
// decode and format_message together, for a program that prints every frame: the text of the
// `size` bytes at `data`, as those two give it, in one pass over the signals where it can (a
// message without multiplexing, and buf_size at least m.text.room).  values has room for
// m.signals.size() values, for the other cases.
std::size_t format_frame(char* buf, std::size_t buf_size, const message& m,
                         const std::uint8_t* data, std::size_t size, signal_value* values,
                         unsigned options) noexcept;

// ---- A whole log into columns ----

// A value of every row that the column decoders copy next to the row's signals (a time stamp,
// a channel number...): `size` bytes at base + row * stride.
struct row_field {
  const void* base;
  std::ptrdiff_t stride;
  std::size_t size;
};

// The frames of a log, wherever their fields are: element i of each at base + i * stride bytes.
// `data` must let 64 bytes be read at each frame (a frame_record's data does).
struct frame_columns {
  const std::uint32_t* can_id;
  std::ptrdiff_t can_id_stride;
  const std::uint8_t* len;
  std::ptrdiff_t len_stride;
  const std::uint8_t* data;
  std::ptrdiff_t data_stride;
  std::size_t count;
  const row_field* fields = nullptr;  // copied into message_columns::fields
  std::size_t field_count = 0;
};
frame_columns columns_of(const frame_record* frames, std::size_t count) noexcept;

// message_of_row value of a row that no message decodes: a frame the database does not know, a
// remote request or an error frame.
inline constexpr std::uint32_t no_message = 0xFFFFFFFFU;
// ... and of one shorter than its message.
inline constexpr std::uint32_t short_frame = 0xFFFFFFFEU;

// First pass: the message of every row (an index into db.messages, or one of the two above) and
// how many rows each message has (rows_per_message has db.messages.size() elements, added to).
// Returns the number of rows that have a message.
std::size_t match_rows(const database& db, const frame_columns& frames,
                       std::uint32_t* message_of_row, std::size_t* rows_per_message) noexcept;

// The element type of a signal's column.  Signals with choices give their raw codes; without
// scaling every signal gives its raw value; with it, integer signals whose factor and offset are
// integers give integers, others doubles.  A multiplexed signal's column is always float64,
// NaN where the signal is absent, and so are float signals.  An unsigned 64-bit integer that
// fits int64 only after scaling (or not at all) gives uint64.
enum class column_type : std::uint8_t { int64, uint64, float64 };
column_type column_type_of(const signal& s, bool scaling) noexcept;

// Where decode_rows writes one message's rows: signals[i] points to room for one element of
// column_type_of(m.signals[i], scaling) per row of the message (or is nullptr to skip it); rows,
// when not nullptr, receives the row number of each; fields, when not nullptr, has one pointer
// per frame_columns::fields, to room for one value of that field per row (or nullptr).
// `filled` counts the rows written so far.
struct message_columns {
  void* const* signals;
  std::uint64_t* rows;
  std::size_t filled;
  void* const* fields = nullptr;
};

// Second pass: decodes every row that match_rows gave a message into that message's columns
// (columns has db.messages.size() elements).
void decode_rows(const database& db, const frame_columns& frames,
                 const std::uint32_t* message_of_row, message_columns* columns,
                 bool scaling) noexcept;

// Second pass, one message at a time: decodes the `count` rows listed in `rows` (row numbers of
// `frames`, all of them frames of m) into out's columns from element out.filled on.  Writing
// each column straight through is what makes this the fast way: decode_rows jumps between the
// columns of every message.
void decode_message_rows(const message& m, const frame_columns& frames, const std::uint32_t* rows,
                         std::size_t count, message_columns& out, bool scaling) noexcept;

// Rows that decode_log groups by message at a time: few enough that their payloads stay in the
// processor's second-level cache while they are gathered.
inline constexpr std::size_t log_block_rows = 16384;

// The scratch that decode_log needs, in 32-bit words.
inline std::size_t log_scratch_words(const database& db) noexcept {
  return 4 * log_block_rows + 2 * db.messages.size();
}

// Second pass, the fast way, in one call: decodes every row of `frames` that has a message into
// that message's columns (as decode_rows, with the same results).  It goes through the log in
// blocks of log_block_rows rows, each grouped by message, so that every column is written
// straight through while the payloads it reads are still in the caches.  scratch has room for
// log_scratch_words(db) words.
void decode_log(const database& db, const frame_columns& frames, message_columns* columns,
                bool scaling, std::uint32_t* scratch) noexcept;

}  // namespace cantext::dbc

#endif
