#pragma once

// Cuts the device's output into chunks of random size (1 to a maximum) with a short gap after
// each, so that a host's reads see texts such as "start download" split at random places.
// The sizes come from a seed, so a failing run can be repeated. Time is passed in; no I/O.
// One thread uses an instance.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>

namespace drel::devsim {

class OutputChunker {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::microseconds kGap{1000};

    // Chunks of 1 to `maxChunk` bytes (at least 1). Never fails.
    OutputChunker(std::size_t maxChunk, std::uint32_t seed);

    // How many bytes may be written at `now`: 0 during a gap, else the size of the next
    // chunk. Never fails.
    std::size_t Allowance(Clock::time_point now) const;
    // When the current gap ends.
    Clock::time_point ReadyAt() const { return readyAt_; }
    // `bytes` were written at `now`. After a write, short or whole, the next chunk gets a
    // new size and waits for a gap; a write of nothing changes nothing. Never fails.
    void Wrote(std::size_t bytes, Clock::time_point now);

  private:
    std::mt19937 generator_;
    std::uniform_int_distribution<std::size_t> sizes_;
    std::size_t next_;
    Clock::time_point readyAt_;
};

}  // namespace drel::devsim
