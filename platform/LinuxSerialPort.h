#pragma once

// A serial port on Linux: a terminal device opened non-blocking and exclusively, driven with
// termios and the tty ioctls.
//
// Data flow. Nothing here blocks except the two waits. WaitCommEvent polls the device for
// input, and a wake signal that SetCommMask raises, so that a mask change ends a pending wait
// at once (or the next wait, when none is pending). ReadFile takes what the kernel has queued.
// WriteFile hands the kernel as much as it takes; what is left stays in the caller's Overlapped,
// and GetOverlappedResult pushes it on as the kernel makes room (poll for POLLOUT), woken early by
// a second signal that PurgeComm(PURGE_TXABORT) raises. "Taken by the port" means taken into the
// kernel's output buffer, which plays the part of the port's output queue; the program never waits
// for the line to drain (tcdrain cannot be interrupted while flow control holds the output back).
//
// Threads. The receive loop waits and reads while other threads write and call the rest. The
// wait and write-completion state are atomics; the line-state shadow and error counters sit
// under a mutex held only around non-blocking calls. At most one WaitCommEvent and one pending
// write may be in progress at a time: the connection code has one receive loop and lets one
// write per port be in flight. Destroying the port requires that no call is running; a writer
// stuck under flow-control hold-off is released first with PurgeComm(PURGE_TXABORT).
//
// A pseudo-terminal behaves like a port without modem lines and error counters: the calls for
// those are refused or report nothing, and everything else works as on a port. Its driver also
// forces 8 data bits and no parity, whatever is set.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "LinuxTermios.h"
#include "PortCompletion.h"
#include "SerialPort.h"
#include "WakeSignal.h"

namespace drel::platform {

class LinuxSerialPort final : public SerialPort {
  public:
    // Opens the terminal device at `path` for reading and writing, exclusively: an advisory
    // lock (flock) that any other open of the device by this program or a well-behaved one
    // meets, plus the terminal's exclusive mode (TIOCEXCL, which root is exempt from). Null on
    // failure with the reason in the last error: the open's errno, ENOTTY for a file that is
    // not a terminal, EBUSY for a device held elsewhere. Any thread.
    static std::unique_ptr<LinuxSerialPort> Open(const std::string& path);

    // Ends exclusive mode and closes the device. No call may be running.
    ~LinuxSerialPort() override;

    // The operations do what SerialPort.h says; LinuxTermios.h lists what of the line state
    // Linux cannot do. Any thread, within the limits in the class comment.
    bool SetCommMask(uint32_t mask) override;
    bool SetupComm(uint32_t inQueue, uint32_t outQueue) override;
    bool PurgeComm(uint32_t flags) override;
    bool SetCommTimeouts(const CommTimeouts& timeouts) override;
    bool GetCommState(Dcb& dcb) override;
    bool SetCommState(const Dcb& dcb) override;
    bool EscapeCommFunction(uint32_t function) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;
    bool GetCommModemStatus(uint32_t& status) override;
    bool WaitCommEvent(uint32_t& events) override;
    bool ClearCommError(uint32_t& errors, CommStat* stat) override;
    bool ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& overlapped) override;
    bool WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) override;
    bool GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred, bool wait) override;

  private:
    explicit LinuxSerialPort(int fd);

    bool ReadErrorCounts(LineErrorCounts& counts) const;
    bool QueuedInput(uint32_t& count) const;
    int SetModemLines(const Dcb& dcb);
    int PushPendingWrite(Overlapped& overlapped);
    int WaitUntilWritable();

    const int fd_;
    const bool hasErrorCounters_;  // the driver answers TIOCGICOUNT
    EventMask mask_;               // its change ends a pending WaitCommEvent
    WriteAbort writeAbort_;        // ends a pending write completion

    std::mutex stateMutex_;  // guards what follows; held only around non-blocking calls
    // The block last set, for the fields termios has no place for.
    Dcb shadow_;
    LineErrorCounts lastErrorCounts_;
    // Recorded only: Linux sizes its buffers itself, and reads never wait (they are capped by
    // the queued count) while writes wait for as long as the line withholds clearance.
    uint32_t inQueueSize_ = 0;
    uint32_t outQueueSize_ = 0;
    CommTimeouts timeouts_;
};

}  // namespace drel::platform
