// SPDX-License-Identifier: MIT
// The C interface: each function checks its pointers, then calls its C++ routine.  Records
// cross by memcpy, so that a caller's record of any type with this layout (struct canfd_frame
// too) is only read and written as bytes, never through a type it does not have.

// The checks of null arguments stay: the header's nonnull attributes are for callers only.
#define CANTEXT_CHECKS_NULL_ARGUMENTS
#include "cantext/cantext.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "cantext/cantext.hpp"

namespace {

using cantext::frame_record;

static_assert(sizeof(cantext_frame) == sizeof(frame_record));
static_assert(alignof(cantext_frame) == alignof(frame_record));
static_assert(offsetof(cantext_frame, len) == offsetof(frame_record, len));
static_assert(offsetof(cantext_frame, flags) == offsetof(frame_record, flags));
static_assert(offsetof(cantext_frame, res0) == offsetof(frame_record, res0));
static_assert(offsetof(cantext_frame, res1) == offsetof(frame_record, res1));
static_assert(offsetof(cantext_frame, data) == offsetof(frame_record, data));
static_assert(sizeof(cantext_frame::data) == sizeof(frame_record::data));

static_assert(CANTEXT_CAN_EFF_FLAG == cantext::can_eff_flag);
static_assert(CANTEXT_CAN_RTR_FLAG == cantext::can_rtr_flag);
static_assert(CANTEXT_CAN_ERR_FLAG == cantext::can_err_flag);
static_assert(CANTEXT_CAN_SFF_MASK == cantext::can_sff_mask);
static_assert(CANTEXT_CAN_EFF_MASK == cantext::can_eff_mask);
static_assert(CANTEXT_CAN_ERR_MASK == cantext::can_err_mask);
static_assert(CANTEXT_CAN_MTU == cantext::can_mtu && CANTEXT_CANFD_MTU == cantext::canfd_mtu);
static_assert(CANTEXT_CAN_MAX_DLEN == cantext::can_max_dlen);
static_assert(CANTEXT_CANFD_MAX_DLEN == cantext::canfd_max_dlen);
static_assert(CANTEXT_NOT_A_FRAME == cantext::not_a_frame);
static_assert(CANTEXT_CLASSIC_FRAME == cantext::classic_frame);
static_assert(CANTEXT_FD_FRAME == cantext::fd_frame);
static_assert(CANTEXT_CANFD_BRS == cantext::canfd_brs && CANTEXT_CANFD_ESI == cantext::canfd_esi);
static_assert(CANTEXT_CANFD_FDF == cantext::canfd_fdf);
static_assert(CANTEXT_VIEW_ASCII == cantext::VIEW_ASCII &&
              CANTEXT_VIEW_BINARY == cantext::VIEW_BINARY);
static_assert(CANTEXT_VIEW_SWAP == cantext::VIEW_SWAP && CANTEXT_VIEW_ERROR == cantext::VIEW_ERROR);
static_assert(CANTEXT_VIEW_ALIGN_SFF == cantext::VIEW_ALIGN_SFF);
static_assert(CANTEXT_LONG_FORM_BUF_SIZE == cantext::LONG_FORM_BUF_SIZE);
static_assert(CANTEXT_LONG_FORM_CLASSIC_BUF_SIZE == cantext::LONG_FORM_CLASSIC_BUF_SIZE);
static_assert(CANTEXT_ERROR_DESCRIPTION_BUF_SIZE == cantext::ERROR_DESCRIPTION_BUF_SIZE);
static_assert(CANTEXT_COMPACT_FORM_BUF_SIZE == cantext::COMPACT_FORM_BUF_SIZE);

frame_record record_of(const cantext_frame* frame) noexcept {
  frame_record record;
  std::memcpy(&record, frame, sizeof record);
  return record;
}

// A renderer's text into size bytes at buf, as snprintf puts it there; its length.  The
// renderers use their whole least buffer as working room, where a C caller expects no byte
// after the terminator to change: they render into a buffer of their own.
template <typename Render>
int bounded(char* buf, std::size_t size, Render render) noexcept {
  char text[cantext::LONG_FORM_BUF_SIZE];
  static_assert(sizeof text >= cantext::COMPACT_FORM_BUF_SIZE);
  const std::size_t length = static_cast<std::size_t>(render(text) - text);
  if (size > 0) {
    const std::size_t kept = length < size ? length : size - 1;
    std::memcpy(buf, text, kept);
    buf[kept] = '\0';
  }
  return static_cast<int>(length);
}

int stream_status(std::FILE* stream) noexcept {
  return std::ferror(stream) != 0 ? -1 : 0;
}

}  // namespace

extern "C" {

unsigned cantext_hex_nibble(char c) {
  return cantext::hex_nibble(c);
}

int cantext_parse_frame_text(const char* text, cantext_frame* record) {
  if (text == nullptr || record == nullptr) return CANTEXT_NOT_A_FRAME;
  frame_record parsed;
  const int kind = cantext::parse_frame_text(text, parsed);
  std::memcpy(record, &parsed, sizeof parsed);
  return kind;
}

int cantext_max_dlen(int kind) {
  return cantext::max_dlen(static_cast<cantext::frame_kind>(kind));
}

int cantext_format_frame_long(char* buf, size_t size, const cantext_frame* record, unsigned view,
                              int maxdlen) {
  if (record == nullptr || (buf == nullptr && size != 0)) return -1;
  const frame_record r = record_of(record);
  return bounded(buf, size,
                 [&](char* out) { return cantext::format_frame_long(out, r, view, maxdlen); });
}

int cantext_write_frame_long(FILE* stream, const cantext_frame* record, const char* eol,
                             unsigned view, int maxdlen) {
  if (stream == nullptr || record == nullptr) return -1;
  cantext::write_frame_long(stream, record_of(record), eol, view, maxdlen);
  return stream_status(stream);
}

size_t cantext_error_description_buf_size(size_t sep_length) {
  return cantext::error_description_buf_size(sep_length);
}

int cantext_format_error_description(char* buf, size_t cap, const cantext_frame* record,
                                     const char* sep) {
  if (record == nullptr || (buf == nullptr && cap != 0)) return -1;
  cantext::format_error_description(buf, cap, record_of(record), sep);
  return 0;
}

int cantext_append_bit_names(char* buf, size_t cap, unsigned bits, const char* const names[],
                             int count) {
  if (buf == nullptr && cap != 0) return -1;
  // The names read are those of the bits set below count.
  constexpr int width = static_cast<int>(sizeof bits * 8);
  const unsigned read = count <= 0 ? 0U : count >= width ? bits : bits & ((1U << count) - 1U);
  if (names == nullptr && read != 0) return -1;
  return cantext::append_bit_names(buf, cap, bits, names, count);
}

int cantext_format_frame_compact(char* buf, size_t size, const cantext_frame* record, int sep,
                                 int maxdlen) {
  if (record == nullptr || (buf == nullptr && size != 0)) return -1;
  const frame_record r = record_of(record);
  return bounded(buf, size, [&](char* out) {
    return cantext::format_frame_compact(out, r, sep != 0, maxdlen);
  });
}

int cantext_write_frame_compact(FILE* stream, const cantext_frame* record, const char* eol, int sep,
                                int maxdlen) {
  if (stream == nullptr || record == nullptr) return -1;
  cantext::write_frame_compact(stream, record_of(record), eol, sep != 0, maxdlen);
  return stream_status(stream);
}

uint8_t cantext_dlc_to_len(unsigned dlc) {
  return cantext::dlc_to_len(dlc);
}

uint8_t cantext_len_to_dlc(int n) {
  return cantext::len_to_dlc(n);
}

int cantext_hex_to_bytes(const char* text, uint8_t* out, int size) {
  if (text == nullptr || (out == nullptr && size > 0)) return 1;
  return cantext::hex_to_bytes(text, out, size);
}

const char* const cantext_hex_asc_upper = cantext::hex_asc_upper;
const uint8_t* const cantext_dlc_to_len_table = cantext::dlc_to_len_table;
const uint8_t* const cantext_len_to_dlc_table = cantext::len_to_dlc_table;
const char* const* const cantext_error_class_names = cantext::error_class_names;
const char* const* const cantext_controller_problem_names = cantext::controller_problem_names;
const char* const* const cantext_violation_type_names = cantext::violation_type_names;
const char* const* const cantext_violation_location_names = cantext::violation_location_names;

}  // extern "C"
