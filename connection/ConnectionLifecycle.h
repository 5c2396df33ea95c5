#pragma once

// Opening a connection's port and closing it again.

#include <string>

#include "connection/LineSettings.h"
#include "connection/PortConnection.h"

namespace drel {

// Opens `portName` exclusively and makes it a running connection: the overlapped events, the
// event mask, 4096-byte queues, a purge, the time-outs, the line, `connected`, the receive
// loop, then DTR and RTS as the record wants them (LineControl.h). On failure returns false
// with everything it made released and tells the user where the user must know: " port can not
// open" when the port cannot be opened, followed by a line that says why (the service's
// WhyOpenFailed), " port settings not accepted" when it refuses the line settings (both after the
// port name). The port is opened on a thread of its own while the user-interface thread keeps
// the windows alive (UserInterface::WaitKeepingWindowsAlive): a network port may take seconds.
// User-interface thread.
bool OpenConnection(PortConnection& c, const std::string& portName, const LineSettings& settings);

// Sets up a freshly opened port: the event mask, 4096-byte queues, a purge, the time-outs and
// the line. False when the port refuses the line settings. Any thread.
bool PreparePort(platform::SerialPort& port, const LineSettings& settings);

// Closes a connected connection: clears `connected`, aborts the write in flight, ends the user's
// writer and the receive loop and waits for them, stops the session log (writing out what it
// holds), then releases the events and the port. Never waits for the device. When not connected
// it only stops the log, if one runs. User-interface thread.
void CloseConnection(PortConnection& c);

}  // namespace drel
