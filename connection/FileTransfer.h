#pragma once

// Sending a file with XMODEM, XMODEM-1K or YMODEM on a connection. The transfer runs on a thread
// of its own that drives the protocol engine (transfer/TransferSender.h): the receive loop hands
// it what the receiver sends instead of to the watchers, the engine's packets go out through the
// connection's writes, and nothing else writes meanwhile. At the end one line in the terminal
// says how it went ("YMODEM: sent NAME, N bytes", or why not).

#include <string>

#include "connection/PortConnection.h"
#include "transfer/TransferSender.h"

namespace drel {

// The protocol's name as the user reads it: "XMODEM", "XMODEM-1K", "YMODEM".
const char* ProtocolName(transfer::TransferProtocol protocol);

// The line that ends a transfer of `file` with `result`, `sent` file bytes acknowledged: "YMODEM:
// sent NAME, N bytes", or "YMODEM: NAME not sent: REASON". Without `endConfirmed` a completed
// transfer's line says the receiver did not acknowledge the end.
std::string TransferResultLine(transfer::TransferProtocol protocol, const std::string& name,
                               transfer::TransferResult result, uint64_t sent, bool endConfirmed);

// Starts sending the file at `path`. Empty when it started; otherwise why not, for the user (a
// transfer or download already runs, the file does not open). User-interface thread.
std::string StartFileTransfer(PortConnection& c, transfer::TransferProtocol protocol,
                              const std::string& path);

// The user's cancel: a packet held off by the line is abandoned, the receiver is sent CANs and the
// transfer ends. Nothing when none runs. User-interface thread, or drel-load's main thread.
void CancelFileTransfer(PortConnection& c);

// Ends a running transfer at once and waits for its thread: silently when the connection closes,
// with "the port went away" when its device did. Nothing when none runs. The thread that closes,
// or the receive loop's.
void StopFileTransfer(PortConnection& c);

}  // namespace drel
