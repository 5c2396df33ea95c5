#pragma once

// What the user sends to the device (typed keys, the auto-download command, a break) goes out on
// a thread of the connection's own, one WritePort call per run, in the order the runs and breaks
// were handed over. The user-interface thread only queues them: a device that holds off what it
// is sent, for as long as it likes, then keeps the runs waiting but never the windows, so the
// user can still close the terminal.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Event.h"

namespace drel {

struct PortConnection;

class UserWriter {
  public:
    // How long a break holds the line when the user sends one.
    static constexpr std::chrono::milliseconds kBreakDuration{250};

    explicit UserWriter(PortConnection& c) : c_(c) {}
    UserWriter(const UserWriter&) = delete;
    UserWriter& operator=(const UserWriter&) = delete;
    // The writer must have been stopped (Stop) first.
    ~UserWriter() = default;

    // Queues `bytes` for one WritePort call and returns at once. Drops them when the connection
    // is not connected, or while a file transfer runs (saying so in the status bar); sends them on
    // the calling thread, waiting for the port, when no thread can be started. Any thread.
    void Write(std::string bytes);

    // Queues a break of `duration` behind what was queued before, and returns at once: once the
    // bytes written before it have gone out, the line is held in break for `duration`, or until
    // Stop, and released. No other write goes out meanwhile. Dropped when the connection is not
    // connected or the port cannot send a break; held on the calling thread when no thread can
    // be started. Any thread.
    void Break(std::chrono::milliseconds duration = kBreakDuration);

    // Ends the thread of a connection whose `connected` is already 0 and whose write in flight,
    // if any, has been aborted: drops what is still queued, ends a break at once and returns
    // once the thread has ended. Does nothing when no thread runs. User-interface thread.
    void Stop();

  private:
    // One queued item: a run of bytes, or a break when `breakFor` is not zero.
    struct Job {
        std::string bytes;
        std::chrono::milliseconds breakFor{0};
    };

    void Queue(Job job);
    bool StartLocked();  // mutex_ held
    void Run();
    void Do(const Job& job);
    void HoldBreak(std::chrono::milliseconds duration);

    PortConnection& c_;
    std::mutex mutex_;
    std::condition_variable queued_;  // a job was queued, or the stop began
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::unique_ptr<platform::Event> ended_;  // manual-reset; set as the thread ends
    std::thread thread_;
};

}  // namespace drel
