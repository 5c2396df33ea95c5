#pragma once

// Runs the simulated device on its pseudo-terminal: one poll loop that moves the host's bytes
// into the device and the device's answers out, at the pace and in the chunks the options ask
// for, wakes the device when its time-outs fall due, and writes the result line of each load
// to a stream. Bytes are never lost or reordered. While the host leaves a lot of output
// unread, no more input is read, so a host that writes without reading is slowed down by the
// line instead of growing the queue without end. On request the server floods the host with
// text or random bytes (DeviceFlood.h), and it can time the loads it serves (LoadTimer.h). One
// thread uses an instance.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "DeviceFlood.h"
#include "DevicePty.h"
#include "DevsimOptions.h"
#include "LinePacer.h"
#include "LoadTimer.h"
#include "OutputChunker.h"
#include "SimulatedDevice.h"

namespace drel::devsim {

class DeviceServer {
  public:
    using Clock = std::chrono::steady_clock;

    // A server for `options`, writing result lines (each ended by '\n') to `results`, and the
    // timing of each load to `timing` unless it is null.
    DeviceServer(const DevsimOptions& options, std::ostream& results,
                 std::ostream* timing = nullptr);

    // Creates the pseudo-terminal and sends the start greeting. Returns false with the reason
    // in `error`. Call once.
    bool Open(std::string& error);
    // The terminal's path for the host, e.g. /dev/pts/3; empty before Open.
    const std::string& slavePath() const { return pty_.slavePath(); }

    // Serves the host until `stopFd` turns readable (returns true) or the terminal or the
    // result stream fails (returns false with the reason in `error`). Each time `floodStartFd`
    // (a signalfd, or -1) turns readable a flood of the options' kind and length starts; its
    // summary line goes to the results once the host has taken it all.
    bool Serve(int stopFd, int floodStartFd, std::string& error);

  private:
    struct Wait;

    Wait NextWait(Clock::time_point now);
    bool ServeInput(std::string& error);
    void Answer(const MasterPacket& packet, Clock::time_point now);
    void TimeLoadEnd(bool wasLoading, Clock::time_point now);
    void StartFlood(int floodStartFd);
    void FeedFlood(Clock::time_point now);
    void EndDrainedFlood(Clock::time_point now);
    bool WriteOutput(std::string& error);
    bool WriteSome(std::string& error);
    bool ReportResults(std::string& error);

    DevicePty pty_;
    SimulatedDevice device_;
    std::optional<LinePacer> pacer_;
    std::optional<OutputChunker> chunker_;
    DevsimOptions::Flood floodOptions_;
    std::uint32_t floodSeed_;
    std::optional<DeviceFlood> flood_;
    std::ostream& results_;
    std::ostream* timing_;
    LoadTimer loadTimer_;
};

}  // namespace drel::devsim
