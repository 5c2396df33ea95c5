#pragma once

// What a front end without windows is told of a file transfer on a connection: its progress and
// how it ended. The windows learn the same from the status bar and the terminal's last line.

#include <cstdint>

#include "transfer/TransferSender.h"

namespace drel {

class TransferObserver {
  public:
    virtual ~TransferObserver() = default;

    // `acknowledged` of `total` file bytes are through; after each step of the transfer. Must
    // return at once. The transfer's thread.
    virtual void Progressed(uint64_t acknowledged, uint64_t total) = 0;

    // The transfer has ended with `result`, or, with `portGone`, because the port went away
    // (`result` is then Running); `endConfirmed` false when it completed without the receiver's
    // ACK of EOT. Not told when the connection closes first. The transfer's thread.
    virtual void Ended(transfer::TransferResult result, bool portGone, bool endConfirmed) = 0;
};

}  // namespace drel
