#include "ReplaceablePort.h"

#include <cerrno>
#include <mutex>
#include <utility>

#include "CommError.h"

namespace drel::platform {

ReplaceablePort::ReplaceablePort(std::unique_ptr<SerialPort> device) : device_(std::move(device)) {}

void ReplaceablePort::Replace(std::unique_ptr<SerialPort> device) {
    std::unique_ptr<SerialPort> old;
    {
        std::unique_lock lock(mutex_);
        old = std::exchange(device_, std::move(device));
    }
    // Closed outside the lock: a close may take a while (a device that drains its output), and
    // nobody can reach the old device any more.
}

template <class Operation>
bool ReplaceablePort::OnDevice(Operation operation) {
    std::shared_lock lock(mutex_);
    if (!device_) {
        return FailWithErrno(ENODEV);
    }
    return operation(*device_);
}

bool ReplaceablePort::SetCommMask(uint32_t mask) {
    return OnDevice([&](SerialPort& port) { return port.SetCommMask(mask); });
}

bool ReplaceablePort::SetupComm(uint32_t inQueue, uint32_t outQueue) {
    return OnDevice([&](SerialPort& port) { return port.SetupComm(inQueue, outQueue); });
}

bool ReplaceablePort::PurgeComm(uint32_t flags) {
    return OnDevice([&](SerialPort& port) { return port.PurgeComm(flags); });
}

bool ReplaceablePort::SetCommTimeouts(const CommTimeouts& timeouts) {
    return OnDevice([&](SerialPort& port) { return port.SetCommTimeouts(timeouts); });
}

bool ReplaceablePort::GetCommState(Dcb& dcb) {
    return OnDevice([&](SerialPort& port) { return port.GetCommState(dcb); });
}

bool ReplaceablePort::SetCommState(const Dcb& dcb) {
    return OnDevice([&](SerialPort& port) { return port.SetCommState(dcb); });
}

bool ReplaceablePort::EscapeCommFunction(uint32_t function) {
    return OnDevice([&](SerialPort& port) { return port.EscapeCommFunction(function); });
}

bool ReplaceablePort::SetCommBreak() {
    return OnDevice([](SerialPort& port) { return port.SetCommBreak(); });
}

bool ReplaceablePort::ClearCommBreak() {
    return OnDevice([](SerialPort& port) { return port.ClearCommBreak(); });
}

bool ReplaceablePort::GetCommModemStatus(uint32_t& status) {
    return OnDevice([&](SerialPort& port) { return port.GetCommModemStatus(status); });
}

bool ReplaceablePort::WaitCommEvent(uint32_t& events) {
    return OnDevice([&](SerialPort& port) { return port.WaitCommEvent(events); });
}

bool ReplaceablePort::ClearCommError(uint32_t& errors, CommStat* stat) {
    return OnDevice([&](SerialPort& port) { return port.ClearCommError(errors, stat); });
}

bool ReplaceablePort::ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read,
                               Overlapped& overlapped) {
    return OnDevice(
        [&](SerialPort& port) { return port.ReadFile(buffer, count, read, overlapped); });
}

bool ReplaceablePort::WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) {
    return OnDevice([&](SerialPort& port) { return port.WriteFile(bytes, count, overlapped); });
}

bool ReplaceablePort::GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred,
                                          bool wait) {
    return OnDevice(
        [&](SerialPort& port) { return port.GetOverlappedResult(overlapped, transferred, wait); });
}

std::vector<std::string> ReplaceablePort::TakeNotices() {
    std::shared_lock lock(mutex_);
    return device_ ? device_->TakeNotices() : std::vector<std::string>{};
}

}  // namespace drel::platform
