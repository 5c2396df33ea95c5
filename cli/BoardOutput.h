#pragma once

// Where drel-load puts what the board prints: on stdout as it arrives (unless left out), and
// to the tracker that watches for --until's text.

#include <cstdio>
#include <string_view>

#include "cli/LoadTracker.h"
#include "terminal/OutputView.h"

namespace drel::cli {

class BoardOutput final : public OutputView {
  public:
    // Writes to `stream` when given (null leaves the text out) and hands every run to `tracker`.
    BoardOutput(std::FILE* stream, LoadTracker& tracker) : stream_(stream), tracker_(tracker) {}

    // Writes `text` out at once. A stream that fails (a reader that went away) is dropped: the
    // load goes on. The connection's threads, one at a time (the output lock).
    void ShowText(std::string_view text) override;

  private:
    std::FILE* stream_;
    LoadTracker& tracker_;
};

}  // namespace drel::cli
