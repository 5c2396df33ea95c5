#pragma once

// The simulated device's behaviour, free of any I/O: it is told what happened on the line
// (it started, the host purged the port, bytes arrived) and answers with the bytes the device
// sends back. The caller moves those bytes over the pseudo-terminal, so the behaviour can be
// tested by feeding it bytes alone.
//
// The device is a monitor with the prompt "FW>": it greets with a banner line and the prompt,
// echoes every byte it receives, and answers a CR with CR LF and a new prompt.

#include <string>
#include <string_view>

namespace drel::devsim {

class SimulatedDevice {
  public:
    static constexpr std::string_view kBanner = "drel-devsim boot monitor\r\n";
    static constexpr std::string_view kPrompt = "FW>";

    // The greeting printed once when the device starts: banner and prompt. Never fails.
    std::string Start();

    // The host purged the port, as it does right after opening it. `deviceOutputLost` says
    // whether the purge discarded what the device had sent and the host had not read yet.
    // Returns banner and prompt, or nothing when the last greeting still stands (nothing was
    // received or lost since): one purge of both directions may arrive as two events, and
    // must greet once. Never fails.
    std::string HostPurged(bool deviceOutputLost);

    // Bytes from the host, in any split: every byte is echoed, and a CR is echoed as CR LF
    // followed by a new prompt. Never fails.
    std::string Receive(std::string_view bytes);

  private:
    std::string Greeting();

    bool greetingStands_ = false;
};

}  // namespace drel::devsim
