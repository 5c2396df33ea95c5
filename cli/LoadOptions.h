#pragma once

// drel-load's command line:
//
//   drel-load [OPTIONS] PORT IMAGE [SECOND_IMAGE]
//   drel-load [OPTIONS] --serve PORT [IMAGE [SECOND_IMAGE]]
//   drel-load [OPTIONS] --ymodem FILE | --xmodem1k FILE | --xmodem FILE PORT
//
// The line and log options are drel's own (connection/PortOptions.h); the rest say what to load
// and how long to wait. A value follows its option as the next word or after '='; "--" ends
// the options, so that a file may begin with "-".

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "connection/PortChoices.h"
#include "transfer/TransferSender.h"

namespace drel::cli {

struct LoadOptions {
    // Empty for a sound command line; else the one line to tell the user, and nothing else
    // here counts.
    std::string error;
    bool help = false;
    bool version = false;
    PortChoices port;                      // port name, line settings and log
    std::vector<std::string> images;       // one or two, in load order; none with --serve
    bool serve = false;                    // type nothing, serve what the board names
    uint32_t count = 1;                    // with --serve: the loads to serve
    std::string until;                     // after the last load, wait for this text; "" for none
    std::chrono::milliseconds timeout{0};  // the overall limit; 0 for none
    // How long the board may take to begin a load asked of it, or to print --until's text; 0
    // for no limit but the overall one. Without --wait: 10 s, or none when --timeout is given.
    std::chrono::milliseconds wait{0};
    std::chrono::milliseconds headerTimeout{1000};   // the worker's wait for 0x01
    std::chrono::milliseconds recordTimeout{60000};  // the worker's wait for each 0x02
    bool quiet = false;                              // leave the board's text out of stdout
    bool json = false;  // one JSON object on stdout at the end, and no board text
    // --ymodem, --xmodem1k or --xmodem: send `sendFile` with that protocol instead of loading.
    std::optional<transfer::TransferProtocol> sendProtocol;
    std::string sendFile;
    std::string command;  // with a send option: typed before the transfer; "" for none

    // How many loads end the run: the images given, or --count.
    uint32_t LoadsWanted() const { return serve ? count : static_cast<uint32_t>(images.size()); }
};

// Reads `words` (the command line without the program's name). Pure; any thread.
LoadOptions ParseLoadOptions(std::span<const std::string> words);

// The text of --help. Any thread.
const char* LoadHelp();

}  // namespace drel::cli
