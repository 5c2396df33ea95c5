#pragma once

// The command-line options that set up a port's line and its session log, shared by every
// program that opens a port from its command line (drel's --port, drel-load): each reads its
// value into the port choices exactly as the port dialog would hold it, so a port opened from
// either program gets the same settings.
//
//   --baud N  --data-bits 7|8  --parity none|odd|even  --stop-bits 1|2
//   --flow none|rtscts|xonxoff  --log FILE  --log-format raw|iso|elapsed|delta

#include <span>
#include <string>
#include <string_view>

#include "connection/PortChoices.h"

namespace drel {

// One option: its name, what its value may be (for messages: "--baud takes TAKES, not 'x'"),
// and how the value goes into the choices; `apply` returns false, changing nothing, for a value
// the option does not take.
struct PortOption {
    const char* name;
    const char* takes;
    bool (*apply)(const std::string& value, PortChoices& choices);
};

// Every such option, in the order help texts list them. Any thread.
std::span<const PortOption> PortOptions();

// The option called `name` (with its "--"), or null. Any thread.
const PortOption* FindPortOption(std::string_view name);

}  // namespace drel
