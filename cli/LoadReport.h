#pragma once

// The JSON object that --json prints at the end of a run:
//
//   {"port": "COM2",
//    "line": {"baud": 115200, "data_bits": 8, "parity": "none", "stop_bits": 1, "flow": "none"},
//    "images": [{"path": "a.bin", "size": 4211, "records": 4, "bytes_sent": 4211,
//                "seconds": 0.52, "result": "loaded"}, ...],
//    "exit_status": 0}
//
// "result" is ResultName's text, or "not started" for an image the run never came to.

#include <string>
#include <string_view>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/LoadTracker.h"
#include "connection/PortChoices.h"

namespace drel::cli {

// The report, on one line without its line break. Pure; any thread.
std::string JsonReport(const PortChoices& port, const std::vector<ImageRun>& runs,
                       ExitStatus status);

// The line settings as the report's "line" object. Pure; any thread.
std::string JsonLine(const PortChoices& port);

// `text` as a JSON string with its quotes. Bytes that are not UTF-8 (names come from the board
// and from file systems) become U+FFFD, so the report always parses. Pure; any thread.
std::string JsonString(std::string_view text);

}  // namespace drel::cli
