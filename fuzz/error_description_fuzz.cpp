// SPDX-License-Identifier: MIT
// The error description, the bit-name lists and the long-form stream writer on any record,
// separator and room, against a model built on the library's public name tables.
#include <string>

#include "cantext/cantext.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "stream_capture.hpp"

namespace cantext_fuzz::error_description {
namespace {

using cantext::frame_record;

std::string bit_names(unsigned bits, const char* const names[], int count) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    if (!(bits & (1U << i))) continue;
    if (!list.empty()) list += ',';
    list += names[i];
  }
  return list;
}

std::string model_description(const frame_record& r, const char* sep) {
  if (!(r.can_id & cantext::CAN_ERR_FLAG)) return "";
  const std::uint32_t error_class = r.can_id & cantext::CAN_ERR_MASK;
  if (error_class > 0x200) return "";
  const std::string joint = sep ? sep : ",";
  std::string text;
  bool first = true;
  for (unsigned bit = 0; bit < 9; ++bit) {
    if (!(error_class & (1U << bit))) continue;
    if (!first) text += joint;
    first = false;
    text += cantext::error_class_names[bit];
    if (bit == 1) text += "{at bit " + std::to_string(r.data[0]) + "}";
    if (bit == 2) text += "{" + bit_names(r.data[1], cantext::controller_problem_names, 7) + "}";
    if (bit == 3) {
      text += "{{" + bit_names(r.data[2], cantext::violation_type_names, 8) + "}{";
      if (r.data[3] >= 1 && r.data[3] <= 31) text += cantext::violation_location_names[r.data[3]];
      text += "}}";
    }
  }
  if (r.data[6] || r.data[7]) {
    text += joint + "error-counter-tx-rx{{" + std::to_string(r.data[6]) + "}{" +
            std::to_string(r.data[7]) + "}}";
  }
  return text;
}

constexpr std::size_t largest_room = 1024;
using room = guarded_buffer<largest_room>;

// With `cap` bytes of room the text is the full text's prefix that fits, terminated, and no
// byte from buf[cap] on is touched; with no room at all nothing is.
void check_cut(const room& buf, std::size_t cap, const std::string& full) {
  if (cap == 0) {
    FUZZ_CHECK(buf.untouched_from(0));
    return;
  }
  FUZZ_CHECK(buf.untouched_from(cap));
  const std::size_t kept = full.size() < cap - 1 ? full.size() : cap - 1;
  FUZZ_CHECK(buf.text_length() == kept);
  FUZZ_CHECK(full.compare(0, kept, buf.data(), kept) == 0);
}

void check_description(const frame_record& r, const char* sep, std::size_t sep_length) {
  const std::string full = model_description(r, sep);
  const std::size_t whole = cantext::error_description_buf_size(sep_length);
  FUZZ_CHECK(full.size() < whole);
  if (sep_length <= 2) FUZZ_CHECK(full.size() < cantext::ERROR_DESCRIPTION_BUF_SIZE);
  static room buf;
  for (std::size_t cap = 0; cap <= whole && cap < largest_room; ++cap) {
    buf.reset(cap);
    cantext::format_error_description(buf.data(), cap, r, sep);
    check_cut(buf, cap, full);
  }
}

void check_bit_names(unsigned bits, int count) {
  const char* const* names = cantext::violation_location_names;
  const std::string full = bit_names(bits, names, count < 0 ? 0 : count);
  static room buf;
  FUZZ_CHECK(cantext::append_bit_names(nullptr, 0, bits, names, count) ==
             static_cast<int>(full.size()));
  for (std::size_t cap = 1; cap <= full.size() + 2; ++cap) {
    buf.reset(cap);
    const int length = cantext::append_bit_names(buf.data(), cap, bits, names, count);
    FUZZ_CHECK(length == static_cast<int>(full.size()));
    check_cut(buf, cap, full);
  }
}

void check_stream(const frame_record& r, unsigned view, int maxdlen, const char* eol) {
  char long_form[cantext::LONG_FORM_BUF_SIZE];
  cantext::format_frame_long(long_form, r, view, maxdlen);
  std::string expected = long_form;
  if ((view & cantext::VIEW_ERROR) && (r.can_id & cantext::CAN_ERR_FLAG)) {
    expected += "\n\t" + model_description(r, "\n\t");
  }
  if (eol != nullptr) expected += eol;
  stream_capture stream;
  cantext::write_frame_long(stream.file(), r, eol, view, maxdlen);
  FUZZ_CHECK(stream.text() == expected);
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const std::uint8_t options = in.byte();
  const std::uint8_t name_count = in.byte();
  const unsigned view = in.word();
  const int maxdlen = choose_maxdlen(in);
  frame_record record;
  in.fill(&record, sizeof record);
  // Mostly error frames with classes near the valid range, where the details are.
  if (options & 1) record.can_id |= cantext::CAN_ERR_FLAG;
  if (options & 2) record.can_id &= ~0x1FFFFC00U;

  // Any separator: none, the usual ones, or whatever text follows the record.
  const std::string own_sep(in.rest().substr(0, in.rest().find('\0')).substr(0, 40));
  const char* seps[] = {nullptr, ",", "\n\t", "", own_sep.c_str()};
  const char* const sep = seps[(options >> 2) % 5];
  check_description(record, sep, sep ? std::string(sep).size() : 1);

  check_bit_names(record.can_id, name_count % 36 - 3);
  check_stream(record, view, maxdlen, (options & 0x80) ? "\n" : nullptr);
  return 0;
}

}  // namespace cantext_fuzz::error_description
