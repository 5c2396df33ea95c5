#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/PortNames.h"

namespace drel::test {

namespace {

using Clock = std::chrono::steady_clock;

// Polls `fd` for `events` until they come or `deadline` passes. True when they came.
bool PollUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, events, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0 || grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0 ||
        fcntl(masterFd_, F_SETFL, O_NONBLOCK) != 0) {
        CloseIfOpen(masterFd_);
        return;
    }
    char name[64] = {};
    if (ptsname_r(masterFd_, name, sizeof name) != 0) {
        CloseIfOpen(masterFd_);
        return;
    }
    slavePath_ = name;
    slaveFd_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (slaveFd_ < 0 || tcgetattr(slaveFd_, &tio) != 0) {
        CloseIfOpen(slaveFd_);
        CloseIfOpen(masterFd_);
        return;
    }
    cfmakeraw(&tio);
    tcsetattr(slaveFd_, TCSANOW, &tio);
}

PseudoTerminal::~PseudoTerminal() {
    HangUp();
}

bool PseudoTerminal::Write(const uint8_t* bytes, size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(masterFd_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!PollUntil(masterFd_, POLLOUT, deadline)) {
            return false;
        }
    }
    return true;
}

bool PseudoTerminal::Write(std::string_view bytes, std::chrono::milliseconds timeout) {
    return Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeout);
}

std::vector<uint8_t> PseudoTerminal::Read(size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::vector<uint8_t> bytes(count);
    size_t done = 0;
    while (done < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const auto n = ReadSome(bytes.data() + done, count - done,
                                std::max(left, std::chrono::milliseconds(0)));
        if (!n || *n == 0) {
            break;
        }
        done += *n;
    }
    bytes.resize(done);
    return bytes;
}

std::optional<size_t> PseudoTerminal::ReadSome(uint8_t* buffer, size_t max,
                                               std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const ssize_t n = read(masterFd_, buffer, max);
        if (n >= 0) {
            return static_cast<size_t>(n);
        }
        if (errno != EAGAIN && errno != EINTR) {
            return std::nullopt;
        }
        if (!PollUntil(masterFd_, POLLIN, deadline)) {
            return 0;
        }
    }
}

size_t PseudoTerminal::Unread() const {
    int queued = 0;
    return ioctl(masterFd_, FIONREAD, &queued) == 0 ? static_cast<size_t>(queued) : 0;
}

void PseudoTerminal::HangUp() {
    CloseIfOpen(masterFd_);
    CloseIfOpen(slaveFd_);
}

TemporaryConfigHome::TemporaryConfigHome() {
    if (const char* previous = std::getenv("XDG_CONFIG_HOME"); previous != nullptr) {
        previous_ = previous;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "drel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
        setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
}

TemporaryConfigHome::~TemporaryConfigHome() {
    if (previous_) {
        setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

bool TemporaryConfigHome::MakePortLink(const std::string& name, const std::string& target) {
    const std::filesystem::path folder = platform::PortLinksFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return false;
    }
    // Made beside it and renamed over it, so that a link that exists already is pointed at the
    // new target in one step, as udev moves its links: nobody ever finds the name missing.
    const std::filesystem::path fresh = folder / ("." + name + ".new");
    std::filesystem::remove(fresh, error);
    std::filesystem::create_symlink(target, fresh, error);
    if (error) {
        return false;
    }
    std::filesystem::rename(fresh, folder / name, error);
    return !error;
}

}  // namespace drel::test
