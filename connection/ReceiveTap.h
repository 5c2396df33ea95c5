#pragma once

// Another taker of what the receive loop reads, beside the log and the hex view's history: a
// front end that passes the device's bytes on exactly as they came (drel-load's stdout).

#include <cstddef>
#include <cstdint>

namespace drel {

class ReceiveTap {
  public:
    virtual ~ReceiveTap() = default;

    // `count` bytes just read, exactly as read, before any display rule. Should return soon:
    // the loop reads on only afterwards. The receive loop thread.
    virtual void Received(const uint8_t* bytes, size_t count) = 0;
};

}  // namespace drel
