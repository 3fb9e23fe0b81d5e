// SPDX-License-Identifier: MIT
// The parser's straight path: the usual frame texts of a log, from a few words of the text.
//
// Nearly every text in a log is an identifier of either length and a short run of digit pairs,
// classic or CAN FD.  Those take one path with no branch between them: the identifier and the run
// are read as three words, all their digits are checked and decoded together, and masks rather
// than branches choose between the kinds, which follow each other at random in a log.
//
// Inline, for a caller whose texts lie inside a larger buffer and may be read with plain
// whole-word loads (the line reader); parse_frame_text reads the same words without
// passing the ends of its text.
#ifndef CANTEXT_SRC_FRAME_USUAL_FRAME_HPP
#define CANTEXT_SRC_FRAME_USUAL_FRAME_HPP

#include <cstddef>
#include <cstdint>

#include "byte_words.hpp"
#include "cantext/frame.hpp"
#include "frame/hex_word.hpp"
#include "hex_tables.hpp"

namespace cantext::detail {

// The words of a text of n characters the straight path reads: its first eight characters, the
// eight after them, and the sixteen before its end (two words).  Characters outside the text may
// be anything: each is either not needed or shifted out.
struct usual_words {
  std::uint64_t head;
  std::uint64_t from8;
  std::uint64_t middle;
  std::uint64_t last;
};

// Byte i of a word from load_word is character i; the i-th character of a word alone.
constexpr std::uint64_t char_at(std::uint64_t word, unsigned i) noexcept {
  return (word >> (8 * i)) & 0xFF;
}

// A standard identifier has three digits where an extended one has eight: the five missing
// digits move everything after the identifier five characters forward, and take 20 bits (five
// digits) off the number that eight digits from the text's start would make.  The parser picks
// these with a mask, `standard` (all ones for a standard identifier, 0 for an extended one):
// standard & missing_id_digits is 5 or 0, standard & missing_id_bits 20 or 0.
inline constexpr unsigned standard_id_digits = 3;
inline constexpr unsigned extended_id_digits = 8;
inline constexpr unsigned missing_id_digits = extended_id_digits - standard_id_digits;
inline constexpr unsigned missing_id_bits = 4 * missing_id_digits;
// The characters before the data of a classic frame with an extended identifier: its digits and
// "#".
inline constexpr std::size_t extended_head = extended_id_digits + 1;
// Clearing this bit of a letter makes it upper case: 'r' & 0xDF == 'R'.
inline constexpr std::uint64_t upper_case = 0xDF;

// A text of the usual forms: an identifier of three or eight digits, "#" or "##" and a flags
// digit, and at most sixteen data digits, which end the text.  Fills a cleared record as
// parse_frame_text does and returns what it returns; returns 0 for any other text and leaves the
// record as it was, still cleared for the general path that takes the text then.
//
// Example, "123##1AABB" (n = 10): character 3 is "#", so `standard` is all ones and the body is
// "##1AABB" from character 3 on; its second character is "#", so the frame is CAN FD with flags
// digit "1"; the data digits number 10 - 9 + 5 - 2 = 4 ("AABB"), the last four of the sixteen
// characters before the end.
// Always inline, as parse_usual_frame: the reader's loop depends on it.
[[gnu::always_inline]] inline int parse_usual_words(const usual_words& w, std::size_t n,
                                                    frame_record& record) noexcept {
  const std::uint64_t standard = 0 - std::uint64_t{char_at(w.head, standard_id_digits) == '#'};
  // The characters from the end of the identifier on.
  const std::uint64_t body =
      ((w.head >> (8 * standard_id_digits)) & standard) | (w.from8 & ~standard);
  // A CAN FD frame has its flags digit and data two characters later than a classic one.
  const std::size_t fd = char_at(body, 1) == '#';
  const unsigned flags = hex_value(static_cast<char>(body >> 16)) & (0 - unsigned{fd == 1});
  // The count of data digits; wraps where the text ends before its data.
  const std::size_t left =
      n - extended_head + static_cast<std::size_t>(standard & missing_id_digits) - 2 * fd;
  // A remote request, or a run that is long or odd, is declined before any digit is decoded.
  const bool remote = (char_at(body, 1) & upper_case) == 'R';
  if (remote | (left > 16) | (left % 2 != 0)) return 0;
  const unsigned run = static_cast<unsigned>(left);
  // All 24 characters are decoded; masks pick the ones that must be digits.  Bit i of `good` is
  // character i of head, middle, last: the identifier's are bits 0..7 (0..2 for a standard one:
  // 0xFF >> 5 == 0x07), the run's the last `run` of bits 8..23 (0xFFFF00 << (16 - run), cut to
  // 24 bits; for run 4, 0xF00000).
  std::uint32_t id_bytes;
  std::uint64_t run_bytes;
  const std::uint32_t good = digit_pairs(w.head, w.middle, w.last, id_bytes, run_bytes);
  constexpr std::uint32_t sixteen_before_end = 0xFFFF00U;
  const std::uint32_t needed = (0xFFU >> (standard & missing_id_digits)) |
                               (sixteen_before_end << (16 - run) & sixteen_before_end);
  if (((good & needed) != needed) | (char_at(body, 0) != '#') | (flags > 15)) return 0;
  // Eight characters read as a number: for "123#..." the digits 1, 2, 3 lead it, five
  // characters (20 bits) of whatever followed them trail it and are shifted out.
  const std::uint32_t id = __builtin_bswap32(id_bytes) >> (standard & missing_id_bits);
  const std::uint32_t extended_flag = (~id & CAN_ERR_FLAG) << 2;  // error frames have none
  record.can_id = id | (extended_flag & ~static_cast<std::uint32_t>(standard));
  record.len = static_cast<std::uint8_t>(run / 2);
  record.flags = static_cast<std::uint8_t>(flags);
  // The run's bytes are the last run / 2 of the eight: shifting by 8 bits for each of the
  // 8 - run / 2 before them is two shifts of 2 * (16 - run), as one of 64 for a run of none
  // would not be defined.  For run 4: two shifts of 24, the two bytes end up lowest.
  const unsigned before = 2 * (16 - run);
  store_word(record.data, run_bytes >> before >> before);
  return CAN_MTU + static_cast<int>(fd) * (CANFD_MTU - CAN_MTU);
}

// How far around a text parse_usual_frame reads: the 16 bytes before its end and the 16 from its
// start, whatever its length.
inline constexpr std::size_t usual_frame_reach = 16;

// parse_usual_words for a text inside a buffer that can be read usual_frame_reach bytes around it.
// Always inline: the reader's loop is fast for it, and whether the compiler inlines it otherwise
// depends on how many of the loop's copies a program has (GCC stopped in the cantext command
// once filtered readings had copies of their own).
[[gnu::always_inline]] inline int parse_usual_frame(const char* text, std::size_t n,
                                                    frame_record& record) noexcept {
  const usual_words w{load_word(text), load_word(text + 8), load_word(text + n - 16),
                      load_word(text + n - 8)};
  return parse_usual_words(w, n, record);
}

}  // namespace cantext::detail

#endif
