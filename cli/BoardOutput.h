#pragma once

// Where drel-load puts what the board prints: on stdout exactly as it arrives (unless left
// out), and to the tracker that watches for --until's text.

#include <cstdio>

#include "cli/LoadTracker.h"
#include "connection/ReceiveTap.h"

namespace drel::cli {

class BoardOutput final : public ReceiveTap {
  public:
    // Writes to `stream` when given (null leaves the text out) and hands every run to `tracker`.
    BoardOutput(std::FILE* stream, LoadTracker& tracker) : stream_(stream), tracker_(tracker) {}

    // Writes the bytes out at once. A stream that fails (a reader that went away) is dropped:
    // the load goes on. The receive loop thread.
    void Received(const uint8_t* bytes, size_t count) override;

  private:
    std::FILE* stream_;
    LoadTracker& tracker_;
};

}  // namespace drel::cli
