#include "PtyRelay.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace drel::test {

PtyRelay::PtyRelay() {
    if (pipe2(stop_, O_CLOEXEC) != 0) {
        stop_[0] = stop_[1] = -1;
    }
}

PtyRelay::~PtyRelay() {
    if (stop_[1] >= 0) {
        close(stop_[1]);  // the thread sees the pipe's end
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (stop_[0] >= 0) {
        close(stop_[0]);
    }
}

void PtyRelay::Start(Spoiler spoiler) {
    spoiler_ = std::move(spoiler);
    thread_ = std::thread([this] { Relay(); });
}

void PtyRelay::Relay() {
    const int program = program_.MasterFd();
    const int far = far_.MasterFd();
    for (;;) {
        pollfd fds[] = {{program, POLLIN, 0}, {far, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(fds, 3, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[2].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0 && !Move(program, far, true)) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0 && !Move(far, program, false)) {
            return;
        }
    }
}

// Copies what `from` holds to `to`, waiting for room; false when either fails or the relay
// stops.
bool PtyRelay::Move(int from, int to, bool fromProgram) {
    char buffer[4096];
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    std::string piece(buffer, static_cast<size_t>(n));
    if (fromProgram) {
        if (spoiler_) {
            spoiler_(piece, programBytes_);
        }
        programBytes_ += static_cast<uint64_t>(n);
    }
    for (size_t done = 0; done < piece.size();) {
        const ssize_t w = write(to, piece.data() + done, piece.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            // Waits for room, or for the destructor, which must not wait on a peer gone quiet.
            pollfd fds[] = {{to, POLLOUT, 0}, {stop_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) > 0 && fds[1].revents != 0) {
                return false;
            }
        }
    }
    return true;
}

PtyRelay::Spoiler FlipOneByteIn(uint64_t interval) {
    return [interval](std::string& piece, uint64_t offset) {
        for (size_t i = 0; i < piece.size(); ++i) {
            if ((offset + i) % interval == interval / 2) {
                piece[i] = static_cast<char>(piece[i] ^ 0x55);
            }
        }
    };
}

PtyRelay::Spoiler DropOneStretchIn(uint64_t interval, uint64_t length) {
    return [interval, length](std::string& piece, uint64_t offset) {
        std::string kept;
        for (size_t i = 0; i < piece.size(); ++i) {
            const uint64_t at = (offset + i) % interval;
            if (at < interval / 2 || at >= interval / 2 + length) {
                kept += piece[i];
            }
        }
        piece = std::move(kept);
    };
}

}  // namespace drel::test
