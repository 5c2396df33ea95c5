// drel-devsim: a simulated boot monitor on a pseudo-terminal, for tests, benchmarks and demo
// runs of drel. It creates the terminal, optionally publishes it under a port name, prints
// one line naming it, and serves the host until SIGINT, SIGTERM or SIGHUP. The result line of
// every image load goes to stderr or to the --log file. With --flood or --flood-random, SIGUSR1
// starts a flood.

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <initializer_list>
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

// Blocks `signals` and returns a descriptor that turns readable when one arrives, so that the
// loop learns of it in order: a stop ends the loop normally and the port link is removed.
// -1 on failure, with errno set.
int WatchSignals(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : signals) {
        sigaddset(&set, signal);
    }
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

// Opens `out` on `path` (emptied), the `what` file. False with a message in `error`.
bool OpenOutput(const std::string& what, const std::string& path, std::ofstream& out,
                std::string& error) {
    out.open(path, std::ios::out | std::ios::trunc);
    if (!out) {
        error = "cannot write the " + what + " " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The one line that tells scripts and tests where the device is.
void Announce(const std::string& portName, const std::string& slavePath) {
    std::cout << "drel-devsim: ";
    if (!portName.empty()) {
        std::cout << portName << " -> ";
    }
    std::cout << slavePath << std::endl;
}

// Creates and publishes the device, then serves the host, writing load results to `results`
// and their timing to `timing` (unless null); returns the exit status.
int Run(const DevsimOptions& options, std::ostream& results, std::ostream* timing, int stopFd,
        int floodStartFd) {
    DeviceServer server(options, results, timing);
    PortLink link;
    std::string error;
    if (!server.Open(error)) {
        return Failure(error);
    }
    if (!options.portName.empty() && !link.Publish(options.portName, server.slavePath(), error)) {
        return Failure(error);
    }
    Announce(options.portName, server.slavePath());
    return server.Serve(stopFd, floodStartFd, error) ? 0 : Failure(error);
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
    if (options.version) {
        std::cout << "drel-devsim " DREL_VERSION "\n";
        return 0;
    }
    std::ofstream log;
    std::ofstream timing;
    if ((!options.logPath.empty() && !OpenOutput("log", options.logPath, log, error)) ||
        (!options.timingPath.empty() && !OpenOutput("timing", options.timingPath, timing, error))) {
        return Failure(error);
    }
    // Nobody may be reading the announcement any more; that must not end the device.
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = WatchSignals({SIGINT, SIGTERM, SIGHUP});
    const int floodStartFd = options.flood.wanted() ? WatchSignals({SIGUSR1}) : -1;
    if (stopFd < 0 || (options.flood.wanted() && floodStartFd < 0)) {
        return Failure(std::string("cannot watch for signals: ") + std::strerror(errno));
    }
    const int status = Run(options, options.logPath.empty() ? std::cerr : log,
                           options.timingPath.empty() ? nullptr : &timing, stopFd, floodStartFd);
    close(stopFd);
    if (floodStartFd >= 0) {
        close(floodStartFd);
    }
    return status;
}
