// SPDX-License-Identifier: MIT
// The compact-notation parser against a plain model of the notation, on any bytes.
#include <cstring>
#include <string_view>

#include "cantext/cantext.hpp"
#include "frame/parse_general.hpp"
#include "frame/usual_frame.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "model_text.hpp"

namespace cantext_fuzz {
namespace {

// The text as the notation reads it: past its end every character is the terminator.
char at(std::string_view text, std::size_t i) {
  return i < text.size() ? text[i] : '\0';
}

unsigned digit(std::string_view text, std::size_t i) {
  return digit_value(at(text, i));
}

}  // namespace

int model_parse(std::string_view text, cantext::frame_record& r) {
  std::memset(&r, 0, sizeof r);
  if (text.size() < 4) return 0;
  std::size_t p;
  std::size_t id_digits;
  if (text[3] == '#') {
    id_digits = 3;
  } else if (text.size() >= 9 && text[8] == '#') {
    id_digits = 8;
  } else {
    return 0;
  }
  for (std::size_t i = 0; i < id_digits; ++i) {
    if (digit(text, i) > 15) return 0;
    r.can_id = r.can_id * 16 + digit(text, i);
  }
  if (id_digits == 8 && !(r.can_id & cantext::CAN_ERR_FLAG)) r.can_id |= cantext::CAN_EFF_FLAG;
  p = id_digits + 1;

  int result = cantext::CAN_MTU;
  std::size_t max = 8;
  const char c = at(text, p);
  if (c == 'R' || c == 'r') {
    r.can_id |= cantext::CAN_RTR_FLAG;
    if (at(text, p + 1) != '\0' && digit(text, p + 1) <= 8) {
      r.len = static_cast<std::uint8_t>(digit(text, p + 1));
    }
    return cantext::CAN_MTU;
  }
  if (c == '#') {
    if (digit(text, p + 1) > 15) return 0;
    r.flags = static_cast<std::uint8_t>(digit(text, p + 1));
    p += 2;
    max = 64;
    result = cantext::CANFD_MTU;
  }
  std::size_t k = 0;
  for (;;) {
    if (at(text, p) == '.') ++p;
    if (p >= text.size()) break;
    if (digit(text, p) > 15 || digit(text, p + 1) > 15) return 0;
    r.data[k++] = static_cast<std::uint8_t>(digit(text, p) * 16 + digit(text, p + 1));
    p += 2;
    if (k == max) break;
  }
  r.len = static_cast<std::uint8_t>(k);
  return result;
}

}  // namespace cantext_fuzz

namespace cantext_fuzz::parse_frame {
namespace {

using cantext::frame_record;

bool is_remote_body(std::string_view text) {
  const std::size_t p = text[3] == '#' ? 4 : 9;
  return at(text, p) == 'R' || at(text, p) == 'r';
}

// A 3-digit identifier up to 7FF, or 8 digits whose first is 0 to 3, is written back whole.
bool identifier_in_range(std::string_view text, const frame_record& r) {
  if (text[3] == '#') return r.can_id <= cantext::CAN_SFF_MASK;
  return digit(text, 0) <= 3;
}

void check_record(std::string_view text, const frame_record& r, int result) {
  const bool fd = result == cantext::CANFD_MTU;
  FUZZ_CHECK(r.res0 == 0 && r.res1 == 0);
  FUZZ_CHECK(r.len <= (fd ? 64 : 8));
  FUZZ_CHECK(r.flags <= 15 && (fd || r.flags == 0));
  if (is_remote_body(text)) FUZZ_CHECK(r.len <= 8 && !fd);
  for (std::size_t i = is_remote_body(text) ? 0 : r.len; i < sizeof r.data; ++i) {
    FUZZ_CHECK(r.data[i] == 0);
  }
}

void check_round_trip(const frame_record& r, int result, bool sep) {
  guarded_buffer<cantext::COMPACT_FORM_BUF_SIZE> text;
  const int maxdlen =
      result == cantext::CANFD_MTU ? cantext::CANFD_MAX_DLEN : cantext::CAN_MAX_DLEN;
  cantext::format_frame_compact(text.data(), r, sep, maxdlen);
  FUZZ_CHECK(text.guard_intact());
  const std::size_t n = text.text_length();
  FUZZ_CHECK(n < cantext::COMPACT_FORM_BUF_SIZE);
  frame_record again;
  FUZZ_CHECK(cantext::parse_frame_text(std::string_view(text.data(), n), again) == result);
  FUZZ_CHECK(std::memcmp(&again, &r, sizeof r) == 0);
}

// The straight path for texts inside a buffer reads past both ends of the text: whatever lies
// there, it either declines the text or gives parse_frame_text's result.
void check_usual_frame(std::string_view text, int result, const frame_record& expected) {
  constexpr std::size_t reach = cantext::detail::usual_frame_reach;
  if (text.size() > 64) return;
  for (const char around : {'#', '0', 'R', '.'}) {
    char buffer[reach + 64 + reach];
    std::memset(buffer, around, sizeof buffer);
    std::memcpy(buffer + reach, text.data(), text.size());
    frame_record record{};
    const int usual = cantext::detail::parse_usual_frame(buffer + reach, text.size(), record);
    if (usual == 0) continue;
    FUZZ_CHECK(usual == result);
    FUZZ_CHECK(std::memcmp(&record, &expected, sizeof record) == 0);
  }
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  frame_record record;
  std::memset(&record, 0xA5, sizeof record);  // whatever the caller had there must not leak
  const int result = cantext::parse_frame_text(text, record);
  FUZZ_CHECK(result == 0 || result == cantext::CAN_MTU || result == cantext::CANFD_MTU);

  frame_record expected;
  FUZZ_CHECK(model_parse(text, expected) == result);
  check_usual_frame(text, result, expected);
  // The general path alone, which the filter calls for what the straight path declines.
  frame_record general{};
  FUZZ_CHECK(cantext::detail::parse_frame_general(text.data(), text.size(), general) == result);
  if (result != 0) FUZZ_CHECK(std::memcmp(&general, &expected, sizeof general) == 0);
  if (result == 0) return 0;
  FUZZ_CHECK(std::memcmp(&record, &expected, sizeof record) == 0);
  check_record(text, record, result);
  if (identifier_in_range(text, record)) {
    check_round_trip(record, result, false);
    check_round_trip(record, result, true);
  }
  return 0;
}

}  // namespace cantext_fuzz::parse_frame
