#pragma once

// What drel-load tells the script that ran it, by its exit status.

#include "download/DownloadObserver.h"
#include "transfer/TransferSender.h"

namespace drel::cli {

enum class ExitStatus : int {
    Loaded = 0,             // every image loaded (and the --until text seen)
    BadUsage = 1,           // a mistake on the command line, or a log that does not open
    PortNotOpened = 2,      // the port does not open, or refuses the line settings
    NoHeaderRequest = 3,    // the board did not begin a load, or ask for its header, in time
    NoRecordRequest = 4,    // the board did not ask for the next record in time
    BadImage = 5,           // an image missing, unreadable, incomplete or refused to the board
    DeviceGone = 6,         // the board went away, or a write to it failed
    TimedOut = 7,           // the overall time-out passed, or the --until text did not come
    ReceiverCancelled = 8,  // the receiver of a file sent with --ymodem and the like cancelled
    Interrupted = 130,      // SIGINT, SIGTERM or SIGHUP
};

// The status a load that ended with `result` gives the run. Any thread.
ExitStatus StatusOf(DownloadResult result);

// The status a file transfer that ended with `result` gives the run; `portGone` when the port
// went away mid-way. Any thread.
ExitStatus StatusOf(transfer::TransferResult result, bool portGone);

// The status as the process returns it.
inline int ProcessStatus(ExitStatus status) {
    return static_cast<int>(status);
}

}  // namespace drel::cli
