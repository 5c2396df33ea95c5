#pragma once

// The only ways bytes move over a connection's port.

#include <cstdint>

#include "connection/PortConnection.h"

namespace drel {

// Sends `count` bytes and returns once the port has taken all of them: 1 when they were sent,
// 0 when nothing could be sent (not connected, or the write failed) or the write ended with an
// error. Line errors and write errors show in the terminal as "<CE-n>" markers. Writers of one
// connection are served one at a time; a second caller waits for the first. Any thread.
int WritePort(PortConnection& c, const uint8_t* bytes, uint32_t count);

// Reads up to `maximum` bytes that are already waiting, never waiting for more: returns the
// count read, 0 when nothing was waiting or the read failed. A failed read sets `*failed` when
// given and shows the port name followed by " port read error occured", once per connection:
// that first failed read returns only once the user has dismissed the box. The receive loop
// thread only.
int ReadPort(PortConnection& c, uint8_t* buffer, int maximum, bool* failed = nullptr);

}  // namespace drel
