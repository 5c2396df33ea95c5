#pragma once

// The command line of drel-bench-run.

#include <string>
#include <string_view>
#include <vector>

#include "connection/LogFormat.h"

namespace drel::bench {

struct BenchOptions {
    std::vector<std::string> ports;         // one terminal each, opened in this order
    std::string baud = "115200";            // as typed into the port dialog
    std::vector<std::string> autoDownload;  // empty, or the two names "&Auto Down load" sends
    bool count = false;                     // put a CountingView in front of every terminal
    bool display = true;                    // false: the meters do not pass text on
    bool sampleMemory = false;              // print the resident memory every second
    std::string logPath;                    // empty, or the session log of the first terminal
    LogFormat logFormat = LogFormat::Raw;
    bool help = false;
};

extern const std::string_view kBenchUsage;

// Fills `options` from the command line. False with the reason in `error`. Any thread.
bool ParseBenchOptions(int argc, char** argv, BenchOptions& options, std::string& error);

}  // namespace drel::bench
