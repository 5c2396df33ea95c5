#include "cli/Interruption.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

namespace drel::cli {

namespace {

sigset_t InterruptingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

Interruption::Interruption() {
    const sigset_t signals = InterruptingSignals();
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return;
    }
    fd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Blocked with nothing to take them, the signals could not stop the program at all.
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

Interruption::~Interruption() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::optional<int> Interruption::Take() {
    signalfd_siginfo info{};
    if (fd_ < 0 || read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return std::nullopt;
    }
    return static_cast<int>(info.ssi_signo);
}

}  // namespace drel::cli
