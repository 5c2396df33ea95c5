#pragma once

// Tells a trickle of input from a flood by what came in the last window of time: a trickle is
// fewer than `trickleBytes` in `window`. The receive loop lets a trickle gather between reads.
// One thread uses an instance.

#include <chrono>

namespace drel {

class InputRate {
  public:
    using Clock = std::chrono::steady_clock;

    InputRate(int trickleBytes, Clock::duration window)
        : trickleBytes_(trickleBytes), window_(window) {}

    // Counts `bytes` that came at `now`.
    void Took(int bytes, Clock::time_point now) {
        if (now - windowStart_ >= window_) {
            trickling_ = windowBytes_ + bytes < trickleBytes_;
            windowStart_ = now;
            windowBytes_ = 0;
        }
        windowBytes_ += bytes;
    }

    // Whether input trickles: the last full window and the one under way each held less than a
    // trickle. A quiet port counts as trickling.
    bool Trickling() const { return trickling_ && windowBytes_ < trickleBytes_; }

  private:
    const int trickleBytes_;
    const Clock::duration window_;
    Clock::time_point windowStart_{};
    int windowBytes_ = 0;
    bool trickling_ = true;
};

}  // namespace drel
