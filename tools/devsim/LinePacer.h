#pragma once

// How fast bytes cross a slow line: a token bucket that earns one byte per 1/rate seconds and
// holds at most 10 ms worth (at least one byte). The device reads only what the bucket allows
// and leaves the rest on the line, so a host that writes faster finds its writes blocked, as by
// flow control on a real line; a flood is sent no faster than the bucket allows. Time is passed
// in; no I/O. One thread uses an instance.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace drel::devsim {

class LinePacer {
  public:
    using Clock = std::chrono::steady_clock;

    // A pacer for `bytesPerSecond` (at least 1), full at `start`.
    LinePacer(std::uint32_t bytesPerSecond, Clock::time_point start);

    // How many bytes may be taken at `now`. `now` never goes back. Never fails.
    std::size_t Allowance(Clock::time_point now);
    // `bytes` (at most the last Allowance) were taken. Never fails.
    void Took(std::size_t bytes);
    // When the allowance will be at least one byte, as seen at the last Allowance call.
    Clock::time_point NextByteAt() const { return ReadyAt(1); }
    // When the allowance will be at least `bytes` (at most the capacity), as seen at the last
    // Allowance call.
    Clock::time_point ReadyAt(std::size_t bytes) const;

    std::size_t capacity() const { return capacity_; }

  private:
    // Credit is counted in billionths of a byte, earned at `rate_` per nanosecond.
    static constexpr std::uint64_t kUnit = 1'000'000'000;

    std::uint64_t rate_;
    std::size_t capacity_;
    std::uint64_t credit_;
    Clock::time_point last_;
};

}  // namespace drel::devsim
