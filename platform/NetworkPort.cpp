#include "platform/NetworkPort.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/ComPortSettings.h"
#include "platform/CommError.h"
#include "platform/NetworkConnect.h"
#include "platform/PortCompletion.h"

namespace drel::platform {

namespace {

using Clock = std::chrono::steady_clock;

// The most one read from the socket takes; the receive loop drains it before the next.
constexpr size_t kReceiveSize = 64 * 1024;
// How long a purge of what the server's line received waits for the server to carry it out. A
// server purges when it gets to it; the line's bytes before that are thrown away there, so the
// purge is only done, and what the device sends from now on safe, once the server says so. A
// server that never answers purges costs this once per open.
constexpr std::chrono::milliseconds kPurgePatience{500};

std::unique_ptr<NetworkPort> Fail(uint32_t error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace

std::unique_ptr<NetworkPort> NetworkPort::Open(const NetworkAddress& address,
                                               std::chrono::milliseconds patience, int stopFd) {
    const Clock::time_point deadline = Clock::now() + patience;
    const int fd = ConnectTcp(address, patience, stopFd);
    if (fd < 0) {
        return nullptr;
    }
    const bool rfc2217 = address.protocol == NetworkAddress::Protocol::Rfc2217;
    std::unique_ptr<NetworkPort> port(new NetworkPort(fd, rfc2217));
    if (!port->mask_.IsValid() || !port->writeAbort_.IsValid() || !port->outputWaiting_.IsValid()) {
        return Fail(static_cast<uint32_t>(errno));
    }
    if (rfc2217 && !port->Negotiate(deadline, stopFd)) {
        return nullptr;
    }
    return port;
}

NetworkPort::NetworkPort(int fd, bool rfc2217) : fd_(fd), shadow_(InitialPortState()) {
    if (rfc2217) {
        comPort_.emplace();
    }
}

NetworkPort::~NetworkPort() {
    close(fd_);
}

// Sends the opening negotiation and takes the server's answers until it has taken or refused
// the COM-PORT option. A server that refuses it still carries the data, so the port opens; one
// that does not answer in time is no RFC 2217 server (or a stuck one).
bool NetworkPort::Negotiate(Clock::time_point deadline, int stopFd) {
    std::unique_lock lock(mutex_);
    output_ = comPort_->Open();
    for (;;) {
        SendLocked();
        if (comPort_->ComPortAgreement() != ComPortClient::Agreement::Pending) {
            return true;
        }
        if (endedWith_ != 0) {
            SetLastError(ECONNRESET);
            return false;
        }
        const short wanted = POLLIN | (output_.empty() ? 0 : POLLOUT);
        pollfd fds[] = {{fd_, wanted, 0}, {stopFd, POLLIN, 0}};
        lock.unlock();
        const int ready = poll(fds, stopFd >= 0 ? 2 : 1, MillisecondsLeft(deadline));
        lock.lock();
        if (ready == 0 || (ready < 0 && errno != EINTR)) {
            SetLastError(EPROTO);
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            SetLastError(ECANCELED);
            return false;
        }
        if ((fds[0].revents & ~POLLOUT) != 0) {
            ReceiveLocked();
        }
    }
}

// Reads what the socket holds, once, into the input queue, and answers the server's
// negotiation. Records the end of the connection. Returns 0, or the errno it ended with.
int NetworkPort::ReceiveLocked() {
    if (endedWith_ != 0) {
        return endedWith_;
    }
    char buffer[kReceiveSize];
    ssize_t n = 0;
    do {
        n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return 0;
    }
    if (n <= 0) {
        endedWith_ = n == 0 ? ECONNRESET : errno;
        return endedWith_;
    }
    if (!comPort_) {
        input_.append(buffer, static_cast<size_t>(n));
        return 0;
    }
    ComPortClient::Received received;
    comPort_->Receive(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(n), received);
    if (received.dataBeforePurge) {
        // Sent before the server purged its line: a local port's purge would have dropped it.
        input_.clear();
        received.data.erase(0, *received.dataBeforePurge);
    }
    input_ += received.data;
    output_ += received.reply;
    return SendLocked();
}

// Hands the socket as much of the output queue as it takes now. Returns 0, or the errno the
// connection ended with.
int NetworkPort::SendLocked() {
    while (!output_.empty() && endedWith_ == 0) {
        const ssize_t n = send(fd_, output_.data(), output_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            output_.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            endedWith_ = n == 0 ? ECONNRESET : errno;
        }
    }
    return endedWith_;
}

// Output the socket has not taken goes on with the receive loop's wait, when no write waits to
// push it.
void NetworkPort::KeepSendingLocked() {
    if (!output_.empty()) {
        outputWaiting_.Raise();
    }
}

// Builds a command with the COM-PORT client and queues it behind everything queued before it,
// under one lock. Raw TCP has no such commands: modem lines and breaks fail as on a port without
// them.
template <class Build>
bool NetworkPort::SendComPortCommand(Build build) {
    if (!comPort_) {
        return FailWithErrno(ENOTTY);
    }
    std::lock_guard lock(mutex_);
    return QueueLocked(build(*comPort_));
}

// Queues `bytes` for the server behind everything queued before them and sends what the socket
// takes. Fails with EIO once the connection has ended.
bool NetworkPort::QueueLocked(const std::string& bytes) {
    if (endedWith_ != 0) {
        return FailWithErrno(EIO);
    }
    output_ += bytes;
    SendLocked();
    KeepSendingLocked();
    return true;
}

bool NetworkPort::SetCommMask(uint32_t mask) {
    mask_.Set(mask);
    return true;
}

bool NetworkPort::SetupComm(uint32_t inQueue, uint32_t outQueue) {
    std::lock_guard lock(mutex_);
    inQueueSize_ = inQueue;
    outQueueSize_ = outQueue;
    return true;
}

bool NetworkPort::PurgeComm(uint32_t flags) {
    if ((flags & PURGE_TXABORT) != 0) {
        writeAbort_.Raise();
    }
    const bool input = (flags & PURGE_RXCLEAR) != 0;
    const bool output = (flags & PURGE_TXCLEAR) != 0;
    if (input) {
        std::lock_guard lock(mutex_);
        input_.clear();
    }
    if (!comPort_ || (!input && !output)) {
        return true;
    }
    uint32_t answered = 0;
    if (!SendComPortCommand([&](ComPortClient& client) {
            answered = client.PurgesAnswered();
            return client.Purge(input, output);
        })) {
        return false;
    }
    if (input) {
        AwaitPurgeAnswer(answered, Clock::now() + kPurgePatience);
    }
    return true;
}

// Takes the server's bytes until it has answered more purges than `answered`, the connection
// ends, or `deadline` passes.
void NetworkPort::AwaitPurgeAnswer(uint32_t answered, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    while (comPort_->PurgesAnswered() == answered && endedWith_ == 0) {
        pollfd socket{fd_, POLLIN, 0};
        lock.unlock();
        const int ready = poll(&socket, 1, MillisecondsLeft(deadline));
        lock.lock();
        if (ready == 0 || (ready < 0 && errno != EINTR)) {
            return;
        }
        ReceiveLocked();
    }
}

bool NetworkPort::SetCommTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return true;
}

bool NetworkPort::GetCommState(Dcb& dcb) {
    std::lock_guard lock(mutex_);
    dcb = shadow_;
    return true;
}

bool NetworkPort::SetCommState(const Dcb& dcb) {
    std::lock_guard lock(mutex_);
    // Over raw TCP the settings are checked as a local port checks them, and kept.
    ComPortClient unsent;
    std::string commands;
    if (const uint32_t error = AppendComPortSettings(dcb, comPort_ ? *comPort_ : unsent, commands);
        error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    shadow_ = dcb;
    shadow_.DCBlength = sizeof(Dcb);
    return !comPort_ || QueueLocked(commands);
}

bool NetworkPort::EscapeCommFunction(uint32_t function) {
    if (function != SETDTR && function != CLRDTR && function != SETRTS && function != CLRRTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const bool dtr = function == SETDTR || function == CLRDTR;
    return SendComPortCommand([&](ComPortClient& client) {
        return dtr ? client.SetDtr(function == SETDTR) : client.SetRts(function == SETRTS);
    });
}

// The break command queues behind the data written before it, which the server sends first.
bool NetworkPort::SetCommBreak() {
    return SendComPortCommand([](ComPortClient& client) { return client.SetBreak(true); });
}

bool NetworkPort::ClearCommBreak() {
    return SendComPortCommand([](ComPortClient& client) { return client.SetBreak(false); });
}

bool NetworkPort::GetCommModemStatus(uint32_t& status) {
    status = 0;
    std::lock_guard lock(mutex_);
    if (!comPort_ || !comPort_->ModemState(status)) {
        return FailWithErrno(ENOTTY);
    }
    return true;
}

bool NetworkPort::WaitCommEvent(uint32_t& events) {
    events = 0;
    uint64_t generation = 0;
    const bool wantInput = mask_.WantsInput();
    if (mask_.Begin(generation)) {
        return true;
    }
    for (;;) {
        short wanted = wantInput ? POLLIN : 0;
        {
            std::lock_guard lock(mutex_);
            if (wantInput && !input_.empty()) {
                events = EV_RXCHAR;
                return true;
            }
            if (endedWith_ != 0) {
                return FailWithErrno(EIO);
            }
            wanted |= output_.empty() ? 0 : POLLOUT;
        }
        pollfd fds[] = {
            {fd_, wanted, 0}, {mask_.fd(), POLLIN, 0}, {outputWaiting_.fd(), POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FailWithErrno(errno);
        }
        if ((fds[1].revents & POLLIN) != 0 && mask_.Changed(generation)) {
            return true;
        }
        if ((fds[2].revents & POLLIN) != 0) {
            outputWaiting_.Drain();
        }
        std::lock_guard lock(mutex_);
        if ((fds[0].revents & POLLOUT) != 0) {
            SendLocked();
        }
        if ((fds[0].revents & ~POLLOUT) != 0) {
            ReceiveLocked();
        }
    }
}

bool NetworkPort::ClearCommError(uint32_t& errors, CommStat* stat) {
    std::lock_guard lock(mutex_);
    errors = comPort_ ? comPort_->TakeLineErrors() : 0;
    if (stat != nullptr) {
        stat->cbInQue = static_cast<uint32_t>(std::min<size_t>(input_.size(), UINT32_MAX));
    }
    return true;
}

bool NetworkPort::ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read,
                           Overlapped& overlapped) {
    std::lock_guard lock(mutex_);
    read = static_cast<uint32_t>(std::min<size_t>(count, input_.size()));
    if (read == 0 && count > 0 && endedWith_ != 0) {
        return FailWithErrno(EIO);
    }
    std::copy_n(input_.data(), read, buffer);
    input_.erase(0, read);
    SignalDone(overlapped);
    return true;
}

bool NetworkPort::WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) {
    writeAbort_.Arm();
    overlapped.pendingBytes = bytes;
    overlapped.pendingCount = count;
    overlapped.pendingDone = 0;
    std::lock_guard lock(mutex_);
    TakePendingLocked(overlapped);
    if (SendLocked() != 0) {
        overlapped.pendingBytes = nullptr;
        SignalDone(overlapped);
        return FailWithErrno(EIO);
    }
    if (overlapped.pendingDone == count) {
        overlapped.pendingBytes = nullptr;
        KeepSendingLocked();
        SignalDone(overlapped);
        return true;
    }
    if (overlapped.hEvent != nullptr) {
        overlapped.hEvent->Reset();
    }
    SetLastError(ERROR_IO_PENDING);
    return false;
}

// Moves as much of the pending write into the output queue as its limit lets.
void NetworkPort::TakePendingLocked(Overlapped& overlapped) {
    while (overlapped.pendingDone < overlapped.pendingCount && output_.size() < kOutputLimit &&
           endedWith_ == 0) {
        const size_t room = kOutputLimit - output_.size();
        const size_t take = std::min(room, overlapped.pendingCount - overlapped.pendingDone);
        const uint8_t* from = overlapped.pendingBytes + overlapped.pendingDone;
        if (comPort_) {
            output_ += comPort_->EncodeData(from, take);
        } else {
            output_.append(reinterpret_cast<const char*>(from), take);
        }
        overlapped.pendingDone += take;
    }
}

// Waits until the socket takes more or a PurgeComm(PURGE_TXABORT) comes.
int NetworkPort::WaitUntilSendable() {
    pollfd fds[] = {{fd_, POLLOUT, 0}, {writeAbort_.fd(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
        return errno == EINTR ? 0 : errno;
    }
    if ((fds[1].revents & POLLIN) != 0) {
        writeAbort_.Drain();
    }
    return 0;
}

bool NetworkPort::GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred, bool wait) {
    if (overlapped.pendingBytes == nullptr) {
        transferred = static_cast<uint32_t>(overlapped.pendingDone);
        return true;
    }
    for (;;) {
        if (writeAbort_.Aborted()) {
            return FinishWrite(overlapped, transferred, ERROR_OPERATION_ABORTED);
        }
        {
            std::lock_guard lock(mutex_);
            SendLocked();
            TakePendingLocked(overlapped);
            if (SendLocked() != 0) {
                return FinishWrite(overlapped, transferred, EIO);
            }
            if (overlapped.pendingDone == overlapped.pendingCount) {
                KeepSendingLocked();
                return FinishWrite(overlapped, transferred, ERROR_SUCCESS);
            }
        }
        if (!wait) {
            transferred = static_cast<uint32_t>(overlapped.pendingDone);
            SetLastError(ERROR_IO_INCOMPLETE);
            return false;
        }
        if (const int err = WaitUntilSendable(); err != 0) {
            return FinishWrite(overlapped, transferred, static_cast<uint32_t>(err));
        }
    }
}

std::vector<std::string> NetworkPort::TakeNotices() {
    std::lock_guard lock(mutex_);
    return comPort_ ? comPort_->TakeNotices() : std::vector<std::string>{};
}

}  // namespace drel::platform
