#pragma once

// The line parameters a connection is opened with, and how they are programmed into a port.

#include "platform/CommTypes.h"
#include "platform/SerialPort.h"

namespace drel {

// A device control block. The port settings dialog fills BaudRate, ByteSize, Parity, StopBits
// and the flow-control bits fOutxCtsFlow, fOutX and fInX; nothing else of it is read.
using LineSettings = platform::Dcb;

// Programs `port` with `settings`: reads the port's current block, takes the rate, byte size,
// parity and stop bits and the three flow-control bits from `settings`, fixes XON/XOFF
// characters and limits, binary mode, parity checking, DTR and RTS held on, no DSR flow, keeps
// every other bit and field as the port reported it, and applies the result. Returns false when
// the port refuses it (a rate of 0, for one). Any thread that owns the port.
bool ApplyLineSettings(platform::SerialPort& port, const LineSettings& settings);

}  // namespace drel
