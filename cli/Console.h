#pragma once

// drel-load's messages on stderr: whole lines, and the progress of a load, which a terminal
// shows as one line redrawn in place. A message that comes while the progress line shows
// takes its place, and the next redraw brings the progress back below it.

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace drel::cli {

class Console {
  public:
    // Writes to `stream`. `terminal` says whether it is a terminal, where progress is redrawn
    // in place; elsewhere each progress report is a line of its own.
    Console(std::FILE* stream, bool terminal) : stream_(stream), terminal_(terminal) {}

    bool Terminal() const { return terminal_; }

    // Prints `text` as one line; its line breaks become ": " and other control characters
    // (a board may name its image with any bytes) "?". Write failures are ignored: there is
    // nowhere left to report them. Any thread.
    void Line(std::string_view text);

    // Shows `text` as the progress: redrawn over the last progress on a terminal, else a line.
    // Any thread.
    void Progress(std::string_view text);

  private:
    void ClearProgressLocked();

    std::FILE* const stream_;
    const bool terminal_;
    std::mutex mutex_;            // one writer at a time; guards `progressShown_`
    bool progressShown_ = false;  // a progress line is on the terminal's last line
};

// `text` with its line breaks (and those at its end dropped) made ": " and every other control
// character "?". Pure; any thread.
std::string OneLine(std::string_view text);

}  // namespace drel::cli
