// SPDX-License-Identifier: MIT
// read_log's reading without the interpreter: the line reader and the Python module's column
// consumer over any input, delivered in any pieces and read in batches of any size, against the
// plain model of the reader with plain decoders of the time, the channel and the direction.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "column_sink.hpp"
#include "fuzz_check.hpp"
#include "fuzz_targets.hpp"
#include "line_model.hpp"

namespace cantext_fuzz::python_fields {
namespace {

namespace reader = cantext::reader;
using cantext_python::column_set;
using cantext_python::column_sink;

// "(seconds.fraction)", 1 to 10 digits and 1 to 9, as nanoseconds while they fit int64; else
// NO_TIME.
std::int64_t model_time(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (text.size() < 2 || text.front() != '(' || text.back() != ')' || dot == text.npos) {
    return cantext_python::no_time;
  }
  const std::string_view seconds = text.substr(1, dot - 1);
  const std::string_view fraction = text.substr(dot + 1, text.size() - dot - 2);
  if (seconds.empty() || seconds.size() > 10 || fraction.empty() || fraction.size() > 9) {
    return cantext_python::no_time;
  }
  std::uint64_t ns = 0;
  for (const char c :
       std::string(seconds) + std::string(fraction) + std::string(9 - fraction.size(), '0')) {
    if (c < '0' || c > '9') return cantext_python::no_time;
    ns = ns * 10 + static_cast<std::uint64_t>(c - '0');
  }
  const auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return ns > most ? cantext_python::no_time : static_cast<std::int64_t>(ns);
}

// One row as it is compared: every column, the channel by name, the odd first field's text.
struct row {
  std::int64_t time;
  std::string channel;
  std::uint32_t can_id;
  std::uint8_t flags;
  std::uint8_t len;
  bool fd;
  char direction;
  std::string data;
  std::string odd_text;  // the first field where it is not a time
  std::uint64_t odd_line;

  bool operator==(const row& o) const {
    return time == o.time && channel == o.channel && can_id == o.can_id && flags == o.flags &&
           len == o.len && fd == o.fd && direction == o.direction && data == o.data &&
           odd_text == o.odd_text && odd_line == o.odd_line;
  }
};

struct reading {
  std::vector<row> rows;
  std::vector<std::int64_t> bad_lines;
};

reading model_reading_of(std::string_view text) {
  reading r;
  for (const model_line& m : model_lines(text).lines) {
    if (m.fault == model_fault::blank) continue;
    if (m.fault != model_fault::none) {
      const auto number = static_cast<std::int64_t>(m.number);
      if (r.bad_lines.empty() || r.bad_lines.back() != number) r.bad_lines.push_back(number);
      continue;
    }
    const bool remote = (m.record.can_id & cantext::CAN_RTR_FLAG) != 0;
    const std::int64_t time = model_time(m.fields[0]);
    const bool odd = time == cantext_python::no_time;
    r.rows.push_back(
        {time, std::string(m.fields[1]), m.record.can_id, m.record.flags, m.record.len,
         m.max_data_length == cantext::CANFD_MAX_DLEN, m.direction.empty() ? '\0' : m.direction[0],
         remote
             ? std::string(cantext::CANFD_MAX_DLEN, '\0')
             : std::string(reinterpret_cast<const char*>(m.record.data), cantext::CANFD_MAX_DLEN),
         odd ? std::string(m.fields[0]) : std::string(), odd ? m.number : 0});
  }
  return r;
}

// The input in reads of any size, some of them interrupted.
struct chunked_source {
  std::string_view text;
  choice_stream chunks;
  std::size_t pos = 0;

  static long read(void* context, char* buf, std::size_t n) {
    auto& s = *static_cast<chunked_source*>(context);
    const std::uint32_t r = s.chunks.next();
    if (r % 8 == 0) {
      errno = EINTR;
      return -1;
    }
    std::size_t k = r % 2 != 0 ? n : 1 + (r >> 8) % 2048;
    k = std::min<std::size_t>({k, n, s.text.size() - s.pos});
    std::memcpy(buf, s.text.data() + s.pos, k);
    s.pos += k;
    return static_cast<long>(k);
  }
};

reader::reader_buffers buffers;

// Reads as read_log (one batch) or iter_messages (batches of `batch` rows) do.
reading read_columns(std::string_view text, std::uint32_t seed, std::size_t batch) {
  chunked_source in{text, choice_stream(seed)};
  reader::line_reader lines({&in, chunked_source::read}, buffers);
  column_sink sink(true);
  reading r;
  for (;;) {
    column_set c;
    sink.start(c, batch);
    const reader::ending how = lines.read(sink);
    FUZZ_CHECK(how != reader::ending::read_error && !sink.ran_out_of_memory());
    const std::size_t first = r.rows.size();
    const auto& names = sink.channels().names();
    for (std::size_t i = 0; i < sink.rows(); ++i) {
      const std::uint32_t code = column_set::at<std::uint32_t>(c.channel)[i];
      FUZZ_CHECK(code < names.size());
      const char* data = column_set::at<char>(c.data) + i * cantext::CANFD_MAX_DLEN;
      r.rows.push_back({column_set::at<std::int64_t>(c.time)[i], names[code],
                        column_set::at<std::uint32_t>(c.can_id)[i],
                        column_set::at<std::uint8_t>(c.flags)[i],
                        column_set::at<std::uint8_t>(c.len)[i], column_set::at<bool>(c.fd)[i],
                        column_set::at<char>(c.direction)[i],
                        std::string(data, cantext::CANFD_MAX_DLEN), std::string(), 0});
    }
    for (const auto& odd : sink.odd_times()) {
      FUZZ_CHECK(odd.row < sink.rows());
      r.rows[first + odd.row].odd_text = odd.text;
      r.rows[first + odd.row].odd_line = odd.line;
    }
    r.bad_lines.insert(r.bad_lines.end(), sink.bad_lines().begin(), sink.bad_lines().end());
    if (how != reader::ending::stopped || sink.rows() < batch) return r;
  }
}

}  // namespace

int fuzz_one(const std::uint8_t* data, std::size_t size) {
  input_reader in(data, size);
  const std::uint8_t mode = in.byte();
  const std::uint32_t seed = in.word();
  const std::string_view text = in.rest();

  const reading expected = model_reading_of(text);
  const reading whole = read_columns(text, seed, SIZE_MAX);
  FUZZ_CHECK(whole.rows == expected.rows);
  FUZZ_CHECK(whole.bad_lines == expected.bad_lines);
  // Batches hold the same rows; a long bad line around a batch's end is listed in both.
  const std::size_t batch = 1 + mode % 16;
  FUZZ_CHECK(read_columns(text, seed, batch).rows == expected.rows);
  return 0;
}

}  // namespace cantext_fuzz::python_fields
