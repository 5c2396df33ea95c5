#pragma once

// A descriptor that one thread makes readable to end another thread's poll: the wake-up half of
// a wait on a port. An eventfd counts the raises; Drain empties it again.
//
// Each kind of wait has its own signal, and only that wait drains it, so one wait never
// swallows the wake-up meant for another. Whether a wake-up is still current is for the waiter
// to decide (the port keeps a generation count beside each signal): a raise nobody was waiting
// for just makes the next poll return once, and the next drain forgets it.

namespace drel::platform {

class WakeSignal {
  public:
    // Makes the descriptor; IsValid() tells whether that worked (errno says why not).
    WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;
    ~WakeSignal();

    bool IsValid() const { return fd_ >= 0; }

    // The descriptor to poll for POLLIN.
    int fd() const { return fd_; }

    // Makes the descriptor readable. Never fails: a full counter is readable anyway. Any
    // thread.
    void Raise();

    // Takes back every raise so far. Never fails. Called by the one thread that waits on it.
    void Drain();

  private:
    const int fd_;
};

}  // namespace drel::platform
