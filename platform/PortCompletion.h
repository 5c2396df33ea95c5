#pragma once

// What every port does the same way, whatever carries its bytes: completing an operation for
// whoever waits on it, the line state before anything was set, the event mask whose change ends
// a pending wait for events, and the abort that ends a pending write.

#include <atomic>
#include <cstdint>

#include "platform/CommTypes.h"
#include "platform/Overlapped.h"
#include "platform/WakeSignal.h"

namespace drel::platform {

// Completes an operation for whoever waits on its event. Any thread.
void SignalDone(Overlapped& overlapped);

// Ends the pending write on `overlapped` with `error` (ERROR_SUCCESS: all bytes taken): the
// count taken so far in `transferred`, the block free again, its event set. Returns whether it
// succeeded, with `error` as the last error otherwise. The thread that completes the write.
bool FinishWrite(Overlapped& overlapped, uint32_t& transferred, uint32_t error);

// The block a port reports before anything was set: DTR and RTS on, as Linux raises them on
// open.
Dcb InitialPortState();

// The events a port's wait reports (EV_* bits), and the change of them that ends a wait: a
// pending wait returns at once, with no events, whatever the new mask is; when no wait is
// pending, the next one does (once). So a thread that changes the mask to end another's wait
// cannot miss it by calling just before that wait begins. One thread waits at a time.
class EventMask {
  public:
    // IsValid() tells whether the wake signal could be made.
    bool IsValid() const { return changed_.IsValid(); }

    // The descriptor a wait polls for POLLIN beside its port.
    int fd() const { return changed_.fd(); }

    // Sets the mask and ends the pending wait. Any thread.
    void Set(uint32_t mask);

    // Whether the mask asks for received bytes (EV_RXCHAR). Any thread.
    bool WantsInput() const { return (mask_.load() & EV_RXCHAR) != 0; }

    // Begins a wait: the change count to end it by, in `generation`. True when a change no wait
    // has seen yet ends this one at once. The waiting thread.
    bool Begin(uint64_t& generation);

    // After fd() polled readable: takes the wake-up, and is true when the mask changed since
    // `generation`, which ends the wait. The waiting thread.
    bool Changed(uint64_t generation);

  private:
    WakeSignal changed_;
    std::atomic<uint32_t> mask_{0};
    // Bumped by every Set. A wait ends when it differs from the value the last wait ended with
    // (seen_), at once if it already does when the wait begins.
    std::atomic<uint64_t> generation_{0};
    std::atomic<uint64_t> seen_{0};
};

// The abort of a pending write (PurgeComm with PURGE_TXABORT): it ends the write in progress
// when it comes, and a write that begins afterwards is not touched by it. One write is pending
// at a time.
class WriteAbort {
  public:
    // IsValid() tells whether the wake signal could be made.
    bool IsValid() const { return aborted_.IsValid(); }

    // The descriptor a write's wait polls for POLLIN beside its port; Drain it once readable.
    int fd() const { return aborted_.fd(); }
    void Drain() { aborted_.Drain(); }

    // Aborts the pending write. Any thread.
    void Raise();

    // A write begins: aborts from now on end it. The writing thread.
    void Arm() { armedAt_.store(generation_.load()); }

    // Whether an abort came since the write began. The writing thread.
    bool Aborted() const { return generation_.load() != armedAt_.load(); }

  private:
    WakeSignal aborted_;
    std::atomic<uint64_t> generation_{0};  // bumped by every abort
    std::atomic<uint64_t> armedAt_{0};     // the count when the pending write began
};

}  // namespace drel::platform
