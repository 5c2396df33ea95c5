#pragma once

// One flood of the device's output: the FloodSource text for a set time, or a set number of
// RandomFlood bytes, as fast as the host reads them or no faster than a line rate. A paced flood
// goes out in bursts of a millisecond's worth, as a USB serial adapter hands over what arrived in
// each of its 1 ms frames. The server feeds what is due into its output queue and, once the time is
// up and the queue has drained, logs one summary line that a receiver can check its own count and
// hash against. No I/O. One thread uses an instance.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "FloodSource.h"
#include "LinePacer.h"
#include "RandomFlood.h"

namespace drel::devsim {

class DeviceFlood {
  public:
    using Clock = std::chrono::steady_clock;

    // A text flood from `start` for `duration`, paced at `bytesPerSecond` (0: unpaced).
    DeviceFlood(Clock::duration duration, std::uint32_t bytesPerSecond, Clock::time_point start);
    // A flood of `size` random bytes from a generator seeded with `seed`, from `start`, paced
    // at `bytesPerSecond` (0: unpaced); it is over once the last byte is handed out.
    DeviceFlood(std::uint64_t size, std::uint64_t seed, std::uint32_t bytesPerSecond,
                Clock::time_point start);

    // Appends to `out` what is due at `now`, at most `room` bytes. Never fails.
    void Feed(Clock::time_point now, std::size_t room, std::string& out);
    bool paced() const { return pacer_.has_value(); }
    // Whether the flood's time is up at `now`, or all its bytes are handed out.
    bool Over(Clock::time_point now) const;
    // When to look at the flood again while the queue has room: the next burst's time under
    // the pace, or the end, whichever comes first. A flood of a size has no end in time: its
    // end is the clock's last moment.
    Clock::time_point NextFeedAt() const;
    // "flood: B bytes in S s, fnv1a64 H", S counted from the start to `drained`, when the host
    // had taken the last byte.
    std::string Summary(Clock::time_point drained) const;

  private:
    using Source = std::variant<FloodSource, RandomFlood>;

    DeviceFlood(Source source, Clock::time_point end, std::optional<std::uint64_t> size,
                std::uint32_t bytesPerSecond, Clock::time_point start);
    std::uint64_t Sent() const;

    Clock::time_point start_;
    Clock::time_point end_;
    std::optional<std::uint64_t> size_;  // for a flood of a size
    std::optional<LinePacer> pacer_;
    std::size_t burst_ = 1;
    Source source_;
};

}  // namespace drel::devsim
