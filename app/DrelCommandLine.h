#pragma once

// The program's command line:
//
//   drel [--port NAME] [--baud N] [--data-bits 7|8] [--parity none|odd|even] [--stop-bits 1|2]
//        [--flow none|rtscts|xonxoff] [--log FILE [--log-format raw|iso|elapsed|delta]]
//        [--reconnect] [--list-ports] [--help] [--version] [FILE]
//
// --port opens port NAME at start-up, with the other options' line settings (the port dialog's
// defaults for those not given), instead of asking with the port dialog, and --log logs what
// it receives to FILE from the start (raw unless --log-format says otherwise). --reconnect
// turns reconnecting on for this run; --list-ports prints the serial devices present and ends
// the program, as --help and --version end it after printing the help and the version. Every other
// word is the framework's: none makes a new connection, a FILE opens that file, /p and /pt print
// it. A value may also follow its option after '=' (--baud=9600). A word that begins with "--" and
// is none of these options is a mistake, as is an option given twice, one without its value or with
// a value it does not take (a value for a switch), a line setting without --port, and --port with a
// file or a print switch.

#include <optional>
#include <span>
#include <string>

#include "connection/PortChoices.h"
#include "framework/CCommandLineInfo.h"

namespace drel {

// The exit status after a command line the program cannot carry out, as command-line tools have
// it.
inline constexpr int kBadCommandLineStatus = 2;

struct DrelCommandLine {
    // Empty for a sound command line; else the one line to tell the user ("drel: ..."), and
    // nothing else here counts.
    std::string error;
    // What the framework carries out at start-up: a new connection, a file opened or printed.
    CCommandLineInfo shell;
    // The port the new connection at start-up opens without asking, when --port gives one.
    std::optional<PortChoices> port;
    // Reconnect by itself when the device goes away, for this run.
    bool reconnect = false;
    // Print the serial devices present, one a line, and end.
    bool listPorts = false;
    // Print the help text, or the program's name and version, and end.
    bool help = false;
    bool version = false;
};

// The text --help prints: the usage, each option and the exit status. Pure; any thread.
const char* DrelHelp();

// Reads `words` (the command line without the program's name). Pure; any thread.
DrelCommandLine ParseDrelCommandLine(std::span<const std::string> words);

// Reads only the options of `words`, as the program does before it has any window (what the
// windowing system takes for itself may still be among the words): `shell` stays empty and
// `error` tells only of the options themselves, not of how they go with the file or print
// words. Pure;
// any thread.
DrelCommandLine ReadDrelOptions(std::span<const std::string> words);

}  // namespace drel
