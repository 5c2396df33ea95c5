#pragma once

// The simulated device's behaviour, free of any I/O: it is told what happened on the line
// (it started, the host purged the port, bytes arrived, time passed) and answers with the
// bytes the device sends back. The caller moves those bytes over the pseudo-terminal and
// passes the time in, so the behaviour can be tested by feeding it bytes and time alone.
//
// The device is a boot monitor with the prompt "FW>". It greets with a banner line and the
// prompt, echoes every byte it receives, and answers a CR with CR LF and a new prompt. The
// line "l NAME" ended by CR loads an image instead: after the echo and LF the device prints
// ":F=" NAME CR LF (or the name DeviceOptions::askFor sets, as a board set up to fetch one file
// does) and "start download" CR LF, then serves the download handshake (see
// ImageReceiver.h), echoing nothing. When the load ends the device prints one result line,
// "load ok: ..." or "load FAILED: ...", with CR LF, and the prompt. A load also ends when the
// host sends nothing for the idle time-out, or when it purges the port.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ImageReceiver.h"

namespace drel::devsim {

struct DeviceOptions {
    LoadOptions load;
    std::chrono::milliseconds idleTimeout{2000};  // host silence that abandons a load
    std::string askFor;  // the name every load command asks for; empty: the name it was given
};

class SimulatedDevice {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::string_view kBanner = "drel-devsim boot monitor\r\n";
    static constexpr std::string_view kPrompt = "FW>";
    static constexpr std::string_view kLoadCommand = "l ";
    static constexpr std::string_view kNameMarker = ":F=";
    static constexpr std::string_view kStartDownload = "start download\r\n";
    // A command line keeps at most this many bytes; the rest of a longer line is only echoed.
    static constexpr std::size_t kMaxLine = 4096;

    explicit SimulatedDevice(DeviceOptions options = {}) : options_(options) {}

    // The greeting printed once when the device starts: banner and prompt. Never fails.
    std::string Start();

    // The host purged the port, as it does right after opening it. `deviceOutputLost` says
    // whether the purge discarded what the device had sent and the host had not read yet.
    // Returns banner and prompt, or nothing when the last greeting still stands (nothing was
    // received or lost since): one purge of both directions may arrive as two events, and must
    // greet once. A load in progress ends, and its failure line comes first. Never fails.
    std::string HostPurged(bool deviceOutputLost);

    // Bytes from the host, in any split, received at `now`: echoed and answered at the
    // prompt, taken as image bytes during a load. Never fails.
    std::string Receive(std::string_view bytes, Clock::time_point now);

    // Time has passed: at `now` a load whose host has been silent for the idle time-out ends
    // with a failure line and the prompt, which are returned. Never fails.
    std::string TimePassed(Clock::time_point now);

    // When TimePassed has something to do next; nothing while no load runs.
    std::optional<Clock::time_point> Deadline() const;

    // The result lines of the loads ended since the last call, oldest first, without line
    // ends. Never fails.
    std::vector<std::string> TakeResults();

    bool loading() const { return load_.has_value(); }

  private:
    std::string Greeting();
    void CommandByte(char byte, Clock::time_point now, std::string& reply);
    void LineEnded(Clock::time_point now, std::string& reply);
    void EndLoad(std::string& reply);
    std::string ResultLine();

    DeviceOptions options_;
    bool greetingStands_ = false;
    std::string line_;
    std::optional<ImageReceiver> load_;
    Clock::time_point lastHeard_;  // the load's start or the last byte of it
    std::vector<std::string> results_;
};

}  // namespace drel::devsim
