#pragma once

// Runs the simulated device on its pseudo-terminal: one poll loop that moves the host's bytes
// into the device and the device's answers out, at the pace and in the chunks the options ask
// for, wakes the device when its time-outs fall due, and writes the result line of each load
// to a stream. Bytes are never lost or reordered. While the host leaves a lot of output
// unread, no more input is read, so a host that writes without reading is slowed down by the
// line instead of growing the queue without end. One thread uses an instance.

#include <optional>
#include <ostream>
#include <string>

#include "DevicePty.h"
#include "DevsimOptions.h"
#include "InputPacer.h"
#include "OutputChunker.h"
#include "SimulatedDevice.h"

namespace drel::devsim {

class DeviceServer {
  public:
    using Clock = std::chrono::steady_clock;

    // A server for `options`, writing result lines (each ended by '\n') to `results`.
    DeviceServer(const DevsimOptions& options, std::ostream& results);

    // Creates the pseudo-terminal and sends the start greeting. Returns false with the reason
    // in `error`. Call once.
    bool Open(std::string& error);
    // The terminal's path for the host, e.g. /dev/pts/3; empty before Open.
    const std::string& slavePath() const { return pty_.slavePath(); }

    // Serves the host until `stopFd` turns readable (returns true) or the terminal or the
    // result stream fails (returns false with the reason in `error`).
    bool Serve(int stopFd, std::string& error);

  private:
    struct Wait;

    Wait NextWait(Clock::time_point now);
    bool ServeInput(std::string& error);
    void Answer(const MasterPacket& packet, Clock::time_point now);
    bool WriteOutput(std::string& error);
    bool ReportResults(std::string& error);

    DevicePty pty_;
    SimulatedDevice device_;
    std::optional<InputPacer> pacer_;
    std::optional<OutputChunker> chunker_;
    std::ostream& results_;
};

}  // namespace drel::devsim
