#include "ScriptedSerialService.h"

#include <cerrno>

#include "platform/CommError.h"

namespace drel::test {

using namespace platform;

// A handle on the service's one device. Every call takes the service's lock, logs itself and
// answers from the script.
class ScriptedSerialService::Port final : public SerialPort {
  public:
    explicit Port(ScriptedSerialService& service) : s_(service) {}

    ~Port() override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("CloseHandle");
    }

    bool SetCommMask(uint32_t mask) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("SetCommMask " + std::to_string(mask));
        s_.mask_ = mask;
        ++s_.maskGeneration_;
        return true;
    }

    bool SetupComm(uint32_t inQueue, uint32_t outQueue) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("SetupComm " + std::to_string(inQueue) + " " + std::to_string(outQueue));
        return true;
    }

    bool PurgeComm(uint32_t flags) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("PurgeComm " + std::to_string(flags));
        if ((flags & PURGE_TXABORT) != 0) {
            ++s_.txAbortGeneration_;
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            s_.input_.clear();
        }
        return true;
    }

    bool SetCommTimeouts(const CommTimeouts& t) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("SetCommTimeouts " + std::to_string(t.ReadIntervalTimeout) + " " +
               std::to_string(t.ReadTotalTimeoutMultiplier) + " " +
               std::to_string(t.ReadTotalTimeoutConstant) + " " +
               std::to_string(t.WriteTotalTimeoutMultiplier) + " " +
               std::to_string(t.WriteTotalTimeoutConstant));
        return true;
    }

    bool GetCommState(Dcb& dcb) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("GetCommState " + std::to_string(dcb.DCBlength));
        if (s_.failGetCommState_) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        dcb = s_.state_;
        return true;
    }

    bool SetCommState(const Dcb& dcb) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("SetCommState");
        if (s_.refuseCommState_) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        s_.state_ = dcb;
        return true;
    }

    bool EscapeCommFunction(uint32_t function) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("EscapeCommFunction " + std::to_string(function));
        if (s_.failEscapes_) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        return true;
    }

    bool SetCommBreak() override {
        std::lock_guard lock(s_.mutex_);
        if (s_.outputQueued_) {
            s_.Log("SetCommBreak pending");
            SetLastError(ERROR_IO_PENDING);
            return false;
        }
        s_.Log("SetCommBreak");
        return true;
    }

    bool ClearCommBreak() override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("ClearCommBreak");
        return true;
    }

    // Not logged: the window asks several times a second while a terminal is active.
    bool GetCommModemStatus(uint32_t& status) override {
        std::lock_guard lock(s_.mutex_);
        status = 0;
        if (s_.failModemStatus_) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        status = s_.modemStatus_;
        return true;
    }

    bool WaitCommEvent(uint32_t& events) override {
        std::unique_lock lock(s_.mutex_);
        s_.Log("WaitCommEvent");
        events = 0;
        // A mask change that no wait has seen yet ends this one at once.
        s_.changed_.wait(lock, [&] {
            return s_.hungUp_ || s_.maskGeneration_ != s_.seenMaskGeneration_ ||
                   ((s_.mask_ & EV_RXCHAR) != 0 && !s_.input_.empty());
        });
        if (s_.hungUp_) {
            return FailWithErrno(EIO);
        }
        if (s_.maskGeneration_ != s_.seenMaskGeneration_) {
            s_.seenMaskGeneration_ = s_.maskGeneration_;
        } else {
            events = EV_RXCHAR;
        }
        return true;
    }

    bool ClearCommError(uint32_t& errors, CommStat* stat) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("ClearCommError");
        errors = s_.lineErrors_;
        s_.lineErrors_ = 0;
        if (stat != nullptr) {
            stat->cbInQue = static_cast<uint32_t>(s_.input_.size());
        }
        return true;
    }

    bool ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped&) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("ReadFile " + std::to_string(count));
        read = 0;
        if (s_.hungUp_) {
            return FailWithErrno(EIO);
        }
        if (s_.readError_ != ERROR_SUCCESS) {
            SetLastError(s_.readError_);
            return false;
        }
        while (read < count && !s_.input_.empty()) {
            buffer[read++] = s_.input_.front();
            s_.input_.pop_front();
        }
        return true;
    }

    bool WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) override {
        std::lock_guard lock(s_.mutex_);
        s_.Log("WriteFile " + std::to_string(count));
        if (s_.hungUp_) {
            return FailWithErrno(EIO);
        }
        if (s_.writeError_ != ERROR_SUCCESS) {
            SetLastError(s_.writeError_);
            return false;
        }
        s_.writes_.emplace_back(bytes, bytes + count);
        if (!s_.pendWrites_) {
            overlapped.pendingDone = count;
            return true;
        }
        overlapped.pendingBytes = bytes;
        overlapped.pendingCount = count;
        overlapped.pendingDone = 0;
        s_.incompleteLeft_ = s_.incompleteReports_;
        SetLastError(ERROR_IO_PENDING);
        return false;
    }

    bool GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred, bool wait) override {
        std::unique_lock lock(s_.mutex_);
        s_.Log(wait ? "GetOverlappedResult wait" : "GetOverlappedResult");
        transferred = static_cast<uint32_t>(overlapped.pendingDone);
        if (overlapped.pendingBytes == nullptr) {
            return true;
        }
        const uint64_t aborts = s_.txAbortGeneration_;
        if (wait) {
            s_.changed_.wait(lock, [&] {
                return !s_.holdPendingWrites_ || s_.hungUp_ || s_.txAbortGeneration_ != aborts;
            });
        }
        if (s_.hungUp_ || s_.txAbortGeneration_ != aborts) {
            overlapped.pendingBytes = nullptr;
            SetLastError(s_.hungUp_ ? EIO : ERROR_OPERATION_ABORTED);
            return false;
        }
        if (s_.incompleteLeft_ > 0) {
            --s_.incompleteLeft_;
            SetLastError(ERROR_IO_INCOMPLETE);
            return false;
        }
        overlapped.pendingBytes = nullptr;
        if (s_.pendingCompletion_ != ERROR_SUCCESS) {
            SetLastError(s_.pendingCompletion_);
            return false;
        }
        overlapped.pendingDone = overlapped.pendingCount;
        transferred = static_cast<uint32_t>(overlapped.pendingDone);
        return true;
    }

  private:
    ScriptedSerialService& s_;
};

std::unique_ptr<SerialPort> ScriptedSerialService::CreateFileA(const std::string& portName) {
    std::lock_guard lock(mutex_);
    Log("CreateFileA " + portName);
    if (openErrno_ != 0) {
        FailWithErrno(openErrno_);
        return nullptr;
    }
    return std::make_unique<Port>(*this);
}

std::string ScriptedSerialService::WhyOpenFailed(const std::string& portName, uint32_t error) {
    return portName + ": scripted failure " + std::to_string(error);
}

std::unique_ptr<Event> ScriptedSerialService::CreateEvent(Event::ResetMode mode,
                                                          bool initiallySignalled) {
    std::lock_guard lock(mutex_);
    Log("CreateEvent");
    if (failEventOnCall_ > 0 && --failEventOnCall_ == 0) {
        return nullptr;
    }
    return std::make_unique<Event>(mode, initiallySignalled);
}

void ScriptedSerialService::FailOpen(int err) {
    Script([&] { openErrno_ = err; });
}
void ScriptedSerialService::FailCreateEventOnCall(int call) {
    Script([&] { failEventOnCall_ = call; });
}
void ScriptedSerialService::FailGetCommState(bool fail) {
    Script([&] { failGetCommState_ = fail; });
}
void ScriptedSerialService::RefuseCommState(bool refuse) {
    Script([&] { refuseCommState_ = refuse; });
}
void ScriptedSerialService::SetReportedState(const Dcb& dcb) {
    Script([&] { state_ = dcb; });
}
void ScriptedSerialService::AddLineErrors(uint32_t errors) {
    Script([&] { lineErrors_ |= errors; });
}
void ScriptedSerialService::QueueInput(std::string_view bytes) {
    Script([&] { input_.insert(input_.end(), bytes.begin(), bytes.end()); });
}
void ScriptedSerialService::FailReads(uint32_t error) {
    Script([&] { readError_ = error; });
}
void ScriptedSerialService::FailWrites(uint32_t error) {
    Script([&] { writeError_ = error; });
}
void ScriptedSerialService::PendWrites(uint32_t completion, int incompleteReports) {
    Script([&] {
        pendWrites_ = true;
        pendingCompletion_ = completion;
        incompleteReports_ = incompleteReports;
    });
}
void ScriptedSerialService::HoldPendingWrites(bool hold) {
    Script([&] { holdPendingWrites_ = hold; });
}
void ScriptedSerialService::FailEscapes(bool fail) {
    Script([&] { failEscapes_ = fail; });
}
void ScriptedSerialService::QueueOutput(bool queued) {
    Script([&] { outputQueued_ = queued; });
}
void ScriptedSerialService::SetModemStatus(uint32_t status) {
    Script([&] { modemStatus_ = status; });
}
void ScriptedSerialService::FailModemStatus(bool fail) {
    Script([&] { failModemStatus_ = fail; });
}
void ScriptedSerialService::HangUp() {
    Script([&] { hungUp_ = true; });
}

void ScriptedSerialService::Log(std::string entry) {
    calls_.push_back(std::move(entry));
    changed_.notify_all();
}

int ScriptedSerialService::CountLocked(std::string_view operation) const {
    int count = 0;
    for (const std::string& call : calls_) {
        if (std::string_view(call).substr(0, call.find(' ')) == operation) {
            ++count;
        }
    }
    return count;
}

std::vector<std::string> ScriptedSerialService::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

int ScriptedSerialService::CallCount(std::string_view operation) const {
    std::lock_guard lock(mutex_);
    return CountLocked(operation);
}

bool ScriptedSerialService::WaitForCallCount(std::string_view operation, int count,
                                             std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return CountLocked(operation) >= count; });
}

std::vector<uint8_t> ScriptedSerialService::Written() const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> bytes;
    for (const auto& write : writes_) {
        bytes.insert(bytes.end(), write.begin(), write.end());
    }
    return bytes;
}

std::vector<std::vector<uint8_t>> ScriptedSerialService::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

Dcb ScriptedSerialService::AppliedState() const {
    std::lock_guard lock(mutex_);
    return state_;
}

}  // namespace drel::test
