#pragma once

// One flood of the device's output: the FloodSource stream for a set time, as fast as the host
// reads it or no faster than a line rate. A paced flood goes out in bursts of a millisecond's
// worth, as a USB serial adapter hands over what arrived in each of its 1 ms frames. The server
// feeds what is due into its output queue and, once the time is up and the queue has drained, logs
// one summary line that a receiver can check its own count and hash against. No I/O. One thread
// uses an instance.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FloodSource.h"
#include "LinePacer.h"

namespace drel::devsim {

class DeviceFlood {
  public:
    using Clock = std::chrono::steady_clock;

    // A flood from `start` for `duration`, paced at `bytesPerSecond` (0: unpaced).
    DeviceFlood(Clock::duration duration, std::uint32_t bytesPerSecond, Clock::time_point start);

    // Appends to `out` what is due at `now`, at most `room` bytes. Never fails.
    void Feed(Clock::time_point now, std::size_t room, std::string& out);
    bool paced() const { return pacer_.has_value(); }
    // Whether the flood's time is up at `now`.
    bool Over(Clock::time_point now) const { return now >= end_; }
    // When to look at the flood again while the queue has room: the next burst's time under
    // the pace, or the end, whichever comes first.
    Clock::time_point NextFeedAt() const;
    // "flood: B bytes in S s, fnv1a64 H", S counted from the start to `drained`, when the host
    // had taken the last byte.
    std::string Summary(Clock::time_point drained) const;

  private:
    Clock::time_point start_;
    Clock::time_point end_;
    std::optional<LinePacer> pacer_;
    std::size_t burst_ = 1;
    FloodSource source_;
};

}  // namespace drel::devsim
