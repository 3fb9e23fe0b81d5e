// SPDX-License-Identifier: MIT
// cantext from C: text forms of CAN and CAN FD frames.  A C99 header that is also valid C++.
//
// Each routine of <cantext/cantext.hpp> is here as cantext_ and its C++ name, the frame record
// as struct cantext_frame, and each constant as CANTEXT_ and its C++ name in upper case
// (cantext::can_mtu is CANTEXT_CAN_MTU, cantext::VIEW_ASCII is CANTEXT_VIEW_ASCII).  The C++
// headers describe each routine in full.  Nothing here clashes with <linux/can.h>, which may be
// included before or after.
//
// Frames from a CAN socket: struct canfd_frame has the layout of struct cantext_frame, so a
// frame read into either is handed over by pointer, as (const struct cantext_frame*)&frame.  The
// library reads and writes a record only as bytes, whichever of the two types it is.  read()
// on the socket returns CANTEXT_CAN_MTU or CANTEXT_CANFD_MTU, which cantext_max_dlen turns into
// the maxdlen the renderers take.
#ifndef CANTEXT_CANTEXT_H
#define CANTEXT_CANTEXT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "cantext/export.h"

// Bits of cantext_frame.can_id.
#define CANTEXT_CAN_EFF_FLAG 0x80000000U  // 29-bit identifier
#define CANTEXT_CAN_RTR_FLAG 0x40000000U  // remote transmission request
#define CANTEXT_CAN_ERR_FLAG 0x20000000U  // error frame
#define CANTEXT_CAN_SFF_MASK 0x000007FFU
#define CANTEXT_CAN_EFF_MASK 0x1FFFFFFFU
#define CANTEXT_CAN_ERR_MASK 0x1FFFFFFFU

// Record sizes and the data lengths they allow.  cantext_parse_frame_text returns a record size
// or 0, the C++ frame_kind values.
#define CANTEXT_CAN_MTU 16
#define CANTEXT_CANFD_MTU 72
#define CANTEXT_CAN_MAX_DLEN 8
#define CANTEXT_CANFD_MAX_DLEN 64
#define CANTEXT_NOT_A_FRAME 0
#define CANTEXT_CLASSIC_FRAME CANTEXT_CAN_MTU
#define CANTEXT_FD_FRAME CANTEXT_CANFD_MTU

// Bits of cantext_frame.flags, for a CAN FD frame.
#define CANTEXT_CANFD_BRS 0x01U  // bit rate switch
#define CANTEXT_CANFD_ESI 0x02U  // error state indicator of the sender
#define CANTEXT_CANFD_FDF 0x04U  // marks a CAN FD frame

// View flags of the long form.
#define CANTEXT_VIEW_ASCII 0x01U
#define CANTEXT_VIEW_BINARY 0x02U
#define CANTEXT_VIEW_SWAP 0x04U
#define CANTEXT_VIEW_ERROR 0x08U
#define CANTEXT_VIEW_ALIGN_SFF 0x10U

// Least buffers.
#define CANTEXT_LONG_FORM_BUF_SIZE 592
#define CANTEXT_LONG_FORM_CLASSIC_BUF_SIZE 101
#define CANTEXT_ERROR_DESCRIPTION_BUF_SIZE 484
#define CANTEXT_COMPACT_FORM_BUF_SIZE 204

#if defined(__cplusplus)
#define CANTEXT_ALIGN_8 alignas(8)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define CANTEXT_ALIGN_8 _Alignas(8)
#else
#define CANTEXT_ALIGN_8 __attribute__((aligned(8)))
#endif

// One classic or CAN FD frame: 72 bytes, the record of cantext::frame_record and of the
// platform's struct canfd_frame.
struct cantext_frame {
  uint32_t can_id;  // identifier in the low bits, the flags above at the top
  uint8_t len;      // data bytes; for a remote request the requested length
  uint8_t flags;    // CAN FD flags
  uint8_t res0;
  uint8_t res1;
  CANTEXT_ALIGN_8 uint8_t data[64];
};
#undef CANTEXT_ALIGN_8

#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#if defined(__cplusplus)
#define CANTEXT_LAYOUT(holds) static_assert(holds, "struct cantext_frame is the 72-byte record")
#define CANTEXT_ALIGNOF alignof
#else
#define CANTEXT_LAYOUT(holds) _Static_assert(holds, "struct cantext_frame is the 72-byte record")
#define CANTEXT_ALIGNOF _Alignof
#endif
CANTEXT_LAYOUT(sizeof(struct cantext_frame) == 72);
CANTEXT_LAYOUT(CANTEXT_ALIGNOF(struct cantext_frame) == 8);
CANTEXT_LAYOUT(offsetof(struct cantext_frame, len) == 4);
CANTEXT_LAYOUT(offsetof(struct cantext_frame, flags) == 5);
CANTEXT_LAYOUT(offsetof(struct cantext_frame, res0) == 6);
CANTEXT_LAYOUT(offsetof(struct cantext_frame, res1) == 7);
CANTEXT_LAYOUT(offsetof(struct cantext_frame, data) == 8);
#undef CANTEXT_LAYOUT
#undef CANTEXT_ALIGNOF
#endif

// Pointer arguments that may not be null: compilers that know the attribute warn at a call that
// passes a null one.  The functions still check each pointer and give their error return; the
// library's own definitions are compiled without the attribute, which would let the compiler
// drop those checks as dead code.
#if defined(__GNUC__) && !defined(CANTEXT_CHECKS_NULL_ARGUMENTS)
#define CANTEXT_NONNULL(...) __attribute__((nonnull(__VA_ARGS__)))
#else
#define CANTEXT_NONNULL(...)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Every function below gives an error return, never a crash, for a null pointer where it needs
// an object: -1 where it returns a length or a status, CANTEXT_NOT_A_FRAME from the parser,
// 1 from cantext_hex_to_bytes.  A buffer of size 0 is never written, and may then be null.

// Value 0..15 of a hex digit (either case); 16 for any other character.
CANTEXT_API unsigned cantext_hex_nibble(char c);

// Parses the NUL-terminated compact notation text into record.  Returns CANTEXT_CLASSIC_FRAME,
// CANTEXT_FD_FRAME, or CANTEXT_NOT_A_FRAME (0) when the text is not a frame or either pointer is
// null.
CANTEXT_API int cantext_parse_frame_text(const char* text, struct cantext_frame* record)
    CANTEXT_NONNULL(1, 2);

// The renderers' maxdlen for what cantext_parse_frame_text or read() on a CAN socket returned:
// 64 for CANTEXT_FD_FRAME, 8 for any other value.
CANTEXT_API int cantext_max_dlen(int kind);

// The long form, as snprintf writes: at most size bytes at buf, the terminator included, the
// text cut short when it does not fit.  Returns the length of the whole text (without the
// terminator), so a result of size or more means it was cut; -1 when record is null, or buf is
// null while size is not 0.  CANTEXT_LONG_FORM_BUF_SIZE bytes hold every text
// (CANTEXT_LONG_FORM_CLASSIC_BUF_SIZE when maxdlen is 8).
CANTEXT_API int cantext_format_frame_long(char* buf, size_t size,
                                          const struct cantext_frame* record, unsigned view,
                                          int maxdlen) CANTEXT_NONNULL(3);
// The long form and, with CANTEXT_VIEW_ERROR, the error description, then eol unless null.
// Returns 0, or -1 when stream or record is null or the stream's error indicator is set after
// writing (ferror).
CANTEXT_API int cantext_write_frame_long(FILE* stream, const struct cantext_frame* record,
                                         const char* eol, unsigned view, int maxdlen)
    CANTEXT_NONNULL(1, 2);

// Least buffer for every error description with a separator of sep_length characters.
CANTEXT_API size_t cantext_error_description_buf_size(size_t sep_length);
// The error description joined by sep ("," when null), into cap bytes at buf, cut short when it
// does not fit.  Returns 0; -1 when record is null, or buf is null while cap is not 0.
CANTEXT_API int cantext_format_error_description(char* buf, size_t cap,
                                                 const struct cantext_frame* record,
                                                 const char* sep) CANTEXT_NONNULL(3);
// The names of the bits set in bits, joined by ",", into cap bytes at buf; returns the length of
// the whole list.  names is read only for the bits set below count.  -1 when buf is null while
// cap is not 0, or names is null while one of those bits is set.
CANTEXT_API int cantext_append_bit_names(char* buf, size_t cap, unsigned bits,
                                         const char* const names[], int count);

// Compact notation, as snprintf writes (see cantext_format_frame_long); sep non-zero puts "."
// between data bytes.  CANTEXT_COMPACT_FORM_BUF_SIZE bytes hold every text.
CANTEXT_API int cantext_format_frame_compact(char* buf, size_t size,
                                             const struct cantext_frame* record, int sep,
                                             int maxdlen) CANTEXT_NONNULL(3);
// Compact notation, then eol unless null.  Returns as cantext_write_frame_long does.
CANTEXT_API int cantext_write_frame_compact(FILE* stream, const struct cantext_frame* record,
                                            const char* eol, int sep, int maxdlen)
    CANTEXT_NONNULL(1, 2);

// CAN FD data length code (low 4 bits) to bytes, and bytes to the least code that holds them.
CANTEXT_API uint8_t cantext_dlc_to_len(unsigned dlc);
CANTEXT_API uint8_t cantext_len_to_dlc(int n);

// Decodes the NUL-terminated hex text into out[0..size); 0 on success, 1 on failure (a null
// text, or a null out while size is above 0, too).
CANTEXT_API int cantext_hex_to_bytes(const char* text, uint8_t* out, int size) CANTEXT_NONNULL(1);

// The library's constant tables.
CANTEXT_API extern const char* const cantext_hex_asc_upper;             // 16 digits, terminated
CANTEXT_API extern const uint8_t* const cantext_dlc_to_len_table;       // 16 entries
CANTEXT_API extern const uint8_t* const cantext_len_to_dlc_table;       // 65 entries
CANTEXT_API extern const char* const* const cantext_error_class_names;  // 9 names
CANTEXT_API extern const char* const* const cantext_controller_problem_names;  // 7 names
CANTEXT_API extern const char* const* const cantext_violation_type_names;      // 8 names
CANTEXT_API extern const char* const* const cantext_violation_location_names;  // 32 names

#ifdef __cplusplus
}
#endif

#undef CANTEXT_NONNULL

#endif
