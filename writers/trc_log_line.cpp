// SPDX-License-Identifier: MIT
// TRC lines of the fixed columns straight to log lines (trc_log_line.hpp).  A line is taken only
// where the format's straight path for those columns (fixed_version2_line in
// reader/trc_format.cpp) takes it, its columns checked for what that path's readers allow there
// (the kinds of trc_columns_x86.hpp), and what is written is what the log writer writes of the
// frame that path reads: the time from the offset added to the start, "canN" from the bus, the
// identifier's and the data's hex digits moved from the TRC text in upper case, without the
// spaces.  The 64 columns from a line's start, which hold the fixed columns and the first five
// data bytes, are two vectors of 32 (AVX2), each column checked at once.
#include "trc_log_line.hpp"

#include <cstdint>
#include <cstring>

#include "instruction_sets.hpp"
#if CANTEXT_X86_KERNELS
#include <immintrin.h>
#endif

#include "byte_words.hpp"
#include "cantext/frame.hpp"
#include "cantext/length_codes.hpp"
#include "trc_columns.hpp"

namespace cantext::writers {

#if CANTEXT_X86_KERNELS
namespace {

using namespace reader::trc;

// What the type's two letters (columns 22 and 23) make of the frame; for CAN FD, the digit of
// its flags that the compact notation writes (BRS 1, ESI 2).
enum class frame_type : std::uint8_t { none, data, remote, fd, error };
struct type_letters {
  frame_type type;
  char flags;
};

type_letters read_type(char first, char second) noexcept {
  switch ((static_cast<unsigned>(static_cast<unsigned char>(first)) << 8) |
          static_cast<unsigned char>(second)) {
    case 'D' << 8 | 'T':
      return {frame_type::data, 0};
    case 'R' << 8 | 'R':
      return {frame_type::remote, 0};
    case 'F' << 8 | 'D':
      return {frame_type::fd, '0'};
    case 'F' << 8 | 'B':
      return {frame_type::fd, '1'};
    case 'F' << 8 | 'E':
      return {frame_type::fd, '2'};
    case 'B' << 8 | 'I':
      return {frame_type::fd, '3'};
    case 'E' << 8 | 'R':
      return {frame_type::error, 0};
    default:
      return {frame_type::none, 0};  // events: the reader's
  }
}

// "canN " for each bus of two columns, 1 to 99 (the log's channel N is bus N + 1), as one word
// to store: five characters, six from bus 11 on.
struct channel_names {
  char name[100][8];
};

constexpr channel_names make_channel_names() noexcept {
  channel_names t{};
  for (int bus = 1; bus < 100; ++bus) {
    char* const c = t.name[bus];
    c[0] = 'c';
    c[1] = 'a';
    c[2] = 'n';
    const int n = bus - 1;
    if (n < 10) {
      c[3] = static_cast<char>('0' + n);
      c[4] = ' ';
    } else {
      c[3] = static_cast<char>('0' + n / 10);
      c[4] = static_cast<char>('0' + n % 10);
      c[5] = ' ';
    }
  }
  return t;
}

constexpr channel_names channels = make_channel_names();

// Hex digits in upper case, as the log writes them: each lower-case letter (high half 6 once the
// kinds are checked) less 0x20.
__attribute__((target("ssse3"))) inline __m128i upper_case_ssse3(__m128i chars,
                                                                 __m128i high) noexcept {
  return _mm_sub_epi8(chars,
                      _mm_and_si128(_mm_cmpeq_epi8(high, _mm_set1_epi8(6)), _mm_set1_epi8(0x20)));
}

// The digits of `count` (1 to 64) data bytes written "AA BB ..." from p, at `out` as the log
// writes them, without the gaps: the 16 characters of each five pairs checked as
// read_spaced_data_ssse3 checks them and shuffled into ten digits, then the last one to five
// pairs from the 16 characters that end with them.  False unless each pair is two hex digits and
// each gap one space.  The count * 3 - 1 characters from p lie in the line, p - 14 too; up to 16
// bytes past the digits are written.
__attribute__((target("ssse3"))) inline bool put_spaced_digits_ssse3(const char* p, unsigned count,
                                                                     char* out) noexcept {
  using namespace kind;
  constexpr char sp = kind_byte(space);
  // The next pair's first digit at lane 15 is the next window's to check.
  const __m128i allowed = _mm_setr_epi8(hex, hex, sp, hex, hex, sp, hex, hex, sp, hex, hex, sp, hex,
                                        hex, sp, kind_byte(any));
  const __m128i pairs = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -1, -1, -1, -1, -1, -1);
  __m128i wrong = _mm_setzero_si128();
  unsigned i = 0;
  for (; i + 6 <= count; i += 5, p += 15, out += 10) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i high;
    wrong = _mm_or_si128(wrong, not_allowed_sse2(kinds_ssse3(chars, high), allowed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(upper_case_ssse3(chars, high), pairs));
  }
  const unsigned rest = count - i;
  __m128i high;
  const __m128i tail = spaced_tail_ssse3(p + rest * 3 - 1, rest, high, wrong);
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(out),
      _mm_shuffle_epi8(upper_case_ssse3(tail, high),
                       _mm_load_si128(reinterpret_cast<const __m128i*>(tails[rest - 1].shuffle))));
  return _mm_movemask_epi8(wrong) == 0;
}

// " R" or " T" from the direction's column and the line break, one store of four bytes: the
// fourth lands where the next line begins.
inline char* put_direction(char* out, char direction) noexcept {
  const std::uint32_t text =
      ' ' | static_cast<std::uint32_t>(static_cast<unsigned char>(direction)) << 8 |
      std::uint32_t{'\n'} << 16;
  std::memcpy(out, &text, 4);
  return out + 3;
}

// The identifier's columns 28 to 35 as a word, hex digits with spaces before them (as the
// columns' check leaves them), as hex digits in upper case, with leading zeros for the spaces.
// A letter has bit 6 set, a lower-case one bit 5 too, which is cleared; a space is the only
// character with neither bit 6 nor bit 4, which is set for it to make it '0'.
constexpr std::uint64_t identifier_digits(std::uint64_t columns) noexcept {
  const std::uint64_t letters = columns & detail::every_byte(0x40);
  return (columns & ~(letters >> 1)) | (~(columns | letters >> 2) & detail::every_byte(0x10));
}

// Where a line with no data bytes (a remote frame, a length of 0) ends, from `end`, the end of
// its DLC: there, or past spaces from there to column 47, as python-can pads an empty data
// column; 0 for a line that goes on otherwise, which the reader takes as it may (it reads
// nothing past the DLC).  The eight bytes from column 40 may be read.
inline std::size_t bare_end(const char* p, std::size_t end) noexcept {
  if (p[end] != ' ') return end;
  const std::uint64_t pad = ~std::uint64_t{0} << 8 * (end - 40);  // columns to 47
  return ((detail::load_word(p + 40) ^ detail::every_byte(' ')) & pad) == 0 ? 48 : 0;
}

// What each of the 64 columns from the line's start may hold (the kinds of
// trc_columns_x86.hpp), in two rows of 32: those of the 44 fixed columns as
// read_fixed_columns_ssse3 checks them, then those of the columns after them as the line's DLC
// and bytes say.  A column of `care` clear may hold anything, as one past the line's end.
struct column_row {
  alignas(32) char allowed[32];
  std::uint32_t care;
};

// Columns 0 to 31 of a line whose offset has its point at column `point` (13 to 17): what
// read_fixed_columns_ssse3 allows them with the point there, which leaves the right alignment
// of the fields to be checked apart.  No more than eight digits before the point.
constexpr column_row first_columns(unsigned point) noexcept {
  using namespace allowed;
  column_row row{{ds, ds, ds, ds, ds,  ds,  dec, sp, point == 17 ? sp : ds,
                  ds, ds, ds, ds, ds,  ds,  ds,  ds, ds,
                  ds, ds, ds, sp, all, all, sp,  ds, dec,
                  sp, hs, hs, hs, hs},
                 ~std::uint32_t{0}};
  row.allowed[point - 1] = dec;
  row.allowed[point] = kind::point;
  for (unsigned column = point + 1; column <= 20; ++column) row.allowed[column] = dec;
  return row;
}

struct first_rows {
  column_row row[5];  // by the point's column - 13
};

constexpr first_rows make_first_rows() noexcept {
  first_rows t{};
  for (unsigned point = 13; point <= 17; ++point) t.row[point - 13] = first_columns(point);
  return t;
}

constexpr first_rows first = make_first_rows();

// Columns 32 to 63 of a line whose DLC ends at `dlc_end` (44 or 45) and whose `pairs` (1 to 6)
// first data bytes lie in them or begin there, from column 48; with no bytes (`pairs` 0), those
// after the DLC are the line's end's business (bare_end).
constexpr column_row later_columns(unsigned dlc_end, unsigned pairs) noexcept {
  using namespace allowed;
  column_row row{{hs, hs, hs, hd, all, all, all, all, all, all, all, dec}, 0xFFF};
  if (pairs == 0) return row;
  auto set = [&row](unsigned column, char kinds) {
    row.allowed[column - 32] = kinds;
    row.care |= std::uint32_t{1} << (column - 32);
  };
  for (unsigned column = 44; column < 48; ++column) {
    set(column, column < dlc_end ? dec : sp);
  }
  for (unsigned i = 0; i < pairs && 48 + 3 * i < 64; ++i) {
    set(48 + 3 * i, kind::hex);
    if (49 + 3 * i < 64) set(49 + 3 * i, kind::hex);
    if (i + 1 < pairs && 50 + 3 * i < 64) set(50 + 3 * i, sp);
  }
  return row;
}

struct later_rows {
  column_row row[2][7];  // by dlc_end - 44 and the pairs up to 6
};

constexpr later_rows make_later_rows() noexcept {
  later_rows t{};
  for (unsigned end = 0; end < 2; ++end) {
    for (unsigned pairs = 0; pairs < 7; ++pairs) t.row[end][pairs] = later_columns(44 + end, pairs);
  }
  return t;
}

constexpr later_rows later = make_later_rows();

// The vectors of 32 bytes that the reading of a line uses, in memory: a load each, where the
// compiler would build them again from smaller ones for every line.
struct byte_vectors {
  alignas(32) std::int8_t high_kinds[32];  // the tables of kinds_ssse3, twice
  alignas(32) std::int8_t low_kinds[32];
  alignas(32) std::int8_t low_half[32];    // 0x0F
  alignas(32) std::int8_t lower_case[32];  // 6, the high half of a lower-case hex letter
  alignas(32) std::int8_t case_bit[32];    // 0x20
};

constexpr byte_vectors make_byte_vectors() noexcept {
  byte_vectors v{};
  for (int i = 0; i < 32; ++i) {
    v.high_kinds[i] = high_half_kinds[i % 16];
    v.low_kinds[i] = low_half_kinds[i % 16];
    v.low_half[i] = 0x0F;
    v.lower_case[i] = 6;
    v.case_bit[i] = 0x20;
  }
  return v;
}

constexpr byte_vectors vectors = make_byte_vectors();

// The vectors in registers for a run of lines.  Each is taken as loaded (the empty asm hides
// its value), where the compiler would build it again from an immediate for every line.
struct line_vectors {
  __m256i high_kinds, low_kinds, low_half, lower_case, case_bit;
};

__attribute__((target("avx2"))) inline __m256i load_vector(
    const std::int8_t (&bytes)[32]) noexcept {
  __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
  asm("" : "+x"(v));
  return v;
}

__attribute__((target("avx2"))) inline line_vectors load_line_vectors() noexcept {
  return {load_vector(vectors.high_kinds), load_vector(vectors.low_kinds),
          load_vector(vectors.low_half), load_vector(vectors.lower_case),
          load_vector(vectors.case_bit)};
}

// The kinds of 32 characters, as kinds_ssse3 gives them for 16.
__attribute__((target("avx2"))) inline __m256i kinds_avx2(__m256i chars, __m256i& high,
                                                          const line_vectors& v) noexcept {
  high = _mm256_and_si256(_mm256_srli_epi16(chars, 4), v.low_half);
  return _mm256_and_si256(_mm256_shuffle_epi8(v.high_kinds, high),
                          _mm256_shuffle_epi8(v.low_kinds, chars));
}

// The columns of `row` whose characters' `kinds` it does not allow, a bit each.
__attribute__((target("avx2"))) inline std::uint32_t wrong_columns(__m256i kinds,
                                                                   const column_row& row) noexcept {
  const __m256i allowed = _mm256_load_si256(reinterpret_cast<const __m256i*>(row.allowed));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(
             _mm256_cmpeq_epi8(_mm256_and_si256(kinds, allowed), _mm256_setzero_si256()))) &
         row.care;
}

// The offset in nanoseconds of a line whose point is at column `point`, as
// read_fixed_fields_ssse3 reads it: the digits of columns 5 to 20 shuffled into the milliseconds
// and the nanoseconds, each a number made by multiplies of neighbours.
__attribute__((target("ssse3"))) inline std::int64_t offset_ssse3(const char* p,
                                                                  unsigned point) noexcept {
  const __m128i digits = _mm_and_si128(
      _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 5)),
          _mm_load_si128(reinterpret_cast<const __m128i*>(offset_shuffles[point - 13]))),
      _mm_set1_epi8(0x0F));
  const __m128i twos = _mm_maddubs_epi16(digits, _mm_set1_epi16(1 << 8 | 10));
  const __m128i fours = _mm_madd_epi16(twos, _mm_set1_epi32(1 << 16 | 100));
  const auto both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(1 << 16 | 10000))));
  return static_cast<std::int64_t>((both & 0xFFFFFFFF) * 1000000 + (both >> 32));
}

// One line for put_trc_log_lines, of a reading whose columns may be the fixed ones: its length
// with its line break, or 0.  The checks of fixed_version2_line, in its order where the order
// tells, on a line that ends where its last field does (a line that the reader takes with more
// after that is left to it): the 64 columns from its start in two vectors of 32, which hold the
// fixed columns and the first five data bytes, each column checked for what it may hold at once.
__attribute__((target("avx2"), always_inline)) inline std::size_t put_trc_log_line(
    const reader::format_state& state, std::string_view text, char*& out, log_time_out& times,
    const line_vectors& v) noexcept {
  // The 44 columns, the DLC's second digit or what follows the first, and the line break.
  if (text.size() < fixed_columns_size + 2) return 0;
  const char* const p = text.data();
  const type_letters type = read_type(p[22], p[23]);
  if (type.type == frame_type::none) return 0;
  // The DLC, one digit or two (column 43 is checked with the others), then a space or the
  // line's end.
  unsigned dlc = static_cast<unsigned>(p[43] - '0');
  std::size_t dlc_end = 44;
  const unsigned second = static_cast<unsigned>(static_cast<unsigned char>(p[44])) - '0';
  if (second <= 9) {
    dlc = dlc * 10 + second;
    dlc_end = 45;
    if (dlc > 15) return 0;
  }
  const bool fd = type.type == frame_type::fd;
  const unsigned length = fd ? dlc_to_len(dlc) : (dlc > 8 ? 8 : dlc);
  // The reader reads no bytes of an error; its line is taken here when it ends with as many as
  // a classic frame of its DLC has, as cantext writes it.
  const bool has_data = type.type != frame_type::remote && length != 0;
  std::size_t end = has_data ? 48 + length * 3 - 1 : bare_end(p, dlc_end);
  // Then "\n" or "\r\n", within the text.
  if (end == 0 || end >= text.size()) return 0;
  end += p[end] == '\r';
  if (end >= text.size() || p[end] != '\n') return 0;
  // Every column up to the fifth data byte, and the spaces among them; the offset's point,
  // which only columns 13 to 17 may hold, tells what the columns before it may.
  const __m256i first_chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i later_chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  __m256i first_high;
  __m256i later_high;
  const __m256i first_kinds = kinds_avx2(first_chars, first_high, v);
  const __m256i later_kinds = kinds_avx2(later_chars, later_high, v);
  const auto points =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_slli_epi16(first_kinds, 5))) >> 13 &
      0x1F;
  if (points == 0) return 0;
  const auto point = 13 + static_cast<unsigned>(__builtin_ctz(points));
  const column_row& row = later.row[dlc_end - 44][has_data ? (length < 6 ? length : 6) : 0];
  if ((wrong_columns(first_kinds, first.row[point - 13]) | wrong_columns(later_kinds, row)) != 0) {
    return 0;
  }
  // Right-aligned fields: no space after a character of one.
  const std::uint64_t spaces =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(first_kinds)) |
      std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(later_kinds))} << 32;
  const std::uint64_t filled = ~spaces & right_aligned_fields;
  const std::uint64_t direction = detail::load_word(p + 36) & direction_columns;
  if (((filled << 1) & spaces & right_aligned_fields) != 0 ||
      (direction != received_columns && direction != sent_columns)) {
    return 0;
  }
  const unsigned bus =
      static_cast<unsigned>(p[25] & 0x0F) * 10 + static_cast<unsigned>(p[26] & 0x0F);
  if (bus == 0) return 0;
  // A time before the epoch is rare enough for the reader to write from its text.
  const std::int64_t ns = state.start_ns + offset_ssse3(p, point);
  if (ns < 0) return 0;
  // An identifier written with more than four digits is extended: its value is read from its
  // digits, as the compact notation writes it.  A standard one's fourth digit from the end is
  // 0 and the third at most 7, an extended one's first at most 1.
  const bool extended = (spaces >> 31 & 1) == 0;
  const std::uint64_t id = identifier_digits(detail::load_word(p + 28));
  const bool id_fits =
      extended ? (id & 0xFF) <= '1' : (id >> 32 & 0xFF) == '0' && (id >> 40 & 0xFF) <= '7';
  const bool error = type.type == frame_type::error;
  if (!error && (p[35] == '-' || !id_fits)) return 0;  // no identifier, or one too large
  // The log's digits of fraction, three more than the offset's, at most 9.
  static constexpr std::uint8_t digits_by_point[5] = {9, 9, 8, 7, 6};
  const int digits = digits_by_point[point - 13];
  char* o = times.put(out, ns, digits);
  std::memcpy(o, channels.name[bus], 8);
  o += bus > 10 ? 6 : 5;
  // Where the bytes' digits go: an error's are written over.
  char* const bytes = error ? o : o + (extended ? 9 : 4) + (fd ? 2 : 0);
  if (error) {
    // The reader's bus error, whatever the identifier and the bytes.
    o += 25;
  } else {
    // Eight digits, or three and "#", then "#" where it goes after eight.
    detail::store_word(o, extended ? id : id >> 40 | std::uint64_t{'#'} << 24);
    o[8] = '#';
    o += extended ? 9 : 4;
    if (type.type == frame_type::remote) {
      // The length requested, where it is one.
      o[0] = 'R';
      o[1] = static_cast<char>('0' + length);
      o += length != 0 ? 2 : 1;
    } else {
      if (fd) {
        o[0] = '#';
        o[1] = type.flags;
      }
      o = bytes + 2 * length;
    }
  }
  if (has_data) {
    // The first five bytes' digits from columns 48 to 63, checked with the others; then those of
    // the rest, checked as they are written.
    const __m128i pairs = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -1, -1, -1, -1, -1, -1);
    const __m256i upper = _mm256_sub_epi8(
        later_chars, _mm256_and_si256(_mm256_cmpeq_epi8(later_high, v.lower_case), v.case_bit));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes),
                     _mm_shuffle_epi8(_mm256_extracti128_si256(upper, 1), pairs));
    if (length > 5 && !put_spaced_digits_ssse3(p + 63, length - 5, bytes + 10)) return 0;
  }
  if (error) std::memcpy(bytes, "20000080#0000000000000000", 25);
  out = put_direction(o, p[37]);
  return end + 1;
}

}  // namespace

__attribute__((target("avx2"))) taken_lines put_trc_log_lines(const reader::format_state& state,
                                                              std::string_view text, char* out,
                                                              const char* out_limit,
                                                              log_time_out& times) noexcept {
  taken_lines taken{0, 0, out};
  if (!may_have_fixed_columns(state)) return taken;
  const line_vectors v = load_line_vectors();
  while (taken.out <= out_limit) {
    const std::size_t length = put_trc_log_line(
        state, {text.data() + taken.length, text.size() - taken.length}, taken.out, times, v);
    if (length == 0) break;
    taken.length += length;
    ++taken.lines;
  }
  return taken;
}

#else

taken_lines put_trc_log_lines(const reader::format_state&, std::string_view, char* out, const char*,
                              log_time_out&) noexcept {
  return {0, 0, out};
}

#endif

bool trc_log_lines_usable() noexcept {
#if CANTEXT_X86_KERNELS
  return detail::usable_instruction_sets.ssse3 && detail::usable_instruction_sets.avx2;
#else
  return false;
#endif
}

}  // namespace cantext::writers
