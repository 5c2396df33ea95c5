#include "platform/NetworkConnect.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/CommError.h"

namespace drel::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressListDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

// Waits for a non-blocking connect on `fd` to finish. Returns 0 or the errno it failed with.
int FinishConnect(int fd, Clock::time_point deadline, int stopFd) {
    for (;;) {
        pollfd fds[] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        const int ready = poll(fds, stopFd >= 0 ? 2 : 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return errno;
        }
        if (ready == 0) {
            return ETIMEDOUT;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return ECANCELED;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
            return errno;
        }
        return error;
    }
}

// A connected socket to `candidate`, or -1 with the reason in `error`.
int ConnectTo(const addrinfo& candidate, Clock::time_point deadline, int stopFd, int& error) {
    const int fd = socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          candidate.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    error = connect(fd, candidate.ai_addr, candidate.ai_addrlen) == 0 ? 0 : errno;
    if (error == EINPROGRESS) {
        error = FinishConnect(fd, deadline, stopFd);
    }
    if (error != 0) {
        close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

}  // namespace

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int ConnectTcp(const NetworkAddress& address, std::chrono::milliseconds patience, int stopFd) {
    const Clock::time_point deadline = Clock::now() + patience;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    if (getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found) != 0 ||
        found == nullptr) {
        SetLastError(ERROR_HOST_NOT_FOUND);
        return -1;
    }
    const AddressList list(found);
    int error = ETIMEDOUT;
    for (const addrinfo* candidate = list.get(); candidate != nullptr;
         candidate = candidate->ai_next) {
        if (MillisecondsLeft(deadline) == 0) {
            error = ETIMEDOUT;
            break;
        }
        if (const int fd = ConnectTo(*candidate, deadline, stopFd, error); fd >= 0) {
            return fd;
        }
        if (error == ECANCELED) {
            break;
        }
    }
    FailWithErrno(error);
    return -1;
}

}  // namespace drel::platform
