#pragma once

// Bytes that look random and are the same in every run: files for the transfer tests.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace drel::test {

// `size` bytes from a linear congruential generator started at `seed`.
inline std::vector<uint8_t> SeededBytes(size_t size, uint32_t seed = 7) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed;
    for (auto& byte : bytes) {
        state = state * 1664525 + 1013904223;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

}  // namespace drel::test
