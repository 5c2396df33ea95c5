#pragma once

// How a document's connection reaches the user through the framework: its message boxes are
// the framework's, shown on the user-interface thread whichever thread asks, and its close waits
// for the connection's threads while serving their calls to the user-interface thread.

#include "connection/UserInterface.h"

namespace drel {

class ConnectionUserInterface : public UserInterface {
  public:
    void MessageBox(const std::string& text, const std::string& caption, Icon icon) override;

    // Shows `text` in the main frame's message pane.
    void ShowStatus(const std::string& text) override;

    // Serves the calls other threads queue for the user-interface thread until `done`; the
    // connection's message boxes, open or asked for meanwhile, are answered at once.
    void WaitServingRequests(platform::Event& done) override;

    // Runs the event loop without the user's input until `done`, `status` in the message pane.
    void WaitKeepingWindowsAlive(platform::Event& done, const std::string& status) override;
};

}  // namespace drel
