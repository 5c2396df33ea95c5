#pragma once

// Waiting for a descriptor with a deadline, for the tests of drel-devsim.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

namespace drel::devsim::test {

using Clock = std::chrono::steady_clock;

inline int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Whether `fd` turned ready for `events` (or reached its end) before the deadline.
inline bool WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd wait{fd, events, 0};
        const int ready = poll(&wait, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Whether `fd` turned readable (or reached its end) before the deadline.
inline bool WaitReadable(int fd, Clock::time_point deadline) {
    return WaitReady(fd, POLLIN, deadline);
}

// Reads until `count` bytes have arrived, the stream ends or the deadline passes; never more.
inline std::string ReadBytes(int fd, std::size_t count, Clock::time_point deadline) {
    std::string bytes;
    while (bytes.size() < count && WaitReadable(fd, deadline)) {
        char chunk[4096];
        const ssize_t got = read(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

// Writes all of `bytes` unless the deadline passes first, never blocking in between: a device
// that stops reading makes this fail, not hang. True when everything went.
inline bool WriteBytes(int fd, std::string_view bytes, Clock::time_point deadline) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        return false;
    }
    while (!bytes.empty() && WaitReady(fd, POLLOUT, deadline)) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return bytes.empty();
}

}  // namespace drel::devsim::test
