#pragma once

// One run of drel-load: opens the port, starts or serves the loads, shows what happens, waits
// for the end the options ask for, closes the port and says how it went.

#include <cstdio>

#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Interruption.h"
#include "cli/LoadOptions.h"

namespace drel::cli {

// Runs the loads `options` ask for on the system's serial ports: the board's text goes to `out`
// (unless left out), messages and progress to `console`, the JSON report to `out` at the end.
// Every wait ends: at its deadline, at `interruption`, or when the device goes away; the port
// is closed before it returns. Returns the exit status. Main thread, with `interruption` made
// before any other thread started.
ExitStatus RunLoad(const LoadOptions& options, Console& console, Interruption& interruption,
                   std::FILE* out);

}  // namespace drel::cli
