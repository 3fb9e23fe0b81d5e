// SPDX-License-Identifier: MIT
// The long form of a frame written to a stream, with the error description under it.
#include <cstdio>

#include "cantext/error_text.hpp"
#include "cantext/long_form.hpp"
#include "render/long_form_render.hpp"

namespace cantext {

// One buffer serves both texts: the description is formatted once the line has been written.
static_assert(LONG_FORM_BUF_SIZE >= ERROR_DESCRIPTION_BUF_SIZE);

void write_frame_long(std::FILE* stream, const frame_record& record, const char* eol, unsigned view,
                      int maxdlen) noexcept {
  char text[LONG_FORM_BUF_SIZE];
  const char* const end = detail::render_long(text, record, view, maxdlen);
  std::fwrite(text, 1, static_cast<std::size_t>(end - text), stream);
  if ((view & VIEW_ERROR) != 0 && (record.can_id & CAN_ERR_FLAG) != 0) {
    // Each entry on a line of its own, indented under the frame.
    format_error_description(text, ERROR_DESCRIPTION_BUF_SIZE, record, "\n\t");
    std::fputs("\n\t", stream);
    std::fputs(text, stream);
  }
  if (eol != nullptr) std::fputs(eol, stream);
}

}  // namespace cantext
