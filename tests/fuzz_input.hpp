// The fuzzers' inputs: fields of 8 bytes, little-endian, missing bytes zero.
#pragma once

#include <cstddef>
#include <cstdint>

// The next field of the input, which it then no longer holds.
inline std::uint64_t take(const std::uint8_t*& data, std::size_t& size) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8 && size > 0; ++i, ++data, --size) value |= std::uint64_t{*data} << (8 * i);
    return value;
}
