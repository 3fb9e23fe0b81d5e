// SPDX-License-Identifier: MIT
// The fuzz targets: each takes one input of any bytes, checks its invariants and returns 0.
#ifndef CANTEXT_FUZZ_FUZZ_TARGETS_HPP
#define CANTEXT_FUZZ_FUZZ_TARGETS_HPP

#include <cstddef>
#include <cstdint>

namespace cantext_fuzz {

namespace parse_frame {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace long_form {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace line_loop {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace compact_form {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace error_description {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace hex_string {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace python_fields {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}
namespace command {
int fuzz_one(const std::uint8_t* data, std::size_t size);
}

struct target {
  const char* name;
  int (*fuzz_one)(const std::uint8_t* data, std::size_t size);
};

inline constexpr target targets[] = {
    {"parse_frame", parse_frame::fuzz_one},
    {"long_form", long_form::fuzz_one},
    {"line_loop", line_loop::fuzz_one},
    {"compact_form", compact_form::fuzz_one},
    {"error_description", error_description::fuzz_one},
    {"hex_string", hex_string::fuzz_one},
    {"python_fields", python_fields::fuzz_one},
    {"command", command::fuzz_one},
};

}  // namespace cantext_fuzz

#endif
