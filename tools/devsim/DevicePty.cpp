#include "DevicePty.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace drel::devsim {

namespace {

// Written bytes are cut from the front of the queue once they are this many and more than the
// bytes still waiting, so that a long output does not move its tail on every write.
constexpr std::size_t kCompactAfter = 64 * 1024;

bool Fail(std::string& error, const std::string& what, int err) {
    error = what + ": " + std::strerror(err);
    return false;
}

bool SetFlags(int fd, int statusFlags) {
    const int current = fcntl(fd, F_GETFL);
    return current >= 0 && fcntl(fd, F_SETFL, current | statusFlags) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

DevicePty::~DevicePty() {
    CloseAll();
}

bool DevicePty::Open(std::string& error) {
    if (OpenMaster(error) && OpenSlave(error) && WatchSlave(error)) {
        return true;
    }
    CloseAll();
    return false;
}

bool DevicePty::OpenMaster(std::string& error) {
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0) {
        return Fail(error, "cannot create a pseudo-terminal", errno);
    }
    char path[128];
    if (!SetFlags(masterFd_, O_NONBLOCK) || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0 ||
        ptsname_r(masterFd_, path, sizeof path) != 0) {
        return Fail(error, "cannot prepare the pseudo-terminal", errno);
    }
    slavePath_ = path;
    // Packet mode: the host's purges reach the master as status bytes.
    int on = 1;
    if (ioctl(masterFd_, TIOCPKT, &on) != 0) {
        return Fail(error, "cannot put the pseudo-terminal in packet mode", errno);
    }
    return true;
}

bool DevicePty::OpenSlave(std::string& error) {
    slaveFd_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0) {
        return Fail(error, "cannot open " + slavePath_, errno);
    }
    // Raw from the start: a host that opens the port without setting it up must already see
    // the device's bytes unchanged, and its own bytes must not be echoed back by the line.
    termios settings{};
    if (tcgetattr(slaveFd_, &settings) != 0) {
        return Fail(error, "cannot read the settings of " + slavePath_, errno);
    }
    cfmakeraw(&settings);
    if (tcsetattr(slaveFd_, TCSANOW, &settings) != 0) {
        return Fail(error, "cannot make " + slavePath_ + " raw", errno);
    }
    return true;
}

bool DevicePty::WatchSlave(std::string& error) {
    watchFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watchFd_ < 0 ||
        inotify_add_watch(watchFd_, slavePath_.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        return Fail(error, "cannot watch " + slavePath_, errno);
    }
    return true;
}

void DevicePty::CloseAll() {
    CloseFd(watchFd_);
    CloseFd(slaveFd_);
    CloseFd(masterFd_);
}

DevicePty::ReadResult DevicePty::Read(MasterPacket& packet, std::string& error,
                                      std::size_t maxData) {
    // The packet's status byte comes first.
    readBuffer_.resize(std::clamp<std::size_t>(maxData, 1, kMaxRead) + 1);
    ssize_t count;
    do {
        count = read(masterFd_, readBuffer_.data(), readBuffer_.size());
    } while (count < 0 && errno == EINTR);
    if (count > 0) {
        packet = SplitMasterPacket(std::string_view(readBuffer_.data(), count));
        return ReadResult::Packet;
    }
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return ReadResult::NothingToRead;
    }
    // The device holds the slave open, so the master never reaches its end.
    Fail(error, "reading the pseudo-terminal failed", count == 0 ? EIO : errno);
    return ReadResult::Failed;
}

void DevicePty::Queue(std::string_view bytes) {
    queue_.append(bytes);
}

void DevicePty::DiscardQueued() {
    queue_.clear();
    queueStart_ = 0;
}

bool DevicePty::WriteQueued(std::string& error) {
    std::size_t written = 0;
    return WriteQueuedUpTo(queuedBytes(), written, error);
}

bool DevicePty::WriteQueuedUpTo(std::size_t limit, std::size_t& written, std::string& error) {
    written = 0;
    while (written < limit && queuedBytes() > 0) {
        const ssize_t count =
            write(masterFd_, queue_.data() + queueStart_, std::min(queuedBytes(), limit - written));
        if (count > 0) {
            queueStart_ += static_cast<std::size_t>(count);
            written += static_cast<std::size_t>(count);
        } else if (count == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else if (errno != EINTR) {
            return Fail(error, "writing the pseudo-terminal failed", errno);
        }
    }
    CompactQueue();
    return true;
}

void DevicePty::CompactQueue() {
    if (queueStart_ == queue_.size()) {
        DiscardQueued();
    } else if (queueStart_ >= kCompactAfter && queueStart_ > queuedBytes()) {
        queue_.erase(0, queueStart_);
        queueStart_ = 0;
    }
}

void DevicePty::HostClosed() {
    alignas(inotify_event) char notices[1024];
    while (read(watchFd_, notices, sizeof notices) > 0) {
    }
    // A failure leaves the terminal as it was; the host's next open then reports it.
    ioctl(slaveFd_, TIOCNXCL);
}

}  // namespace drel::devsim
