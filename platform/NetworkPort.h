#pragma once

// A serial line served over the network: a TCP connection to a server that carries the line's
// bytes, with the line settings sent as COM-PORT commands (RFC 2217) or not at all (raw TCP).
// It behaves as a local port does for the connection code; what the server cannot do (read back
// the line, drain its output) is done as far as the protocol lets.
//
// Data flow. Nothing blocks except the two waits. The server's bytes are read from the socket by
// WaitCommEvent (the receive loop's thread) into an input queue, decoded on the way; ReadFile
// takes from that queue. Everything for the server (data, commands, answers to its negotiation)
// goes into one output queue in the order it was made, so a command never lands inside the
// data written before it; whoever adds to the queue sends what the socket takes, and the rest
// goes as the socket makes room: pushed by a pending write's completion, or by the receive
// loop's wait, which a wake signal tells that something is left. A write is "taken by the port"
// once it is in the output queue, which holds at most kOutputLimit bytes of data beyond what
// the socket has taken, so a server that stops reading (flow control on its line) holds the
// writer back as a local line does.
//
// Threads. As LinuxSerialPort: the receive loop waits and reads while other threads write and
// set the line; the queues and the protocol state sit under one mutex held only around
// non-blocking calls. A connection the server ends, or that fails, makes waits, reads and
// writes fail with EIO once what it delivered has been read: the device has gone away.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ComPortClient.h"
#include "platform/NetworkAddress.h"
#include "platform/PortCompletion.h"
#include "platform/SerialPort.h"
#include "platform/WakeSignal.h"

namespace drel::platform {

class NetworkPort final : public SerialPort {
  public:
    // How much data the output queue takes beyond what the socket has taken.
    static constexpr size_t kOutputLimit = 16 * 1024;

    // Connects to `address` and, for RFC 2217, waits until the server has answered the COM-PORT
    // option, all within `patience`. Null on failure with the reason in the last error: those
    // of ConnectTcp (NetworkConnect.h), EPROTO when the negotiation was not done in time,
    // ECONNRESET when the server ended the connection during it, ECANCELED when `stopFd` (-1:
    // none) became readable meanwhile. Any thread.
    static std::unique_ptr<NetworkPort> Open(const NetworkAddress& address,
                                             std::chrono::milliseconds patience, int stopFd = -1);

    // Closes the connection. No call may be running.
    ~NetworkPort() override;

    // As SerialPort.h says, with these differences. GetCommState returns what was last set (the
    // server's line cannot be read back). Modem lines, breaks and purges are commands to an RFC
    // 2217 server and are accepted unanswered; over raw TCP the line settings are kept but not
    // sent, and modem lines and breaks are refused as on a port without them. Output already in
    // the output queue is never purged locally (it may hold commands), only at the server. A
    // purge of the input waits (briefly) until the server has carried it out, and drops what
    // came before that.
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
    std::vector<std::string> TakeNotices() override;

  private:
    NetworkPort(int fd, bool rfc2217);

    bool Negotiate(std::chrono::steady_clock::time_point deadline, int stopFd);
    int ReceiveLocked();
    int SendLocked();
    template <class Build>
    bool SendComPortCommand(Build build);
    bool QueueLocked(const std::string& bytes);
    void AwaitPurgeAnswer(uint32_t answered, std::chrono::steady_clock::time_point deadline);
    void KeepSendingLocked();
    void TakePendingLocked(Overlapped& overlapped);
    int WaitUntilSendable();

    const int fd_;
    EventMask mask_;            // its change ends a pending WaitCommEvent
    WriteAbort writeAbort_;     // ends a pending write completion
    WakeSignal outputWaiting_;  // tells the receive loop's wait that output is left to send

    std::mutex mutex_;  // guards what follows; held only around non-blocking calls
    std::optional<ComPortClient> comPort_;  // none over raw TCP
    std::string input_;                     // the line's bytes received, not yet read
    std::string output_;                    // bytes for the server, not yet taken by the socket
    int endedWith_ = 0;  // the errno the connection ended with; 0 while it stands
    Dcb shadow_;
    CommTimeouts timeouts_;
    uint32_t inQueueSize_ = 0;
    uint32_t outQueueSize_ = 0;
};

}  // namespace drel::platform
