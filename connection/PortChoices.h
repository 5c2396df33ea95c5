#pragma once

// The choices a new connection is opened with, as the port dialog holds them, and what they turn
// into: the line settings and the connection's title. The dialog and the command line's --port
// both go through here, so a port opened either way gets the same settings and the same title.

#include <cstdint>
#include <string>

#include "connection/LineSettings.h"
#include "connection/LogFormat.h"

namespace drel {

// The port name and baud text as typed, and the index of the chosen button of each group
// (-1 when none is chosen). The defaults are the dialog's: COM2, 115200, N-8-1, no flow control.
struct PortChoices {
    std::string port = "COM2";    // the device name as it stands
    std::string baud = "115200";  // as typed; read as atol reads it
    int32_t parity = 0;           // 0 none, 1 odd, 2 even
    int32_t stopBits = 0;         // 0 one, 1 two
    int32_t dataBits = 1;         // 0 seven, 1 eight
    int32_t flowControl = 0;      // 0 none, 1 RTS/CTS, 2 Xon/Xoff
    std::string logPath;          // a log to start with the connection; empty for none
    LogFormat logFormat = LogFormat::Raw;
};

// Writes BaudRate, ByteSize, Parity, StopBits and the flow-control bits fOutxCtsFlow, fOutX and
// fInX of `settings` from `choices`; a group with no known choice leaves its field alone, and
// every other field and bit keeps what it held. Never fails; any thread.
void ApplyPortChoices(const PortChoices& choices, LineSettings& settings);

// The connection's title, e.g. "COM2 115200  N-8-1": the port, the baud text as typed, then the
// parity letter (none for an unknown parity), the data bits and the stop bits. Any thread.
std::string PortTitle(const PortChoices& choices);

}  // namespace drel
