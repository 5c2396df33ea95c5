// drel-devsim: a simulated boot monitor on a pseudo-terminal, for tests, benchmarks and demo
// runs of drel. It creates the terminal, optionally publishes it under a port name, prints
// one line naming it, and serves the host until SIGINT, SIGTERM or SIGHUP. The result line of
// every image load goes to stderr or to the --log file.

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "DeviceServer.h"
#include "DevsimOptions.h"
#include "PortLink.h"

namespace {

using drel::devsim::DeviceServer;
using drel::devsim::DevsimOptions;
using drel::devsim::kDevsimUsage;
using drel::devsim::PortLink;

int Failure(const std::string& message) {
    std::cerr << "drel-devsim: " << message << '\n';
    return 1;
}

// Blocks the stop signals and returns a descriptor that turns readable when one arrives, so
// that the loop ends normally and the port link is removed. -1 on failure, with errno set.
int WatchStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The one line that tells scripts and tests where the device is.
void Announce(const std::string& portName, const std::string& slavePath) {
    std::cout << "drel-devsim: ";
    if (!portName.empty()) {
        std::cout << portName << " -> ";
    }
    std::cout << slavePath << std::endl;
}

// Creates and publishes the device, then serves the host, writing load results to `results`;
// returns the exit status.
int Run(const DevsimOptions& options, std::ostream& results, int stopFd) {
    DeviceServer server(options, results);
    PortLink link;
    std::string error;
    if (!server.Open(error)) {
        return Failure(error);
    }
    if (!options.portName.empty() && !link.Publish(options.portName, server.slavePath(), error)) {
        return Failure(error);
    }
    Announce(options.portName, server.slavePath());
    return server.Serve(stopFd, error) ? 0 : Failure(error);
}

}  // namespace

int main(int argc, char** argv) {
    DevsimOptions options;
    std::string error;
    if (!drel::devsim::ParseDevsimOptions(argc, argv, options, error)) {
        std::cerr << "drel-devsim: " << error << '\n' << kDevsimUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kDevsimUsage;
        return 0;
    }
    std::ofstream log;
    if (!options.logPath.empty()) {
        log.open(options.logPath, std::ios::out | std::ios::trunc);
        if (!log) {
            return Failure("cannot write the log " + options.logPath + ": " + std::strerror(errno));
        }
    }
    // Nobody may be reading the announcement any more; that must not end the device.
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = WatchStopSignals();
    if (stopFd < 0) {
        return Failure(std::string("cannot watch for stop signals: ") + std::strerror(errno));
    }
    const int status = Run(options, options.logPath.empty() ? std::cerr : log, stopFd);
    close(stopFd);
    return status;
}
