#pragma once

// The device's end of a pseudo-terminal, and the queue of bytes waiting to go out on it.
//
// The host (drel, a test) opens the slave side as its serial port; the device reads and writes
// the master side. The device keeps a slave descriptor of its own open for its whole life:
// the slave's settings (raw, so the line discipline never echoes or translates CR and LF)
// then survive the host's closes, and the master never sees the hang-up of a last close.
// Because that descriptor keeps the terminal alive, a host's exclusive mode (TIOCEXCL) would
// also outlive the host's close and lock out its next open (unless the host runs as root);
// the device therefore watches the slave for closes and ends exclusive mode after each, as
// the last close of a serial port does. A reopen within the moment the device takes to notice
// may still find the port busy.
//
// The master is non-blocking and in packet mode (see MasterPacket.h). Bytes to send are
// queued and written as far as the host takes them; none are dropped. One thread uses it.

#include <cstddef>
#include <string>
#include <string_view>

#include "MasterPacket.h"

namespace drel::devsim {

class DevicePty {
  public:
    enum class ReadResult { Packet, NothingToRead, Failed };
    // One read takes at most this many data bytes.
    static constexpr std::size_t kMaxRead = 4096;

    DevicePty() = default;
    DevicePty(const DevicePty&) = delete;
    DevicePty& operator=(const DevicePty&) = delete;
    // Closes every descriptor; the pseudo-terminal disappears with the last of them.
    ~DevicePty();

    // Creates the pseudo-terminal, makes its slave raw and starts watching it. Returns false
    // with the reason in `error` and nothing left open on failure. Call once.
    bool Open(std::string& error);

    // The slave's device path, e.g. /dev/pts/3; empty before Open.
    const std::string& slavePath() const { return slavePath_; }
    // Descriptors to poll: the master, and the watch that turns readable when a host closes
    // the slave.
    int masterFd() const { return masterFd_; }
    int hostCloseWatchFd() const { return watchFd_; }

    // Reads one packet of at most `maxData` data bytes (1 to kMaxRead) from the master into
    // `packet`, whose data stays valid until the next Read; the rest stays on the line.
    // NothingToRead when the host sent nothing; Failed with the reason in `error`.
    ReadResult Read(MasterPacket& packet, std::string& error, std::size_t maxData = kMaxRead);

    // Appends `bytes` to the queue of bytes to send. Never fails.
    void Queue(std::string_view bytes);
    // Drops every queued byte not yet written. Never fails.
    void DiscardQueued();
    // The number of bytes queued and not yet written.
    std::size_t queuedBytes() const { return queue_.size() - queueStart_; }
    // Writes queued bytes until the queue is empty or the host takes no more for now. Returns
    // false with the reason in `error` when the master fails.
    bool WriteQueued(std::string& error);
    // As WriteQueued, writing at most `limit` bytes; `written` tells how many went out.
    bool WriteQueuedUpTo(std::size_t limit, std::size_t& written, std::string& error);

    // Consumes the watch's pending close notices and ends any exclusive mode a host left.
    // Never fails.
    void HostClosed();

  private:
    bool OpenMaster(std::string& error);
    bool OpenSlave(std::string& error);
    bool WatchSlave(std::string& error);
    void CompactQueue();
    void CloseAll();

    int masterFd_ = -1;
    int slaveFd_ = -1;
    int watchFd_ = -1;
    std::string slavePath_;
    std::string readBuffer_;
    std::string queue_;
    std::size_t queueStart_ = 0;
};

}  // namespace drel::devsim
