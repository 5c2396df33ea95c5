#pragma once

// The line settings of a device control block as COM-PORT commands for a network serial port.

#include <cstdint>
#include <string>

#include "platform/ComPortClient.h"
#include "platform/CommTypes.h"

namespace drel::platform {

// Appends to `commands` what sets the server's line as `dcb` asks: baud rate, data bits,
// parity, stop bits, flow control, and DTR and RTS held on or off (RTS is left to the server
// under hardware flow control). Returns ERROR_SUCCESS, or ERROR_INVALID_PARAMETER with nothing
// appended for a state a local port refuses too (LinuxTermios.h: DcbToTermios). Any thread.
uint32_t AppendComPortSettings(const Dcb& dcb, ComPortClient& client, std::string& commands);

}  // namespace drel::platform
