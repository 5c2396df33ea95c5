#pragma once

// Opening a TCP connection to a network serial port without waiting for ever.

#include <chrono>

#include "platform/NetworkAddress.h"

namespace drel::platform {

// What is left until `deadline`, in whole milliseconds for poll's time-out; 0 once it has
// passed. Any thread.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline);

// Resolves the address's host and connects to the first of its addresses that takes the
// connection, each try ending once `patience` has passed since the call began. Returns the
// connected socket, non-blocking, close-on-exec, with Nagle's delay off (the board's requests
// are single bytes that must not wait); -1 on failure with the reason in the last error:
// ERROR_HOST_NOT_FOUND when the name does not resolve, ETIMEDOUT when no address answered in
// time, else the errno of the last address tried (ECONNREFUSED, EHOSTUNREACH...). Looking the
// name up may take as long as the system's resolver takes. A `stopFd` (-1: none) that becomes
// readable ends the wait for the connection at once, with ECANCELED. Any thread.
int ConnectTcp(const NetworkAddress& address, std::chrono::milliseconds patience, int stopFd = -1);

}  // namespace drel::platform
