#pragma once

// What a running file transfer's thread waits for: the receiver's bytes, which the receive loop
// hands in as it reads them, the user's cancel and the close, each until the transfer's next
// deadline.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace drel {

class TransferInbox {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Woke {
        Bytes,      // the receiver's bytes since the last wait are in `bytes`
        Cancelled,  // the user cancelled the transfer (told once)
        Stopped,    // the connection closes
        PortGone,   // the port's device went away
        TimedOut,   // the deadline passed first
    };

    // Empties the inbox for a new transfer. Before its thread starts.
    void Reset();

    // Hands in what the receiver sent. The receive loop's thread.
    void Put(const uint8_t* bytes, size_t count);

    // The user's cancel; the user-interface thread. The close, or the device gone; the thread
    // that closes, or the receive loop's.
    void Cancel();
    void Stop(bool portGone);

    // Whether the user cancelled this transfer, told or not. Any thread.
    bool CancelAsked() const { return cancelAsked_; }

    // Waits until something came or `deadline` passed; received bytes move into `bytes`. A stop
    // is told before bytes, bytes before a cancel. The transfer's thread.
    Woke Wait(Clock::time_point deadline, std::vector<uint8_t>& bytes);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> bytes_;
    bool cancelled_ = false;  // not yet told
    std::atomic<bool> cancelAsked_{false};
    bool stopped_ = false;
    bool portGone_ = false;
};

}  // namespace drel
