#pragma once

// What the user sends to the device (typed keys, the auto-download command) goes out on a thread
// of the connection's own, one WritePort call per run in the order the runs were handed over.
// The user-interface thread only queues them: a device that holds off what it is sent, for as
// long as it likes, then keeps the runs waiting but never the windows, so the user can still
// close the terminal.

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
    explicit UserWriter(PortConnection& c) : c_(c) {}
    UserWriter(const UserWriter&) = delete;
    UserWriter& operator=(const UserWriter&) = delete;
    // The writer must have been stopped (Stop) first.
    ~UserWriter() = default;

    // Queues `bytes` for one WritePort call and returns at once. Drops them when the connection
    // is not connected; sends them on the calling thread, waiting for the port, when no thread
    // can be started. Any thread.
    void Write(std::string bytes);

    // Ends the thread of a connection whose `connected` is already 0 and whose write in flight,
    // if any, has been aborted: drops what is still queued and returns once the thread has
    // ended. Does nothing when no thread runs. User-interface thread.
    void Stop();

  private:
    bool StartLocked();  // mutex_ held
    void Run();

    PortConnection& c_;
    std::mutex mutex_;
    std::condition_variable queued_;  // a run was queued, or the stop began
    std::deque<std::string> runs_;
    bool stopping_ = false;
    std::unique_ptr<platform::Event> ended_;  // manual-reset; set as the thread ends
    std::thread thread_;
};

}  // namespace drel
