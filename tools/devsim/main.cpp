// drel-devsim: a simulated serial device on a pseudo-terminal, for tests, benchmarks and demo
// runs of drel. It creates the terminal, optionally publishes it under a port name, prints
// one line naming it, and serves the host until SIGINT, SIGTERM or SIGHUP.

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "DevicePty.h"
#include "PortLink.h"
#include "SimulatedDevice.h"

namespace {

using drel::devsim::DevicePty;
using drel::devsim::MasterPacket;
using drel::devsim::PortLink;
using drel::devsim::SimulatedDevice;

constexpr std::string_view kUsage =
    "usage: drel-devsim [--as NAME]\n"
    "Simulates a device with the prompt FW> on a pseudo-terminal and prints its path.\n"
    "  --as NAME  publish the terminal as port NAME for drel (a link in\n"
    "             $XDG_CONFIG_HOME/Ovex/drel/ports, removed on exit)\n"
    "  --help     show this help\n";

// While this much output waits for the host, the device reads no more input: a host that
// writes without reading is slowed down by the line instead of growing the queue without end.
constexpr std::size_t kMaxQueued = 64 * 1024;

// At most this many packets are read in a row before queued output gets its turn.
constexpr int kReadsPerTurn = 16;

struct Options {
    std::string portName;  // empty: publish nothing
    bool help = false;
};

int Failure(const std::string& message) {
    std::cerr << "drel-devsim: " << message << '\n';
    return 1;
}

// Whether `arg` is option `name`, alone or as "name=VALUE".
bool IsOption(std::string_view name, std::string_view arg) {
    return arg.starts_with(name) && (arg.size() == name.size() || arg[name.size()] == '=');
}

// The value of the option `name` at argv[i], given as "name VALUE" or "name=VALUE"; `i` moves
// past a value taken from the next argument. Nothing when the value is missing or empty.
std::optional<std::string> OptionValue(std::string_view name, int argc, char** argv, int& i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    if (arg.size() > name.size()) {
        value = arg.substr(name.size() + 1);
    } else if (i + 1 < argc) {
        value = argv[++i];
    }
    return value.empty() ? std::nullopt : std::optional<std::string>(value);
}

// Fills `options` from the command line. Returns false with the reason in `error` for an
// unknown option or a missing or unusable value.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (IsOption("--as", arg)) {
            const std::optional<std::string> name = OptionValue("--as", argc, argv, i);
            if (!name || !PortLink::IsValidName(*name)) {
                error = name ? "'" + *name + "' cannot be a port name: use a file name without '/'"
                             : "--as needs a port name";
                return false;
            }
            options.portName = *name;
        } else {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
    }
    return true;
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

// Queues the device's answer to one packet: the host's purge (its open) is greeted, data is
// echoed.
void Answer(DevicePty& pty, SimulatedDevice& device, const MasterPacket& packet) {
    if (packet.hostPurgedInput || packet.hostPurgedOutput) {
        // The host threw away what had reached it. Output still queued belongs to the same
        // past and would otherwise arrive ahead of the new greeting.
        if (packet.hostPurgedInput) {
            pty.DiscardQueued();
        }
        pty.Queue(device.HostPurged(packet.hostPurgedInput));
    }
    pty.Queue(device.Receive(packet.data));
}

// Reads what the host sent and queues the device's answers, until nothing is left to read,
// the turn is over or the queue is full. Returns false with the reason in `error`.
bool ServeInput(DevicePty& pty, SimulatedDevice& device, std::string& error) {
    for (int reads = 0; reads < kReadsPerTurn && pty.queuedBytes() < kMaxQueued; ++reads) {
        MasterPacket packet;
        switch (pty.Read(packet, error)) {
            case DevicePty::ReadResult::NothingToRead:
                return true;
            case DevicePty::ReadResult::Failed:
                return false;
            case DevicePty::ReadResult::Packet:
                Answer(pty, device, packet);
                break;
        }
    }
    return true;
}

// What to wait for on the master: room for queued output, and input while the queue has room.
short MasterEvents(const DevicePty& pty) {
    short events = 0;
    if (pty.queuedBytes() < kMaxQueued) {
        events |= POLLIN;
    }
    if (pty.queuedBytes() > 0) {
        events |= POLLOUT;
    }
    return events;
}

// Serves the host until a stop signal arrives (returns 0) or the terminal fails (returns 1).
int Serve(DevicePty& pty, SimulatedDevice& device, int stopFd) {
    std::string error;
    for (;;) {
        pollfd fds[] = {{stopFd, POLLIN, 0},
                        {pty.hostCloseWatchFd(), POLLIN, 0},
                        {pty.masterFd(), MasterEvents(pty), 0}};
        if (poll(fds, std::size(fds), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failure(std::string("waiting for the host failed: ") + std::strerror(errno));
        }
        if (fds[0].revents != 0) {
            return 0;
        }
        if (fds[1].revents != 0) {
            pty.HostClosed();
        }
        if ((fds[2].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return Failure("the pseudo-terminal " + pty.slavePath() + " hung up");
        }
        if ((fds[2].revents & POLLIN) != 0 && !ServeInput(pty, device, error)) {
            return Failure(error);
        }
        if (!pty.WriteQueued(error)) {
            return Failure(error);
        }
    }
}

// Creates and publishes the device, then serves the host; returns the exit status.
int Run(const Options& options, int stopFd) {
    DevicePty pty;
    SimulatedDevice device;
    PortLink link;
    std::string error;
    if (!pty.Open(error)) {
        return Failure(error);
    }
    // The start greeting goes out before anyone can know the port, so a host's purge after
    // opening always comes later and clears it.
    pty.Queue(device.Start());
    if (!pty.WriteQueued(error)) {
        return Failure(error);
    }
    if (!options.portName.empty() && !link.Publish(options.portName, pty.slavePath(), error)) {
        return Failure(error);
    }
    Announce(options.portName, pty.slavePath());
    return Serve(pty, device, stopFd);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "drel-devsim: " << error << '\n' << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    // Nobody may be reading the announcement any more; that must not end the device.
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = WatchStopSignals();
    if (stopFd < 0) {
        return Failure(std::string("cannot watch for stop signals: ") + std::strerror(errno));
    }
    const int status = Run(options, stopFd);
    close(stopFd);
    return status;
}
