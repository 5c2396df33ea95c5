#include "DeviceFlood.h"

#include <algorithm>
#include <cstdio>

namespace drel::devsim {

DeviceFlood::DeviceFlood(Clock::duration duration, std::uint32_t bytesPerSecond,
                         Clock::time_point start)
    : start_(start), end_(start + duration) {
    if (bytesPerSecond > 0) {
        pacer_.emplace(bytesPerSecond, start);
        burst_ = std::max<std::size_t>(1, bytesPerSecond / 1000);
    }
}

void DeviceFlood::Feed(Clock::time_point now, std::size_t room, std::string& out) {
    if (Over(now)) {
        return;
    }
    std::size_t count = room;
    if (pacer_) {
        const std::size_t allowance = pacer_->Allowance(now);
        count = allowance < burst_ ? 0 : std::min(count, allowance);
        pacer_->Took(count);
    }
    source_.Next(count, out);
}

DeviceFlood::Clock::time_point DeviceFlood::NextFeedAt() const {
    return pacer_ ? std::min(pacer_->ReadyAt(burst_), end_) : end_;
}

std::string DeviceFlood::Summary(Clock::time_point drained) const {
    const std::chrono::duration<double> took = drained - start_;
    char line[128];
    std::snprintf(line, sizeof line, "flood: %llu bytes in %.3f s, fnv1a64 %016llx",
                  static_cast<unsigned long long>(source_.bytes()), took.count(),
                  static_cast<unsigned long long>(source_.hash()));
    return line;
}

}  // namespace drel::devsim
