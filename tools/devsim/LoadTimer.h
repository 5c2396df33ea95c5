#pragma once

// Times the image loads a device serves, for benchmarks: how long each load took from its
// first image byte to its last, and every turnaround, the time from the moment a record request
// (0x02) has been written to the line until the first byte of the host's answer was read. The
// server tells it what happens; it writes one line per load. No I/O but the stream it is given.
// One thread uses an instance.

#include <chrono>
#include <optional>
#include <ostream>
#include <vector>

namespace drel::devsim {

class LoadTimer {
  public:
    using Clock = std::chrono::steady_clock;

    // Host bytes were read at `now`, while a load ran (`loading`) or not.
    void Heard(Clock::time_point now, bool loading);
    // The device queued a record request; the next drained output completes it.
    void RecordRequested() { requestQueued_ = true; }
    // Every queued byte has been written, at `now`.
    void OutputDrained(Clock::time_point now);
    // The load ended at `now`: writes "load timing: S s; turnaround us: T1 T2 ..." (seconds from
    // its first image byte to its end, then each turnaround in microseconds) to `out` when it
    // heard any image byte, and starts afresh. A failing stream is left in its failed state.
    void LoadEnded(Clock::time_point now, std::ostream& out);

  private:
    std::optional<Clock::time_point> firstByte_;
    std::optional<Clock::time_point> requestSent_;
    bool requestQueued_ = false;
    std::vector<Clock::duration> turnarounds_;
};

}  // namespace drel::devsim
