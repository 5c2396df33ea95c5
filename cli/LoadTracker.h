#pragma once

// What drel-load knows of its loads, gathered from the download worker and the receive loop as
// they go, and looked at by the main thread, which decides when the run ends. Every change the
// main thread must act on raises the wake signal it polls.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/TextWatch.h"
#include "connection/ProgressText.h"
#include "download/DownloadObserver.h"
#include "platform/WakeSignal.h"

namespace drel::cli {

using Clock = std::chrono::steady_clock;

// One image's transfer.
struct ImageRun {
    std::string path;
    uint64_t size = 0;       // the file's size
    uint64_t bytesSent = 0;  // of the file, as sent so far
    uint32_t records = 0;    // data records sent
    Clock::time_point began;
    Clock::duration took{};                // once it has ended
    std::optional<DownloadResult> result;  // none while it runs
};

using drel::ProgressPoint;

// What happened since the main thread last asked: a 10 % step of a load, or a load's end.
struct LoadNews {
    std::optional<ProgressPoint> step;
    std::optional<ImageRun> ended;
};

class LoadTracker final : public DownloadObserver {
  public:
    // What the main thread decides on.
    struct State {
        uint32_t started = 0;
        uint32_t ended = 0;
        std::optional<DownloadResult> failure;  // the first load that did not load
        bool deviceLost = false;
        bool untilSeen = false;
        Clock::time_point lastEnded;     // when the last load ended; unset before
        Clock::time_point lastReceived;  // when the board last printed; unset before
    };

    // Raises `wake` on every change the main thread acts on. `loadsWanted` loads end the run;
    // once the last of them has begun, the board's text is watched for `until` (none when
    // empty). With `recordSteps`, each 10 % of a load is news too, besides its end.
    LoadTracker(platform::WakeSignal& wake, uint32_t loadsWanted, std::string until,
                bool recordSteps);

    void Started(const std::string& imageName, uint64_t fileSize) override;
    void Sent(uint64_t bytes, uint32_t records) override;
    void Ended(DownloadResult result) override;
    void DeviceLost() override;

    // Takes text the board printed, to find the --until text in. The receive loop's thread.
    void Received(std::string_view text);

    // Copies of what is known now. Any thread.
    State Look() const;
    std::vector<ImageRun> Runs() const;
    // The load that runs now, if any.
    std::optional<ProgressPoint> Current() const;
    // The news since the last call, in the order it happened. Any thread.
    std::vector<LoadNews> TakeNews();

  private:
    ProgressPoint PointOf(const ImageRun& run, Clock::time_point now) const;

    platform::WakeSignal& wake_;
    const uint32_t loadsWanted_;
    const bool recordSteps_;
    mutable std::mutex mutex_;  // guards everything below
    State state_;
    std::vector<ImageRun> runs_;
    int step_ = 0;  // the 10 % steps the running load has passed
    std::vector<LoadNews> news_;
    std::optional<TextWatch> until_;
};

}  // namespace drel::cli
