#include "Event.h"

#include <chrono>

namespace drel::platform {

Event::Event(ResetMode mode, bool initiallySignalled)
    : mode_(mode), signalled_(initiallySignalled) {}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    // An auto-reset event releases one waiter; a manual one releases them all.
    if (mode_ == ResetMode::Auto) {
        changed_.notify_one();
    } else {
        changed_.notify_all();
    }
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::IsSignalled() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    auto isSignalled = [this] { return signalled_; };
    if (timeoutMs == INFINITE) {
        changed_.wait(lock, isSignalled);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSignalled)) {
        return WaitResult::TimedOut;
    }
    if (mode_ == ResetMode::Auto) {
        signalled_ = false;
    }
    return WaitResult::Signalled;
}

}  // namespace drel::platform
