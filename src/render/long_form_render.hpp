// SPDX-License-Identifier: MIT
// The long-form renderer with its end position, for callers that append after it.
#ifndef CANTEXT_SRC_RENDER_LONG_FORM_RENDER_HPP
#define CANTEXT_SRC_RENDER_LONG_FORM_RENDER_HPP

#include "cantext/frame.hpp"

namespace cantext::detail {

// Writes the long form at out (without a terminator) and returns the end of the text.
char* render_long(char* out, const frame_record& record, unsigned view, int maxdlen) noexcept;

// The same without the processor-specific instructions render_long may choose, so that tests
// can hold the two against each other.
char* render_long_portable(char* out, const frame_record& record, unsigned view,
                           int maxdlen) noexcept;

}  // namespace cantext::detail

#endif
