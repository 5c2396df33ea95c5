#include "DeviceFlood.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace drel::devsim {

DeviceFlood::DeviceFlood(Clock::duration duration, std::uint32_t bytesPerSecond,
                         Clock::time_point start)
    : DeviceFlood(FloodSource(), start + duration, std::nullopt, bytesPerSecond, start) {}

DeviceFlood::DeviceFlood(std::uint64_t size, std::uint64_t seed, std::uint32_t bytesPerSecond,
                         Clock::time_point start)
    : DeviceFlood(RandomFlood(seed), Clock::time_point::max(), size, bytesPerSecond, start) {}

DeviceFlood::DeviceFlood(Source source, Clock::time_point end, std::optional<std::uint64_t> size,
                         std::uint32_t bytesPerSecond, Clock::time_point start)
    : start_(start), end_(end), size_(size), source_(std::move(source)) {
    if (bytesPerSecond > 0) {
        pacer_.emplace(bytesPerSecond, start);
        burst_ = std::max<std::size_t>(1, bytesPerSecond / 1000);
    }
}

std::uint64_t DeviceFlood::Sent() const {
    return std::visit([](const auto& source) { return source.bytes(); }, source_);
}

bool DeviceFlood::Over(Clock::time_point now) const {
    return now >= end_ || (size_ && Sent() >= *size_);
}

void DeviceFlood::Feed(Clock::time_point now, std::size_t room, std::string& out) {
    if (Over(now)) {
        return;
    }
    std::size_t count = room;
    if (size_) {
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, *size_ - Sent()));
    }
    if (pacer_) {
        const std::size_t allowance = pacer_->Allowance(now);
        count = allowance < burst_ ? 0 : std::min(count, allowance);
        pacer_->Took(count);
    }
    std::visit([&](auto& source) { source.Next(count, out); }, source_);
}

DeviceFlood::Clock::time_point DeviceFlood::NextFeedAt() const {
    return pacer_ ? std::min(pacer_->ReadyAt(burst_), end_) : end_;
}

std::string DeviceFlood::Summary(Clock::time_point drained) const {
    const std::chrono::duration<double> took = drained - start_;
    const std::uint64_t hash =
        std::visit([](const auto& source) { return source.hash(); }, source_);
    char line[128];
    std::snprintf(line, sizeof line, "flood: %llu bytes in %.3f s, fnv1a64 %016llx",
                  static_cast<unsigned long long>(Sent()), took.count(),
                  static_cast<unsigned long long>(hash));
    return line;
}

}  // namespace drel::devsim
