#pragma once

// The bytes a random flood sends: every value 0 to 255, from a generator seeded by the caller,
// so that a run can be repeated and a receiver that mangles one byte value (NUL, 0xFF, CR) is
// caught. Like the text flood, the stream can be cut anywhere and carries a running FNV-1a hash
// of everything handed out. No I/O. One thread uses an instance.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FloodSource.h"

namespace drel::devsim {

class RandomFlood {
  public:
    explicit RandomFlood(std::uint64_t seed) : state_(seed) {}

    // Appends the next `count` bytes of the stream to `out`. Never fails.
    void Next(std::size_t count, std::string& out);

    // Bytes handed out so far, and their hash.
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t hash() const { return hash_.value(); }

  private:
    std::uint64_t NextWord();

    std::uint64_t state_;
    std::uint64_t word_ = 0;
    std::size_t wordLeft_ = 0;  // bytes of `word_` not yet handed out
    std::uint64_t bytes_ = 0;
    StreamHash hash_;
};

}  // namespace drel::devsim
