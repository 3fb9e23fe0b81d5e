// SPDX-License-Identifier: MIT
// The plan of a message's text: its constant pieces joined once, and for each signal how its
// value becomes digits, so that format_message does no more per frame than it must.
#include "text_plan.hpp"

#include <algorithm>
#include <cmath>

#include "short_decimal.hpp"
#include "signal_bits.hpp"

namespace cantext::dbc::detail {

static_assert(sizeof(text_step) == 32, "a message's steps, two to a cache line");

namespace {

// v as an integer count of 10^-k, when that decimal reads back as v and has at most 15 digits.
bool as_decimal(double v, double ten_to_k, std::int64_t& count) noexcept {
  const double scaled = v * ten_to_k;
  if (!(std::fabs(scaled) <= static_cast<double>(max_scaled))) return false;
  const double rounded = std::round(scaled);
  if (rounded / ten_to_k != v) return false;
  count = static_cast<std::int64_t>(rounded);
  return true;
}

std::uint64_t magnitude(std::int64_t v) noexcept {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// Integer signals whose factor and offset are written as integers print integers; those whose
// factor and offset are short decimals (0.1, -40.5) print the decimal that the raw value makes,
// when that is the value; the others the shortest text of the double.
void choose_how(const signal& s, text_step& step, text_numbers& numbers) noexcept {
  step.how = text_double;
  step.is_signed = s.kind == value_kind::signed_integer;
  if (!step.is_signed && s.kind != value_kind::unsigned_integer) return;
  if (s.integer_scaling) {
    step.how = text_integer;
    numbers.max_raw = ~std::uint64_t{0};
    numbers.integer_factor = static_cast<std::int64_t>(s.factor);
    numbers.integer_offset = static_cast<std::int64_t>(s.offset);
    return;
  }
  double ten_to_k = 1;
  for (int k = 0; k <= max_decimals; ++k, ten_to_k *= 10) {
    std::int64_t factor = 0;
    std::int64_t offset = 0;
    if (!as_decimal(s.factor, ten_to_k, factor) || !as_decimal(s.offset, ten_to_k, offset))
      continue;
    if (factor == 0) return;
    step.how = text_decimal;
    numbers.integer_factor = factor;
    numbers.integer_offset = offset;
    step.decimals = static_cast<std::uint8_t>(k);
    // |raw * factor + offset| <= max_scaled for every raw up to this.
    numbers.max_raw =
        (static_cast<std::uint64_t>(max_scaled) - magnitude(offset)) / magnitude(factor);
    return;
  }
}

// The texts of every raw value of a signal of few bits, made by the piecewise writer, when each
// fits a value_text.
void plan_table(const signal& s, text_plan& p, text_step& step) {
  if (s.length > max_table_bits ||
      (s.kind != value_kind::unsigned_integer && s.kind != value_kind::signed_integer))
    return;
  const std::size_t at = p.value_texts.size();
  const std::uint64_t count = std::uint64_t{1} << s.length;
  for (const unsigned options : {0U, unsigned{format_choices}}) {
    if (options != 0 && s.choices.empty()) break;
    for (std::uint64_t r = 0; r < count; ++r) {
      const std::uint64_t raw = widen(r, s.length, s.kind);
      value_text t{};
      const std::size_t n =
          format_value(t.text, sizeof t.text, s,
                       {raw, physical_of(raw, s.kind, s.factor, s.offset), true}, options);
      if (n >= sizeof t.text) {
        p.value_texts.resize(at);
        return;
      }
      t.size = static_cast<std::uint8_t>(n);
      p.value_texts.push_back(t);
    }
  }
  step.table_bits = static_cast<std::uint8_t>(s.length);
  step.table_choices = !s.choices.empty();
  step.table_at = static_cast<std::uint32_t>(at);
}

std::uint32_t offset_of(const std::string& text) noexcept {
  return static_cast<std::uint32_t>(text.size());
}

// The pieces between the values of a frame that has every signal, on one line, joined: fewer
// and longer copies than a signal's name, unit and separator each.
void plan_full_line(const message& m, text_plan& p) {
  if (m.signals.empty()) return;
  p.full_head_at = offset_of(p.text);
  p.text += m.name + "(" + m.signals[0].name + ": ";
  p.full_head_size = offset_of(p.text) - p.full_head_at;
  for (std::size_t i = 0; i < m.signals.size(); ++i) {
    text_step& step = p.steps[i];
    step.tail_at = offset_of(p.text);
    if (step.table_bits == 0) p.text.append(p.text, p.numbers[i].unit_at, step.unit_size);
    p.text += i + 1 < m.signals.size() ? ", " + m.signals[i + 1].name + ": " : ")";
    step.tail_size = offset_of(p.text) - step.tail_at;
    p.full_size = std::max(p.full_size, m.signals[i].plan.end);
  }
}

}  // namespace

text_plan plan_text(const message& m) {
  text_plan p;
  p.text = m.name + "(";
  p.head_size = offset_of(p.text);
  std::size_t room = p.text.size() + 2 + 1;  // "\n)" and the NUL
  for (const signal& s : m.signals) {
    // The steps keep sizes in 16 bits: a longer unit or more choices are written piece by piece.
    if (s.unit.size() >= 0xFFFF || s.choices.size() > 0xFFFF) return text_plan{};
    text_step step{};
    step.at = s.plan.at;
    step.shift = s.plan.shift;
    step.length = s.plan.length;
    step.end = s.plan.end;
    step.big_endian = s.plan.big_endian;
    step.ninth = s.plan.ninth;
    step.kind = s.kind;
    text_numbers numbers{};
    numbers.factor = s.factor;
    numbers.offset = s.offset;
    numbers.name_at = offset_of(p.text);
    p.text += s.name;
    p.text += ": ";
    numbers.name_size = offset_of(p.text) - numbers.name_at;
    numbers.unit_at = offset_of(p.text);
    if (!s.unit.empty()) {
      p.text += ' ';
      p.text += s.unit;
      step.unit_size = static_cast<std::uint16_t>(offset_of(p.text) - numbers.unit_at);
    }
    step.choices_at = static_cast<std::uint32_t>(p.choices.size());
    step.choice_count = static_cast<std::uint16_t>(s.choices.size());
    std::size_t value_room = short_decimal_room;
    for (const choice& c : s.choices) {
      p.choices.push_back({c.raw, offset_of(p.text), static_cast<std::uint32_t>(c.name.size())});
      p.text += c.name;
      value_room = std::max(value_room, c.name.size());
    }
    choose_how(s, step, numbers);
    plan_table(s, p, step);
    p.steps.push_back(step);
    p.numbers.push_back(numbers);
    room += 6 + numbers.name_size + value_room + step.unit_size;  // ",\n    " before the name
  }
  plan_full_line(m, p);
  p.multiplexed = !m.mux_order.empty();
  std::size_t reach = 0;
  for (const signal& s : m.signals) reach = std::max(reach, reach_of(s.plan));
  p.reach = static_cast<std::uint8_t>(std::min<std::size_t>(reach, 64));
  p.text.append(text_block, '\0');
  p.room = room + text_block;
  return p;
}

}  // namespace cantext::dbc::detail
