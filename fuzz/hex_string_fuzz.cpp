// SPDX-License-Identifier: MIT
// Hex-string decoding into fields of every size from -1 to 80, and the length-code
// conversions, against plain models.
#include <cstring>
#include <string_view>

#include "cantext/cantext.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "model_text.hpp"

namespace cantext_fuzz::hex_string {
namespace {

constexpr int largest_field = 80;
using field = guarded_buffer<largest_field>;

int model_hex_to_bytes(std::string_view text, std::uint8_t* out, int size) {
  const long long n = static_cast<long long>(text.size());
  if (n == 0 || n % 2 != 0 || n > 2LL * size) return 1;
  std::memset(out, 0, static_cast<std::size_t>(size));
  for (std::size_t i = 0; 2 * i < text.size(); ++i) {
    const unsigned hi = digit_value(text[2 * i]);
    if (hi > 15) return 1;
    out[i] = static_cast<std::uint8_t>(hi << 4);
    const unsigned lo = digit_value(text[2 * i + 1]);
    if (lo > 15) return 1;
    out[i] = static_cast<std::uint8_t>(out[i] | lo);
  }
  return 0;
}

std::uint8_t model_len_to_dlc(int n) {
  if (n < 0 || n > 64) return 15;
  std::uint8_t code = 0;
  while (cantext::dlc_to_len_table[code] < n) ++code;
  return code;
}

void check_length_codes(std::uint32_t word) {
  FUZZ_CHECK(cantext::dlc_to_len(word) == cantext::dlc_to_len_table[word & 0x0F]);
  const int n = static_cast<int>(word);
  FUZZ_CHECK(cantext::len_to_dlc(n) == model_len_to_dlc(n));
  const int small = static_cast<int>(word % 70);
  FUZZ_CHECK(cantext::len_to_dlc(small) == model_len_to_dlc(small));
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const int field_size = in.byte() % (largest_field + 2) - 1;
  check_length_codes(in.word());
  const std::string_view text = in.rest();

  field got;
  field expected;
  std::uint8_t* const out = reinterpret_cast<std::uint8_t*>(got.data());
  const int result = cantext::hex_to_bytes(text, out, field_size);
  FUZZ_CHECK(result == model_hex_to_bytes(text, reinterpret_cast<std::uint8_t*>(expected.data()),
                                          field_size));
  const std::size_t used = field_size < 0 ? 0 : static_cast<std::size_t>(field_size);
  FUZZ_CHECK(got.untouched_from(used));
  FUZZ_CHECK(std::memcmp(got.data(), expected.data(), used) == 0);
  return 0;
}

}  // namespace cantext_fuzz::hex_string
