#include "DeviceServer.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace drel::devsim {

namespace {

// While this much output waits for the host, the device reads no more input.
constexpr std::size_t kMaxQueued = 64 * 1024;

// At most this many packets are read in a row before queued output gets its turn.
constexpr int kReadsPerTurn = 16;

// A flood keeps at most this much queued, well below kMaxQueued, so that the host's input is
// still read and answered during a flood.
constexpr std::size_t kFloodQueued = 16 * 1024;

timespec TimeoutFor(DeviceServer::Clock::duration left) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::max(left, DeviceServer::Clock::duration::zero()))
                        .count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

// What the next poll waits for: events on the master, and a time to wake up by, if any.
struct DeviceServer::Wait {
    short masterEvents = 0;
    std::optional<Clock::time_point> until;

    void WakeBy(Clock::time_point time) {
        if (!until || time < *until) {
            until = time;
        }
    }
};

DeviceServer::DeviceServer(const DevsimOptions& options, std::ostream& results,
                           std::ostream* timing)
    : device_(options.device),
      floodOptions_(options.flood),
      floodSeed_(options.seed),
      results_(results),
      timing_(timing) {
    if (options.paceBaud > 0) {
        pacer_.emplace(options.paceBaud / 10, Clock::now());
    }
    if (options.maxChunk > 0) {
        chunker_.emplace(options.maxChunk, options.seed);
    }
}

bool DeviceServer::Open(std::string& error) {
    if (!pty_.Open(error)) {
        return false;
    }
    // The start greeting goes out before anyone can know the port, so a host's purge after
    // opening always comes later and clears it.
    pty_.Queue(device_.Start());
    return pty_.WriteQueued(error);
}

bool DeviceServer::Serve(int stopFd, int floodStartFd, std::string& error) {
    for (;;) {
        const Wait wait = NextWait(Clock::now());
        pollfd fds[] = {{stopFd, POLLIN, 0},
                        {pty_.hostCloseWatchFd(), POLLIN, 0},
                        {pty_.masterFd(), wait.masterEvents, 0},
                        {floodStartFd, POLLIN, 0}};
        timespec timeout{};
        if (wait.until) {
            timeout = TimeoutFor(*wait.until - Clock::now());
        }
        if (ppoll(fds, std::size(fds), wait.until ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("waiting for the host failed: ") + std::strerror(errno);
            return false;
        }
        if (fds[0].revents != 0) {
            return true;
        }
        if (fds[1].revents != 0) {
            pty_.HostClosed();
        }
        if ((fds[2].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            error = "the pseudo-terminal " + pty_.slavePath() + " hung up";
            return false;
        }
        if ((fds[2].revents & POLLIN) != 0 && !ServeInput(error)) {
            return false;
        }
        if (fds[3].revents != 0) {
            StartFlood(floodStartFd);
        }
        const bool wasLoading = device_.loading();
        pty_.Queue(device_.TimePassed(Clock::now()));
        TimeLoadEnd(wasLoading, Clock::now());
        FeedFlood(Clock::now());
        if (!WriteOutput(error)) {
            return false;
        }
        EndDrainedFlood(Clock::now());
        if (!ReportResults(error)) {
            return false;
        }
    }
}

// Input is wanted while the output queue has room and the pace allows; output while some is
// queued and no chunk gap runs. What holds either back sets the time to look again.
DeviceServer::Wait DeviceServer::NextWait(Clock::time_point now) {
    Wait wait;
    if (pty_.queuedBytes() < kMaxQueued) {
        if (!pacer_ || pacer_->Allowance(now) > 0) {
            wait.masterEvents |= POLLIN;
        } else {
            wait.WakeBy(pacer_->NextByteAt());
        }
    }
    if (pty_.queuedBytes() > 0) {
        if (!chunker_ || chunker_->Allowance(now) > 0) {
            wait.masterEvents |= POLLOUT;
        } else {
            wait.WakeBy(chunker_->ReadyAt());
        }
    }
    if (const auto deadline = device_.Deadline()) {
        wait.WakeBy(*deadline);
    }
    if (flood_ && !flood_->Over(now) && pty_.queuedBytes() < kFloodQueued) {
        // An unpaced flood goes on as soon as the host has room for more.
        if (!flood_->paced()) {
            wait.masterEvents |= POLLOUT;
        }
        wait.WakeBy(flood_->NextFeedAt());
    }
    return wait;
}

// Reads what the host sent, as far as the pace allows, and queues the device's answers, until
// nothing is left to read, the turn is over or the queue is full.
bool DeviceServer::ServeInput(std::string& error) {
    for (int reads = 0; reads < kReadsPerTurn && pty_.queuedBytes() < kMaxQueued; ++reads) {
        const Clock::time_point now = Clock::now();
        const std::size_t allowance = pacer_ ? pacer_->Allowance(now) : DevicePty::kMaxRead;
        if (allowance == 0) {
            return true;
        }
        MasterPacket packet;
        switch (pty_.Read(packet, error, allowance)) {
            case DevicePty::ReadResult::NothingToRead:
                return true;
            case DevicePty::ReadResult::Failed:
                return false;
            case DevicePty::ReadResult::Packet:
                break;
        }
        if (pacer_) {
            pacer_->Took(packet.data.size());
        }
        Answer(packet, Clock::now());
    }
    return true;
}

// Queues the device's answer to one packet: the host's purge (its open) is greeted, data is
// taken by the device.
void DeviceServer::Answer(const MasterPacket& packet, Clock::time_point now) {
    const bool wasLoading = device_.loading();
    if (packet.hostPurgedInput || packet.hostPurgedOutput) {
        // The host threw away what had reached it. Output still queued belongs to the same
        // past and would otherwise arrive ahead of the new greeting.
        if (packet.hostPurgedInput) {
            pty_.DiscardQueued();
        }
        pty_.Queue(device_.HostPurged(packet.hostPurgedInput));
    }
    if (!packet.data.empty()) {
        loadTimer_.Heard(now, wasLoading);
    }
    const std::string reply = device_.Receive(packet.data, now);
    pty_.Queue(reply);
    if (device_.loading() && reply.ends_with(ImageReceiver::kRecordRequest)) {
        loadTimer_.RecordRequested();
    }
    TimeLoadEnd(wasLoading, now);
}

void DeviceServer::TimeLoadEnd(bool wasLoading, Clock::time_point now) {
    if (wasLoading && !device_.loading() && timing_ != nullptr) {
        loadTimer_.LoadEnded(now, *timing_);
    }
}

// A flood signal: consumes it, and starts a flood unless one runs already.
void DeviceServer::StartFlood(int floodStartFd) {
    signalfd_siginfo signal;
    while (read(floodStartFd, &signal, sizeof signal) == sizeof signal) {
    }
    if (flood_) {
        return;
    }
    if (floodOptions_.randomBytes > 0) {
        flood_.emplace(floodOptions_.randomBytes, floodSeed_, floodOptions_.baud / 10,
                       Clock::now());
    } else if (floodOptions_.seconds > 0) {
        flood_.emplace(std::chrono::seconds(floodOptions_.seconds), floodOptions_.baud / 10,
                       Clock::now());
    }
}

// Queues what the flood has due.
void DeviceServer::FeedFlood(Clock::time_point now) {
    if (flood_ && !flood_->Over(now)) {
        std::string text;
        flood_->Feed(now, kFloodQueued - std::min(kFloodQueued, pty_.queuedBytes()), text);
        pty_.Queue(text);
    }
}

// Once the flood is over and the host has taken everything, logs its summary and ends it.
void DeviceServer::EndDrainedFlood(Clock::time_point now) {
    if (flood_ && flood_->Over(now) && pty_.queuedBytes() == 0) {
        results_ << flood_->Summary(now) << '\n';
        flood_.reset();
    }
}

bool DeviceServer::WriteOutput(std::string& error) {
    const bool written = WriteSome(error);
    if (written && pty_.queuedBytes() == 0) {
        loadTimer_.OutputDrained(Clock::now());
    }
    return written;
}

bool DeviceServer::WriteSome(std::string& error) {
    if (!chunker_) {
        return pty_.WriteQueued(error);
    }
    const Clock::time_point now = Clock::now();
    const std::size_t allowance = chunker_->Allowance(now);
    if (allowance == 0 || pty_.queuedBytes() == 0) {
        return true;
    }
    std::size_t written = 0;
    if (!pty_.WriteQueuedUpTo(allowance, written, error)) {
        return false;
    }
    chunker_->Wrote(written, now);
    return true;
}

bool DeviceServer::ReportResults(std::string& error) {
    for (const std::string& line : device_.TakeResults()) {
        results_ << line << '\n';
    }
    if (!results_.flush()) {
        error = "cannot write the load results";
        return false;
    }
    if (timing_ != nullptr && !*timing_) {
        error = "cannot write the load timing";
        return false;
    }
    return true;
}

}  // namespace drel::devsim
