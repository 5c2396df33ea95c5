#pragma once

// Turning a hang into a failure. A close, a join or a wait that a fault keeps from ever ending
// would otherwise stop its test only at CTest's time-out, with no word on what hung. Guarded by
// a watchdog, it fails its test with the watchdog's message once the time-out has passed, and
// the test program stops there, since nothing can free the thread that is stuck.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <source_location>
#include <string>
#include <thread>
#include <utility>

namespace drel::test {

// How long a blocking call that ends at once in a sound program may take before a test takes it
// for hung: generous, since a sanitizer build on a busy machine runs many times slower.
inline constexpr std::chrono::seconds kHangTimeout{10};

// Guards the scope it lives in. When the scope has not ended within `timeout`, reports "`what`
// has not ended within N ms" as a failure of the running test, at the place the watchdog was
// made, and stops the test program. Declare it before the objects whose destruction may block
// (a thread joined by its owner, a std::async future) to guard their end too. Any thread; made
// and destroyed on the same one.
class Watchdog {
  public:
    explicit Watchdog(std::string what, std::chrono::milliseconds timeout = kHangTimeout,
                      std::source_location where = std::source_location::current())
        : what_(std::move(what)), timeout_(timeout), where_(where) {
        thread_ = std::thread([this] { Watch(); });
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

  private:
    void Watch() {
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, timeout_, [this] { return ended_; })) {
            return;
        }
        ADD_FAILURE_AT(where_.file_name(), static_cast<int>(where_.line()))
            << what_ << " has not ended within " << timeout_.count()
            << " ms; the test stops here instead of hanging";
        std::fflush(stdout);
        std::fflush(stderr);
        std::abort();
    }

    const std::string what_;
    const std::chrono::milliseconds timeout_;
    const std::source_location where_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    std::thread thread_;
};

// Calls `call` under a watchdog named `what` and returns what it returns. Any thread.
template <typename Call>
decltype(auto) CallWatched(std::string what, Call&& call,
                           std::chrono::milliseconds timeout = kHangTimeout,
                           std::source_location where = std::source_location::current()) {
    const Watchdog watchdog(std::move(what), timeout, where);
    return std::forward<Call>(call)();
}

}  // namespace drel::test
