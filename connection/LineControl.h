#pragma once

// The control lines of a connection's port: the output lines DTR and RTS as the user wants them,
// the break, and the modem inputs CTS, DSR, DCD and RI. The wanted output states live in the
// connection record, so that a port opened again gets them back (ApplyLineStates).

#include <cstdint>
#include <optional>

#include "connection/PortConnection.h"

namespace drel {

// Records whether the user wants DTR (RTS) on, then, when connected, raises or drops the line.
// False when the port refused (a port without modem lines); the wish stays recorded either way.
// User-interface thread.
bool SetDtr(PortConnection& c, bool on);
bool SetRts(PortConnection& c, bool on);

// Puts DTR and RTS on a freshly opened port as the record wants them. A port that refuses keeps
// its lines as they are; nothing is reported. The thread that owns the port's opening.
void ApplyLineStates(PortConnection& c);

// Queues a break of about 250 ms on the connection's writer, behind what was typed before it;
// returns at once. Does nothing when not connected. Any thread.
void SendBreak(PortConnection& c);

// The modem inputs that are on (platform MS_*_ON bits), or none when not connected or the port's
// driver cannot report them (a pseudo-terminal). Never waits. User-interface thread.
std::optional<uint32_t> ReadModemInputs(PortConnection& c);

}  // namespace drel
