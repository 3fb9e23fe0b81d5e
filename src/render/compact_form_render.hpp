// SPDX-License-Identifier: MIT
// The compact renderer with its end position, for writers that need the text length.
#ifndef CANTEXT_SRC_RENDER_COMPACT_FORM_RENDER_HPP
#define CANTEXT_SRC_RENDER_COMPACT_FORM_RENDER_HPP

#include "cantext/frame.hpp"

namespace cantext::detail {

// Writes the compact notation at out (without a terminator) and returns the end of the text.
// The characters from the end on may be overwritten too, so out needs COMPACT_FORM_BUF_SIZE
// bytes.
char* render_compact(char* out, const frame_record& record, bool sep, int maxdlen) noexcept;

// The same without the processor-specific instructions render_compact may choose, so that tests
// can hold the two against each other.
char* render_compact_portable(char* out, const frame_record& record, bool sep,
                              int maxdlen) noexcept;

}  // namespace cantext::detail

#endif
