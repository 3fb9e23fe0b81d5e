// SPDX-License-Identifier: MIT
// One frame: its signals decoded, and values encoded into a payload.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "signal_bits.hpp"

namespace cantext::dbc {

using detail::extract;
using detail::number_of;
using detail::widen;

double raw_number(const signal& s, std::uint64_t raw) noexcept {
  return number_of(raw, s.kind);
}

const char* choice_name(const signal& s, std::uint64_t raw) noexcept {
  const auto value = static_cast<std::int64_t>(raw);
  const auto found = std::lower_bound(s.choices.begin(), s.choices.end(), value,
                                      [](const choice& c, std::int64_t v) { return c.raw < v; });
  return found != s.choices.end() && found->raw == value ? found->name.c_str() : nullptr;
}

namespace {

bool selects(const signal& s, std::int64_t mux_value) noexcept {
  for (const mux_range& r : s.selected_by) {
    if (mux_value >= r.low && mux_value <= r.high) return true;
  }
  return false;
}

}  // namespace

std::size_t decode(const message& m, const std::uint8_t* data, std::size_t size,
                   signal_value* values) noexcept {
  alignas(8) std::uint8_t padded[64];
  data = detail::readable(data, size, padded);
  // The steps, one short record a signal side by side, rather than the signals' own records.
  std::size_t present = 0;
  const column_step* const steps = m.steps.data();
  for (std::size_t i = 0; i < m.steps.size(); ++i) {
    const column_step& s = steps[i];
    const std::uint64_t raw = detail::read_raw(s.bits, s.kind, data);
    const bool in_payload = s.bits.end <= size;
    values[i] = {raw, detail::physical_of(raw, s.kind, s.factor, s.offset), in_payload};
    present += in_payload;
  }
  // Multiplexers come before the signals they select, so each sees its multiplexer's presence.
  for (const std::uint16_t i : m.mux_order) {
    const signal& s = m.signals[i];
    if (s.multiplexer < 0 || !values[i].present) continue;
    const signal_value& mux = values[s.multiplexer];
    if (!mux.present || !selects(s, static_cast<std::int64_t>(mux.raw))) {
      values[i].present = false;
      --present;
    }
  }
  return present;
}

namespace {

// What the signal's bits hold, as doubles: [least, most].
void raw_range(const signal& s, double& least, double& most) noexcept {
  if (s.kind == value_kind::signed_integer) {
    most = std::ldexp(1.0, static_cast<int>(s.length) - 1) - 1;
    least = -most - 1;
  } else {
    least = 0;
    most = std::ldexp(1.0, static_cast<int>(s.length)) - 1;
  }
}

}  // namespace

std::uint64_t raw_of_physical(const signal& s, double physical) noexcept {
  const double x = (physical - s.offset) / s.factor;
  if (s.kind == value_kind::float32) {
    const float f = static_cast<float>(x);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
  }
  if (s.kind == value_kind::float64) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
  }
  if (std::isnan(x)) return 0;
  double least;
  double most;
  raw_range(s, least, most);
  const double r = std::round(x);
  // most + 1 is a power of two, exact as a double even where most is not.
  if (s.kind == value_kind::signed_integer) {
    if (r <= least) return static_cast<std::uint64_t>(static_cast<std::int64_t>(least));
    if (r >= most + 1) return (std::uint64_t{1} << (s.length - 1)) - 1;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(r));
  }
  if (r <= 0) return 0;
  if (r >= most + 1) return s.plan.mask;
  return static_cast<std::uint64_t>(r);
}

bool encodes_exactly(const signal& s, double physical) noexcept {
  const double x = (physical - s.offset) / s.factor;
  if (s.kind == value_kind::float64) return true;
  if (s.kind == value_kind::float32) return !(std::fabs(x) > FLT_MAX);
  double least;
  double most;
  raw_range(s, least, most);
  const double r = std::round(x);
  return r >= least && r < most + 1 && std::fabs(x - r) <= 1e-9 * std::max(1.0, std::fabs(x));
}

void insert(const signal& s, std::uint64_t raw, std::uint8_t* data) noexcept {
  // Bit by bit: encoding is rare next to decoding, and this way shares nothing with the word
  // reads that decode does, so that each checks the other.
  for (unsigned i = 0; i < s.length; ++i) {
    const unsigned place = detail::bit_place(s, i);
    const auto bit = static_cast<std::uint8_t>(1U << (place % 8));
    if ((raw >> i) & 1) {
      data[place / 8] = static_cast<std::uint8_t>(data[place / 8] | bit);
    } else {
      data[place / 8] = static_cast<std::uint8_t>(data[place / 8] & ~bit);
    }
  }
}

void encode(const message& m, const signal_value* values, std::uint8_t* data) noexcept {
  std::memset(data, 0, m.length);
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    if (values[i].present) insert(m.signals[i], values[i].raw, data);
  }
}

}  // namespace cantext::dbc
