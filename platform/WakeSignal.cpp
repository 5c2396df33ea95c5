#include "WakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace drel::platform {

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void WakeSignal::Raise() {
    const uint64_t one = 1;
    // Only EAGAIN can fail here (the counter is at its maximum), and the descriptor is then
    // readable already.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void WakeSignal::Drain() {
    uint64_t count = 0;
    // One read takes the whole count; EAGAIN means there was nothing to take.
    [[maybe_unused]] const ssize_t taken = read(fd_, &count, sizeof count);
}

}  // namespace drel::platform
