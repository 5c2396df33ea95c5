#pragma once

// The record an asynchronous read or write is started with and completed through.

#include <cstddef>
#include <cstdint>

#include "Event.h"

namespace drel::platform {

struct Overlapped {
    uint64_t Offset = 0;      // file position; always 0 for a port
    Event* hEvent = nullptr;  // manual-reset; set when a pending operation has completed

    // Continuation of a pending write, owned by the port between a WriteFile that returned
    // ERROR_IO_PENDING and the GetOverlappedResult that completes it. The caller's buffer must
    // stay valid for that time.
    const uint8_t* pendingBytes = nullptr;
    size_t pendingCount = 0;
    size_t pendingDone = 0;
};

}  // namespace drel::platform
