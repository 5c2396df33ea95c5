#pragma once

// SIGINT, SIGTERM and SIGHUP as a descriptor to poll: drel-load then stops its transfer and
// releases the port on its main thread, where no signal handler has to reach into the
// connection.

#include <optional>

namespace drel::cli {

class Interruption {
  public:
    // Blocks the three signals in this thread, and so in every thread it starts later, and
    // takes them through a signalfd. Make it before any other thread starts. IsValid tells
    // whether that worked (errno says why not); if not, the signals keep their usual effect.
    Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;
    // Closes the descriptor. The signals stay blocked: a second Ctrl+C, still pending, must not
    // end the process with a status other than the one it is about to return.
    ~Interruption();

    bool IsValid() const { return fd_ >= 0; }

    // The descriptor to poll for POLLIN.
    int fd() const { return fd_; }

    // The signal that has come, taken from the descriptor, if any; never waits. The thread
    // that made the object.
    std::optional<int> Take();

  private:
    int fd_ = -1;
};

}  // namespace drel::cli
