#pragma once

// How the connection reaches the user of drel-load: each message box is one line on stderr,
// answered at once, and there is no user-interface thread to serve.

#include "cli/Console.h"
#include "connection/UserInterface.h"

namespace drel::cli {

class ConsoleUserInterface final : public UserInterface {
  public:
    explicit ConsoleUserInterface(Console& console) : console_(console) {}

    // Prints `text` as one line (Console::Line) and returns. Any thread.
    void MessageBox(const std::string& text, const std::string& caption, Icon icon) override;

    // Waits for `done`: no other thread asks anything of this one. Main thread.
    void WaitServingRequests(platform::Event& done) override;

  private:
    Console& console_;
};

}  // namespace drel::cli
