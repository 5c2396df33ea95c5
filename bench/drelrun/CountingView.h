#pragma once

// A terminal's output view with a meter in front: every run of text the connection hands over
// is counted and hashed (the same FNV-1a hash the simulated device logs for its flood), then
// shown by the real view. It proves that what the device sent reached the view, byte for byte.
// ShowText may be called from any thread; the counters from any thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "terminal/OutputView.h"
#include "tools/devsim/FloodSource.h"

namespace drel::bench {

class CountingView : public OutputView {
  public:
    // A meter in front of `shown`; with `display` false the text stops at the meter.
    CountingView(OutputView& shown, bool display) : shown_(shown), display_(display) {}

    void ShowText(std::string_view text) override;

    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t hash() const;
    OutputView& shown() const { return shown_; }

  private:
    OutputView& shown_;
    const bool display_;
    std::atomic<std::uint64_t> bytes_{0};
    mutable std::mutex hashLock_;  // runs come from the receive loop and the UI thread
    devsim::StreamHash hash_;
};

}  // namespace drel::bench
