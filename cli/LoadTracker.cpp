#include "cli/LoadTracker.h"

#include <algorithm>
#include <utility>

namespace drel::cli {

namespace {

int TenthsOf(uint64_t part, uint64_t whole) {
    return whole == 0 ? 0 : static_cast<int>(std::min<uint64_t>(part, whole) * 10 / whole);
}

}  // namespace

LoadTracker::LoadTracker(platform::WakeSignal& wake, uint32_t loadsWanted, std::string until,
                         bool recordSteps)
    : wake_(wake), loadsWanted_(loadsWanted), recordSteps_(recordSteps) {
    if (!until.empty()) {
        until_.emplace(std::move(until));
    }
}

void LoadTracker::Started(const std::string& imageName, uint64_t fileSize) {
    {
        std::lock_guard lock(mutex_);
        runs_.push_back({imageName, fileSize, 0, 0, Clock::now(), {}, std::nullopt});
        ++state_.started;
        step_ = 0;
    }
    wake_.Raise();
}

// The device waits for the next record meanwhile: the main thread is woken only at a step.
void LoadTracker::Sent(uint64_t bytes, uint32_t records) {
    bool stepped = false;
    {
        std::lock_guard lock(mutex_);
        if (runs_.empty()) {
            return;
        }
        ImageRun& run = runs_.back();
        run.bytesSent = bytes;
        run.records = records;
        const int step = TenthsOf(bytes, run.size);
        stepped = recordSteps_ && step > step_;
        if (stepped) {
            step_ = step;
            news_.push_back({PointOf(run, Clock::now()), std::nullopt});
        }
    }
    if (stepped) {
        wake_.Raise();
    }
}

void LoadTracker::Ended(DownloadResult result) {
    {
        std::lock_guard lock(mutex_);
        if (runs_.empty()) {
            return;
        }
        ImageRun& run = runs_.back();
        run.result = result;
        state_.lastEnded = Clock::now();
        run.took = state_.lastEnded - run.began;
        ++state_.ended;
        if (result != DownloadResult::Loaded && !state_.failure) {
            state_.failure = result;
        }
        news_.push_back({std::nullopt, run});
    }
    wake_.Raise();
}

void LoadTracker::DeviceLost() {
    {
        std::lock_guard lock(mutex_);
        state_.deviceLost = true;
    }
    wake_.Raise();
}

// Only the last load's answer counts: a prompt before it says nothing of how it went.
void LoadTracker::Received(std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        state_.lastReceived = Clock::now();
        if (!until_ || state_.untilSeen || state_.started < loadsWanted_ || !until_->Feed(text)) {
            return;
        }
        state_.untilSeen = true;
    }
    wake_.Raise();
}

LoadTracker::State LoadTracker::Look() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::vector<ImageRun> LoadTracker::Runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

std::optional<ProgressPoint> LoadTracker::Current() const {
    std::lock_guard lock(mutex_);
    if (runs_.empty() || runs_.back().result) {
        return std::nullopt;
    }
    return PointOf(runs_.back(), Clock::now());
}

std::vector<LoadNews> LoadTracker::TakeNews() {
    std::lock_guard lock(mutex_);
    return std::exchange(news_, {});
}

ProgressPoint LoadTracker::PointOf(const ImageRun& run, Clock::time_point now) const {
    return {run.path, run.bytesSent, run.size,
            std::chrono::duration<double>(now - run.began).count()};
}

}  // namespace drel::cli
