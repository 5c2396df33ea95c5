#pragma once

// Waiting for a descriptor with a deadline, for the tests of drel-devsim.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

namespace drel::devsim::test {

using Clock = std::chrono::steady_clock;

inline int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Whether `fd` turned readable (or reached its end) before the deadline.
inline bool WaitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
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

}  // namespace drel::devsim::test
