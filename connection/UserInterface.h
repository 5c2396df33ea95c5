#pragma once

// How a connection reaches the user from any of its threads: message boxes, the status bar, and
// the wait of the user-interface thread that keeps carrying out what other threads ask of it.

#include <string>

#include "platform/Event.h"

namespace drel {

class UserInterface {
  public:
    enum class Icon { None, Warning };

    virtual ~UserInterface() = default;

    // Shows a modal message box with an OK button; returns once the user has dismissed it.
    // `caption` empty means the program's name. Any thread.
    virtual void MessageBox(const std::string& text, const std::string& caption = {},
                            Icon icon = Icon::None) = 0;

    // Shows `text` in the status bar, where the user looks for what a connection is doing now.
    // Nothing by default. Any thread.
    virtual void ShowStatus(const std::string& text) { static_cast<void>(text); }

    // Returns once `done` is signalled, carrying out meanwhile the calls that other threads make
    // on the user-interface thread (their message boxes), and nothing else. It is used while a
    // connection closes: its message boxes, open or asked for meanwhile, are answered at once, so
    // the close never waits for someone to press OK. User-interface thread.
    virtual void WaitServingRequests(platform::Event& done) = 0;

    // Returns once `done` is signalled. The windows stay alive meanwhile (they repaint, other
    // threads' calls and messages come through) while the user's input waits; `status`, unless
    // empty, shows in the status bar until then. For work that may take seconds, such as
    // connecting to a network port. By default a plain wait. User-interface thread.
    virtual void WaitKeepingWindowsAlive(platform::Event& done, const std::string& status) {
        static_cast<void>(status);
        done.Wait(platform::INFINITE);
    }
};

}  // namespace drel
