// SPDX-License-Identifier: MIT
#include "time_zone.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cantext::reader {
namespace {

// The database's files are at most a few KiB.
constexpr std::size_t max_file = 16 * 1024;

std::size_t read_whole(const char* path, unsigned char* buf, std::size_t size) noexcept {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 0;
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buf + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got;
}

std::int64_t big_endian(const unsigned char* p, std::size_t bytes) noexcept {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bytes; ++i) v = v << 8 | p[i];
  // Sign-extend a 4-byte value.
  if (bytes == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  return static_cast<std::int64_t>(v);
}

// The counts of a TZif header, in the order the file gives them.
struct tzif_counts {
  std::size_t ut, standard, leap, time, type, chars;

  // The bytes of the data block that follows a header, with times of `time_size` bytes.
  std::size_t data_size(std::size_t time_size) const noexcept {
    return time * (time_size + 1) + type * 6 + chars + leap * (time_size + 4) + standard + ut;
  }
};

// False for counts that no file of max_file bytes holds (which keeps data_size from overflowing
// a 32-bit size_t).
bool read_counts(const unsigned char* header, tzif_counts& counts) noexcept {
  std::size_t c[6];
  for (std::size_t i = 0; i < 6; ++i) {
    const auto n = static_cast<std::uint32_t>(big_endian(header + 20 + 4 * i, 4));
    if (n > max_file) return false;
    c[i] = n;
  }
  counts = {c[0], c[1], c[2], c[3], c[4], c[5]};
  return true;
}

constexpr std::size_t header_size = 44;

}  // namespace

bool time_zone::load(const char* name) noexcept {
  if (*name == ':') ++name;  // TZ's mark of a file name
  if (*name == '\0') return false;
  char path[4096];
  const char* folder = std::getenv("TZDIR");
  const int n = *name == '/'
                    ? std::snprintf(path, sizeof path, "%s", name)
                    : std::snprintf(path, sizeof path, "%s/%s",
                                    folder != nullptr ? folder : "/usr/share/zoneinfo", name);
  if (n > 0 && static_cast<std::size_t>(n) < sizeof path && load_file(path)) return true;
  zone_rule rule;
  if (std::strcmp(name, "UTC") == 0 || std::strcmp(name, "GMT") == 0) {
    rule = {};
  } else if (!parse_zone_rule(name, rule)) {
    return false;
  }
  count_ = 0;
  has_rule_ = true;
  rule_ = rule;
  first_offset_ = rule.standard;
  return true;
}

bool time_zone::load_file(const char* path) noexcept {
  unsigned char file[max_file];
  const std::size_t size = read_whole(path, file, sizeof file);
  if (size < header_size || std::memcmp(file, "TZif", 4) != 0 || size == sizeof file) return false;
  tzif_counts counts{};
  if (!read_counts(file, counts)) return false;
  const unsigned char* data = file + header_size;
  std::size_t time_size = 4;
  const unsigned char* end = file + size;
  // Version 2 and later repeat the data with 8-byte times, then give the rule in a footer.
  if (file[4] >= '2') {
    const std::size_t skip = counts.data_size(4);
    if (size < 2 * header_size || skip > size - 2 * header_size) return false;
    const unsigned char* second = data + skip;
    if (std::memcmp(second, "TZif", 4) != 0) return false;
    if (!read_counts(second, counts)) return false;
    data = second + header_size;
    time_size = 8;
  }
  if (counts.type == 0 || counts.time > max_transitions || counts.type > 256 ||
      counts.data_size(time_size) > static_cast<std::size_t>(end - data)) {
    return false;
  }
  const unsigned char* times = data;
  const unsigned char* type_of = times + counts.time * time_size;
  const unsigned char* types = type_of + counts.time;
  for (std::size_t i = 0; i < counts.time; ++i) {
    if (type_of[i] >= counts.type) return false;
  }
  zone_rule rule;
  bool has_rule = false;
  if (time_size == 8) {
    // "\nrule\n" after the data; an empty rule says the zone has none.
    const unsigned char* footer = data + counts.data_size(8);
    const unsigned char* line_end =
        footer < end ? static_cast<const unsigned char*>(std::memchr(
                           footer + 1, '\n', static_cast<std::size_t>(end - footer - 1)))
                     : nullptr;
    if (line_end != nullptr && *footer == '\n' && line_end - footer > 1) {
      char text[256];
      const auto length = static_cast<std::size_t>(line_end - footer - 1);
      if (length >= sizeof text) return false;
      std::memcpy(text, footer + 1, length);
      text[length] = '\0';
      if (!parse_zone_rule(text, rule)) return false;
      has_rule = true;
    }
  }
  for (std::size_t i = 0; i < counts.time; ++i) {
    at_[i] = big_endian(times + i * time_size, time_size);
    offset_after_[i] = static_cast<std::int32_t>(big_endian(types + 6 * type_of[i], 4));
  }
  count_ = counts.time;
  first_offset_ = static_cast<std::int32_t>(big_endian(types, 4));
  has_rule_ = has_rule;
  rule_ = rule;
  return true;
}

std::int32_t time_zone::offset_at(std::int64_t seconds) const noexcept {
  if (count_ == 0) return has_rule_ ? rule_offset_at(rule_, seconds) : first_offset_;
  if (seconds < at_[0]) return first_offset_;
  // The last transition at or before `seconds`.
  std::size_t low = 0;
  std::size_t high = count_;
  while (high - low > 1) {
    const std::size_t mid = low + (high - low) / 2;
    if (at_[mid] <= seconds) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return low == count_ - 1 && has_rule_ ? rule_offset_at(rule_, seconds) : offset_after_[low];
}

std::int64_t time_zone::to_epoch(int year, int month, int day, int hour, int minute,
                                 int second) const noexcept {
  const std::int64_t local = utc_seconds(year, month, day, hour, minute, second);
  // The offsets a day either side: changes are months apart, so these are the offsets before
  // and after any change near the time.
  const std::int32_t before = offset_at(local - 86400);
  const std::int32_t after = offset_at(local + 86400);
  if (offset_at(local - before) == before) return local - before;
  if (offset_at(local - after) == after) return local - after;
  return local - before;  // skipped by a change
}

civil_time time_zone::to_local(std::int64_t seconds) const noexcept {
  return utc_civil(seconds + offset_at(seconds));
}

}  // namespace cantext::reader
