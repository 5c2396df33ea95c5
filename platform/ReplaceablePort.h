#pragma once

// A port whose device can be taken away and another put in its place while other threads keep
// calling it: the connection keeps one for its whole life, so that a device that went away and
// came back (an adapter unplugged and plugged in again) is taken up without any of the threads
// that share the port holding a stale one.
//
// Every operation runs on the device held at the time, under a shared lock; Replace waits for
// the operations in progress to end. Without a device every operation fails with ENODEV.

#include <memory>
#include <shared_mutex>

#include "SerialPort.h"

namespace drel::platform {

class ReplaceablePort final : public SerialPort {
  public:
    // Holds `device`, which may be null.
    explicit ReplaceablePort(std::unique_ptr<SerialPort> device);

    // Closes the device held, once no operation runs on it, and holds `device` (may be null)
    // instead. An operation that waits (a write held off, a wait for events) keeps Replace
    // waiting: end it first (PurgeComm with PURGE_TXABORT, SetCommMask). Never call it from
    // inside an operation of this port. Any thread.
    void Replace(std::unique_ptr<SerialPort> device);

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
    // Nothing without a device.
    std::vector<std::string> TakeNotices() override;

  private:
    // Runs `operation` on the device under the shared lock; ENODEV without one.
    template <class Operation>
    bool OnDevice(Operation operation);

    mutable std::shared_mutex mutex_;
    std::unique_ptr<SerialPort> device_;
};

}  // namespace drel::platform
