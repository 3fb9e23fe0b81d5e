// SPDX-License-Identifier: MIT
// The filter: the reader and the long-form writer stage, stopping at the first bad line.
#include "long_lines.hpp"

#include "line_renders.hpp"

namespace cantext::tool {
namespace {

// The filter's one view, a constant.
struct filter_render {
  static constexpr bool explains = false;
  char* operator()(char* out, const reader::line& l) const noexcept {
    return put_long_line(out, l, VIEW_ASCII | VIEW_ALIGN_SFF);
  }
};

}  // namespace

int convert_lines(reader::byte_source in, byte_sink out, byte_sink err, writer_buffers& buffers,
                  reader::mark_function mark) noexcept {
  reader::line_reader lines(in, buffers.input, mark);
  output_block block(out, err, buffers.output);
  line_writer<filter_render> writer(filter_render(), block, err, bad_line_style::filter);
  const reader::ending how = lines.read(writer);
  return writer.finish(how, lines.error());
}

}  // namespace cantext::tool
