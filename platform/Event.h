#pragma once

// An event object: signalled or not, with manual or automatic reset, and waits with a time-out
// in milliseconds. An auto-reset event releases one wait per Set and is non-signalled again
// afterwards; several Sets before a wait count as one.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace drel::platform {

inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

enum class WaitResult { Signalled, TimedOut };

class Event {
  public:
    enum class ResetMode { Manual, Auto };

    explicit Event(ResetMode mode, bool initiallySignalled = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Any thread.
    void Set();
    void Reset();
    bool IsSignalled() const;

    // Waits until the event is signalled or `timeoutMs` has passed (INFINITE: no limit).
    // Any thread.
    WaitResult Wait(uint32_t timeoutMs);

  private:
    const ResetMode mode_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

}  // namespace drel::platform
