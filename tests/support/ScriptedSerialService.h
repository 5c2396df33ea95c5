#pragma once

// A scripted serial service for tests of the connection code: one device whose answers the
// test decides (open failures, refused settings, line errors, input, failing or pending writes,
// a hang-up) and which logs every call made on it.
//
// The service holds the device; every port CreateFileA returns is a handle on it, so the test
// can keep scripting and reading the log while the code under test owns the port, and after it
// has closed it. Scripting, the log and every port call are safe from any thread. The service
// must outlive its ports.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SerialService.h"

namespace drel::test {

class ScriptedSerialService final : public platform::SerialService {
  public:
    static constexpr std::chrono::milliseconds kPatience{5000};

    // --- The service ---------------------------------------------------------------------

    // Logs "CreateFileA <name>"; fails with the scripted errno, or returns a port on the device.
    std::unique_ptr<platform::SerialPort> CreateFileA(const std::string& portName) override;
    // "<name>: scripted failure <error>", so that a test sees which name and error reached it.
    std::string WhyOpenFailed(const std::string& portName, uint32_t error) override;
    // Logs "CreateEvent"; null on the scripted call, else a real event.
    std::unique_ptr<platform::Event> CreateEvent(platform::Event::ResetMode mode,
                                                 bool initiallySignalled) override;

    // --- Script ----------------------------------------------------------------------------

    // CreateFileA fails with errno `err` from now on; 0 lets it succeed again.
    void FailOpen(int err);
    // The `call`-th CreateEvent from now (1 for the next) returns null; 0 for none.
    void FailCreateEventOnCall(int call);
    // GetCommState fails (leaving the block untouched) / SetCommState fails with
    // ERROR_INVALID_PARAMETER, from now on.
    void FailGetCommState(bool fail);
    void RefuseCommState(bool refuse);
    // The block GetCommState reports until a SetCommState replaces it.
    void SetReportedState(const platform::Dcb& dcb);
    // CE_ flags the next ClearCommError returns (added to any not yet fetched).
    void AddLineErrors(uint32_t errors);
    // Bytes that arrive on the line: counted in cbInQue, read by ReadFile, and they end a
    // WaitCommEvent when EV_RXCHAR is enabled. (A WaitCommEvent also ends, with no events, at a
    // mask change, or at once when there was a mask change no wait has seen yet.)
    void QueueInput(std::string_view bytes);
    // ReadFile fails with `error` from now on; ERROR_SUCCESS lets reads work again.
    void FailReads(uint32_t error);
    // WriteFile fails at once with `error` from now on; ERROR_SUCCESS lets writes work again.
    void FailWrites(uint32_t error);
    // WriteFile returns ERROR_IO_PENDING from now on; each GetOverlappedResult then reports
    // ERROR_IO_INCOMPLETE `incompleteReports` times and completes with `completion`
    // (ERROR_SUCCESS: all bytes taken). `incompleteReports` counts per write.
    void PendWrites(uint32_t completion, int incompleteReports = 0);
    // While held, GetOverlappedResult with wait blocks until released, until
    // PurgeComm(PURGE_TXABORT) (which ends it with ERROR_OPERATION_ABORTED) or until a hang-up.
    void HoldPendingWrites(bool hold);
    // EscapeCommFunction fails with ERROR_INVALID_PARAMETER from now on, as on a port without
    // modem lines; false lets it succeed again.
    void FailEscapes(bool fail);
    // While queued, output has not yet gone out: SetCommBreak fails with ERROR_IO_PENDING.
    void QueueOutput(bool queued);
    // The MS_*_ON bits GetCommModemStatus reports / it fails from now on (a driver that cannot
    // report the inputs).
    void SetModemStatus(uint32_t status);
    void FailModemStatus(bool fail);
    // The device goes away: WaitCommEvent, ReadFile, WriteFile and pending writes fail with EIO.
    void HangUp();

    // --- Log -------------------------------------------------------------------------------

    // Every call in order, as "<operation>" or "<operation> <arguments>", e.g. "SetCommMask 1",
    // "PurgeComm 15", "ReadFile 80", "WriteFile 3", "EscapeCommFunction 5", "GetCommState 28"
    // (the DCBlength passed), "SetCommBreak" ("SetCommBreak pending" when refused while output
    // is queued), "CloseHandle" (a port destroyed). GetCommModemStatus is not logged.
    std::vector<std::string> Calls() const;
    // How many calls of `operation` (the log entry's first word) were made.
    int CallCount(std::string_view operation) const;
    // Waits until `operation` has been called at least `count` times; false after `timeout`.
    bool WaitForCallCount(std::string_view operation, int count,
                          std::chrono::milliseconds timeout = kPatience) const;
    // The bytes of every write the device took (all but those that failed at once), in order,
    // and each such write's bytes on its own.
    std::vector<uint8_t> Written() const;
    std::vector<std::vector<uint8_t>> Writes() const;
    // The device's block: the last one SetCommState applied (or SetReportedState gave).
    platform::Dcb AppliedState() const;

  private:
    class Port;

    // Changes the script under the lock and wakes the calls that wait on it.
    template <typename Change>
    void Script(Change change) {
        std::lock_guard lock(mutex_);
        change();
        changed_.notify_all();
    }
    void Log(std::string entry);  // mutex_ held
    int CountLocked(std::string_view operation) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;  // any call logged or script changed

    // Script.
    int openErrno_ = 0;
    int failEventOnCall_ = 0;
    bool failGetCommState_ = false;
    bool refuseCommState_ = false;
    uint32_t readError_ = 0;
    uint32_t writeError_ = 0;
    bool pendWrites_ = false;
    uint32_t pendingCompletion_ = 0;
    int incompleteReports_ = 0;
    bool holdPendingWrites_ = false;
    bool hungUp_ = false;
    bool failEscapes_ = false;
    bool outputQueued_ = false;
    bool failModemStatus_ = false;
    uint32_t modemStatus_ = 0;

    // Device state.
    platform::Dcb state_;
    uint32_t lineErrors_ = 0;
    std::deque<uint8_t> input_;
    uint32_t mask_ = 0;
    uint64_t maskGeneration_ = 0;
    uint64_t seenMaskGeneration_ = 0;  // the mask change the last WaitCommEvent ended with
    uint64_t txAbortGeneration_ = 0;
    int incompleteLeft_ = 0;

    // Log.
    std::vector<std::string> calls_;
    std::vector<std::vector<uint8_t>> writes_;
};

}  // namespace drel::test
