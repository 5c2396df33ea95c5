#pragma once

// The command line of drel-devsim.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "SimulatedDevice.h"

namespace drel::devsim {

struct DevsimOptions {
    struct Flood {
        std::uint32_t seconds = 0;      // text for this long; 0: no text flood
        std::uint64_t randomBytes = 0;  // or this many random bytes; 0: no random flood
        std::uint32_t baud = 0;         // 0: as fast as the host reads

        bool wanted() const { return seconds > 0 || randomBytes > 0; }
    };

    std::string portName;  // empty: publish nothing
    bool help = false;
    bool version = false;
    DeviceOptions device;
    std::uint32_t paceBaud = 0;  // 0: input is taken as fast as it comes
    std::size_t maxChunk = 0;    // 0: output goes out as fast as the host takes it
    std::uint32_t seed = 1;      // for the chunk sizes and the random flood
    std::string logPath;         // empty: load results go to stderr
    std::string timingPath;      // empty: loads are not timed
    Flood flood;
};

extern const std::string_view kDevsimUsage;

// Fills `options` from the command line. Returns false with the reason in `error` for an
// unknown option or a missing or unusable value. Any thread.
bool ParseDevsimOptions(int argc, char** argv, DevsimOptions& options, std::string& error);

}  // namespace drel::devsim
