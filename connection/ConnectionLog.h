#pragma once

// The session log of a connection (SessionLog.h): the user-interface thread starts and stops it
// while the receive loop runs, and the loop hands it every read, exactly as read, before any
// display rule. The loop takes the connection's log lock only to copy the log's pointer, never
// while it appends: a loop that waits for a slow disk then never holds up a stop, which ends that
// wait, and a log stopped meanwhile lives on until the loop lets go of its copy.

#include <cstdint>
#include <string>

#include "connection/LogFormat.h"
#include "connection/PortConnection.h"

namespace drel {

// Starts logging what the connection receives to `path` in `format`, in place of the log that
// runs, if any, which is stopped. Returns "" or, with the earlier log still running, why the
// file does not open. A write that fails later shows one box, "PATH: the log stopped: REASON",
// and ends the log while the connection goes on. User-interface thread.
std::string StartLog(PortConnection& c, const std::string& path, LogFormat format);

// Stops the connection's log, writing out and syncing to the disk what it holds; nothing when
// none runs. Answers the log's failure box, if one is asked for meanwhile. User-interface thread.
void StopLog(PortConnection& c);

// Whether a log runs (started and not stopped; it may have failed). Any thread.
bool LogRunning(PortConnection& c);

// Hands `count` received bytes, which arrived now, to the connection's log, if any. Waits while
// the log's buffer is full (SessionLog::Append). The receive loop thread.
void LogReceived(PortConnection& c, const uint8_t* bytes, int count);

// Adds `text` as a line of its own to a text log, if one runs. The receive loop thread.
void LogMark(PortConnection& c, const std::string& text);

}  // namespace drel
