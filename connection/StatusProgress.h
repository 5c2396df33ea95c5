#pragma once

// A file's progress in the status bar while it is sent, for image loads and file transfers
// alike: "TITLE NAME  42 %  1761607 of 4194304 bytes  91.9 kB/s  0:26 left".

#include <chrono>
#include <cstdint>
#include <string>

namespace drel {

class UserInterface;

class StatusProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // Redraws come at most this often: each waits for the user-interface thread, and a few a
    // second are all a reader can follow.
    static constexpr std::chrono::milliseconds kInterval{250};

    // `title` goes before the progress ("YMODEM", "Loading"), `name` names the file of `size`
    // bytes; rate and time left count from `start`.
    StatusProgress(UserInterface& ui, std::string title, std::string name, uint64_t size,
                   Clock::time_point start);

    // Shows `bytesSent` at `now`, unless it showed less than kInterval before; the first call
    // always shows. The sending thread.
    void Show(uint64_t bytesSent, Clock::time_point now);

    // Seconds from the start to `now`. Any thread.
    double Seconds(Clock::time_point now) const;

  private:
    UserInterface& ui_;
    const std::string title_;
    const std::string name_;
    const uint64_t size_;
    const Clock::time_point start_;
    Clock::time_point lastShown_{};
    bool shown_ = false;
};

}  // namespace drel
