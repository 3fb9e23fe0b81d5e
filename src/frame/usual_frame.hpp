// SPDX-License-Identifier: MIT
// The parser's straight path: the usual frame texts of a log, from a few words of the text.
//
// Nearly every text in a log is an identifier of either length and a short run of digit pairs,
// classic or CAN FD.  Those take one path with no branch between them: the identifier and the run
// are read as three words, all their digits are checked and decoded together, and masks rather
// than branches choose between the kinds, which follow each other at random in a log.
//
// Inline, for a caller whose texts lie inside a larger buffer and may be read with plain
// whole-word loads (the filter's line loop); parse_frame_text reads the same words without
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

// A text of the usual forms: an identifier of three or eight digits, "#" or "##" and a flags
// digit, and at most sixteen data digits, which end the text.  Fills a cleared record as
// parse_frame_text does and returns what it returns; returns 0 for any other text and leaves the
// record as it was, still cleared for the general path that takes the text then.
inline int parse_usual_words(const usual_words& w, std::size_t n, frame_record& record) noexcept {
  const std::uint64_t standard = 0 - std::uint64_t{((w.head >> 24) & 0xFF) == '#'};
  // The characters from the end of the identifier on.
  const std::uint64_t body = ((w.head >> 24) & standard) | (w.from8 & ~standard);
  // A CAN FD frame has its flags digit and data two characters later than a classic one.
  const std::size_t fd = ((body >> 8) & 0xFF) == '#';
  const unsigned flags = hex_value(static_cast<char>(body >> 16)) & (0 - unsigned{fd == 1});
  // The count of data digits; wraps where the text ends before its data.
  const std::size_t left = n - 9 + static_cast<std::size_t>(standard & 5) - 2 * fd;
  // A remote request, or a run that is long or odd, is declined before any digit is decoded.
  const bool remote = ((body >> 8) & 0xDF) == 'R';
  if (remote | (left > 16) | (left % 2 != 0)) return 0;
  const unsigned run = static_cast<unsigned>(left);
  // All 24 characters are decoded; masks pick the ones that must be digits: the first three or
  // eight, and the last `run` of the sixteen.
  std::uint32_t id_bytes;
  std::uint64_t run_bytes;
  const std::uint32_t good = digit_pairs(w.head, w.middle, w.last, id_bytes, run_bytes);
  const std::uint32_t needed = (0xFFU >> (standard & 5)) | (0xFFFF00U << (16 - run) & 0xFFFF00U);
  if (((good & needed) != needed) | ((body & 0xFF) != '#') | (flags > 15)) return 0;
  const std::uint32_t id = __builtin_bswap32(id_bytes) >> (standard & 20);
  const std::uint32_t extended_flag = (~id & CAN_ERR_FLAG) << 2;  // error frames have none
  record.can_id = id | (extended_flag & ~static_cast<std::uint32_t>(standard));
  record.len = static_cast<std::uint8_t>(run / 2);
  record.flags = static_cast<std::uint8_t>(flags);
  // The run's bytes are the last of the eight; a run of none shifts them out in two steps.
  const unsigned before = 2 * (16 - run);
  store_word(record.data, run_bytes >> before >> before);
  return CAN_MTU + static_cast<int>(fd) * (CANFD_MTU - CAN_MTU);
}

// How far around a text parse_usual_frame reads: the 16 bytes before its end and the 16 from its
// start, whatever its length.
inline constexpr std::size_t usual_frame_reach = 16;

// parse_usual_words for a text inside a buffer that can be read usual_frame_reach bytes around it.
inline int parse_usual_frame(const char* text, std::size_t n, frame_record& record) noexcept {
  const usual_words w{load_word(text), load_word(text + 8), load_word(text + n - 16),
                      load_word(text + n - 8)};
  return parse_usual_words(w, n, record);
}

}  // namespace cantext::detail

#endif
