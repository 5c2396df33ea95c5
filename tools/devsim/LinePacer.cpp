#include "LinePacer.h"

#include <algorithm>

namespace drel::devsim {

LinePacer::LinePacer(std::uint32_t bytesPerSecond, Clock::time_point start)
    : rate_(std::max<std::uint32_t>(bytesPerSecond, 1)),
      capacity_(std::max<std::size_t>(rate_ / 100, 1)),
      credit_(capacity_ * kUnit),
      last_(start) {}

std::size_t LinePacer::Allowance(Clock::time_point now) {
    const std::uint64_t full = capacity_ * kUnit;
    if (now > last_) {
        const auto elapsed = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_).count());
        // Compared before multiplying, so that a long pause cannot overflow the credit.
        credit_ = elapsed >= (full - credit_) / rate_ + 1
                      ? full
                      : std::min(full, credit_ + elapsed * rate_);
        last_ = now;
    }
    return static_cast<std::size_t>(credit_ / kUnit);
}

void LinePacer::Took(std::size_t bytes) {
    credit_ -= std::min<std::uint64_t>(credit_, bytes * kUnit);
}

LinePacer::Clock::time_point LinePacer::ReadyAt(std::size_t bytes) const {
    const std::uint64_t needed = std::min(bytes, capacity_) * kUnit;
    if (credit_ >= needed) {
        return last_;
    }
    const std::uint64_t wait = (needed - credit_ + rate_ - 1) / rate_;
    return last_ + std::chrono::nanoseconds(wait);
}

}  // namespace drel::devsim
