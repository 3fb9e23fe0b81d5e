// SPDX-License-Identifier: MIT
// The compact notation of a frame, written to a stream.
#include "cantext/compact_form.hpp"
#include "render/compact_form_render.hpp"

namespace cantext {

void write_frame_compact(std::FILE* stream, const frame_record& record, const char* eol, bool sep,
                         int maxdlen) noexcept {
  char buf[COMPACT_FORM_BUF_SIZE];
  const char* const end = detail::render_compact(buf, record, sep, maxdlen);
  std::fwrite(buf, 1, static_cast<std::size_t>(end - buf), stream);
  if (eol != nullptr) std::fputs(eol, stream);
}

}  // namespace cantext
