// SPDX-License-Identifier: MIT
#include "time_views.hpp"

#include <cstring>

#include "civil_time.hpp"
#include "input_files.hpp"
#include "line_renders.hpp"
#include "log_time.hpp"

namespace cantext::tool {
namespace {

// Writes `value` in `width` decimal digits, zeros in front.
char* put_digits(char* out, std::int64_t value, int width) noexcept {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + width;
}

char* put_gap(char* out) noexcept {
  std::memcpy(out, "  ", 2);
  return out + 2;
}

}  // namespace

char* put_date(char* out, std::int64_t ns) noexcept {
  // A time before the epoch is in the second before it, with a fraction counted up from there.
  const std::int64_t seconds = reader::floor_div(ns, reader::ns_per_second);
  const std::int64_t micros = (ns - seconds * reader::ns_per_second) / 1000;
  const reader::civil_time t = reader::utc_civil(seconds);
  const int parts[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  static constexpr char after[] = "-- ::.";
  for (int i = 0; i < 6; ++i) {
    out = put_digits(out, parts[i], i == 0 ? 4 : 2);
    *out++ = after[i];
  }
  return put_digits(out, micros, 6);
}

char* timed_long_writer::put_time(char* out, const reader::line& l) noexcept {
  std::int64_t ns = 0;
  int digits = 0;
  const std::string_view field = l.fields[0];
  if (field.empty() || field.front() != '(' || !reader::parse_log_time(field, ns, digits)) {
    return put_field<2>(out, field);
  }
  if (view_ == time_view::date) return put_gap(put_date(out, ns));
  std::int64_t since = ns;  // the time the field counts from
  if (view_ == time_view::relative) {
    since = started_ ? first_ns_ : ns;
  } else if (view_ == time_view::delta) {
    since = started_ ? previous_ns_ : ns;
  } else if (view_ == time_view::delta_per_id) {
    const long channel = channels_.find(l.fields[1]);
    seen_time* last = channel < 0 ? nullptr : last_.find(row_key(channel, id_key(l.record.can_id)));
    if (last == nullptr) return nullptr;
    since = last->seen ? last->ns : ns;
    *last = {ns, true};
  }
  std::int64_t shown = 0;
  // Times far apart (near the ends of what 64 bits hold) have no difference in them.
  if (__builtin_sub_overflow(ns, since, &shown)) return put_field<2>(out, field);
  if (!started_) first_ns_ = ns;
  started_ = true;
  previous_ns_ = ns;
  return put_gap(out + reader::put_log_time(out, shown, digits));
}

bool timed_long_writer::line(const reader::line& l) noexcept {
  const bool explain = (long_view_ & VIEW_ERROR) != 0;
  if (explain && explainer_complains(l.record) && !block_.flush()) return false;
  char* out = put_time(block_.end(), l);
  if (out == nullptr) {
    out_of_memory_ = true;
    if (block_.flush()) say("out of memory for the table of identifiers");
    return false;
  }
  out = put_field<2>(out, l.fields[1]);
  out = format_frame_long(out, l.record, long_view_, l.max_data_length);
  *out++ = '\n';
  if (explain && (l.record.can_id & CAN_ERR_FLAG) != 0) out = put_error_lines(out - 1, l.record);
  return block_.commit(out);
}

}  // namespace cantext::tool
