#pragma once

// A run of drel-load that sends one file with YMODEM, XMODEM-1K or XMODEM: opens the port,
// types --command if given, sends the file, shows progress and closes the port.

#include <cstdio>

#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Interruption.h"
#include "cli/LoadOptions.h"

namespace drel::cli {

// Sends `options.sendFile` as `options.sendProtocol` says. The board's text outside the
// transfer goes to `out` (unless left out), progress and messages to `console`, the JSON report
// to `out` at the end. Every wait ends: when the transfer ends, at `interruption` (the receiver
// is sent CANs, given two seconds to go out), or when the port goes away. Returns the exit status.
// Main thread, with `interruption` made before any other thread started.
ExitStatus RunTransfer(const LoadOptions& options, Console& console, Interruption& interruption,
                       std::FILE* out);

}  // namespace drel::cli
