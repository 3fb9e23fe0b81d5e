// SPDX-License-Identifier: MIT
// Checks and input helpers shared by the fuzz targets and their replay driver.
#ifndef CANTEXT_FUZZ_FUZZ_CHECK_HPP
#define CANTEXT_FUZZ_FUZZ_CHECK_HPP

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace cantext_fuzz {

// Reports a broken invariant (with the input being replayed, if any) and aborts, which the
// fuzzing engine records as a crash together with the input that caused it.
[[noreturn]] void fail(const char* condition, const char* file, int line) noexcept;

// The replay driver names the file it is running, so that a failure says which one it was.
void set_input_name(const char* name) noexcept;

// Takes bytes from the front of a fuzz input; past its end every byte reads as 0.
class input_reader {
 public:
  input_reader(const std::uint8_t* data, std::size_t size) noexcept : data_(data), size_(size) {}

  std::uint8_t byte() noexcept {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }

  std::uint32_t word() noexcept {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | byte();
    return w;
  }

  // Fills `n` bytes at `out`, with zeros for whatever the input lacks.
  void fill(void* out, std::size_t n) noexcept {
    const std::size_t k = n < size_ ? n : size_;
    std::memset(out, 0, n);
    if (k > 0) std::memcpy(out, data_, k);
    data_ += k;
    size_ -= k;
  }

  // Up to n bytes, as many as are left.
  std::string_view take(std::size_t n) noexcept {
    const std::size_t k = n < size_ ? n : size_;
    const std::string_view taken(reinterpret_cast<const char*>(data_), k);
    data_ += k;
    size_ -= k;
    return taken;
  }

  // Everything not taken yet.
  std::string_view rest() const noexcept { return {reinterpret_cast<const char*>(data_), size_}; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// A small deterministic generator, seeded from the input, for choices a target makes many of.
class choice_stream {
 public:
  explicit choice_stream(std::uint32_t seed) noexcept : state_(seed | 1U) {}

  std::uint32_t next() noexcept {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  std::uint32_t state_;
};

// A maximum data length for a renderer: the two valid ones, anything at all, or near the edges.
inline int choose_maxdlen(input_reader& in) noexcept {
  switch (in.byte() % 4) {
    case 0:
      return 8;
    case 1:
      return 64;
    case 2:
      return static_cast<int>(in.word());
    default:
      return static_cast<int>(in.byte() % 80) - 8;
  }
}

// The number of data bytes a renderer shows: maxdlen counts only within 0..64.
inline int bytes_shown(int len, int maxdlen) noexcept {
  const int limit = maxdlen < 0 ? 0 : (maxdlen > 64 ? 64 : maxdlen);
  return len < limit ? len : limit;
}

// A caller buffer of exactly `Size` bytes followed by a guard region that must stay untouched;
// a smaller room at its start can be given a guard of its own.
template <std::size_t Size>
class guarded_buffer {
 public:
  static constexpr std::size_t guard_size = 64;
  static constexpr unsigned char pattern = 0xA5;

  guarded_buffer() noexcept { reset(); }
  void reset() noexcept { std::memset(area_, pattern, sizeof area_); }
  // Prepares only the first `room` bytes and the guard after them, for a smaller room.
  void reset(std::size_t room) noexcept { std::memset(area_, pattern, room + guard_size); }
  char* data() noexcept { return area_; }
  const char* data() const noexcept { return area_; }

  // True when no byte of the guard region after the first `room` bytes was written.
  bool untouched_from(std::size_t room) const noexcept {
    static const auto clean = [] {
      std::array<unsigned char, guard_size> g;
      g.fill(pattern);
      return g;
    }();
    return std::memcmp(area_ + room, clean.data(), guard_size) == 0;
  }
  bool guard_intact() const noexcept { return untouched_from(Size); }

  // Length of the text, or Size when it is not terminated inside the buffer.
  std::size_t text_length() const noexcept {
    const void* nul = std::memchr(area_, '\0', Size);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - area_) : Size;
  }

 private:
  char area_[Size + guard_size];
};

}  // namespace cantext_fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::cantext_fuzz::fail(#condition, __FILE__, __LINE__))

#endif
