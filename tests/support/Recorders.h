#pragma once

// Stand-ins for the terminal view and the user interface that record what a connection shows,
// for tests that run the connection code without windows.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "connection/UserInterface.h"
#include "terminal/OutputView.h"

namespace drel::test {

// Waits until `condition` holds, checking whenever `changed` is notified; false if it does not
// hold within `timeout`. The caller holds `lock`.
template <typename Condition>
bool WaitFor(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
             Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return changed.wait_for(lock, timeout, condition);
}

// An output view that keeps every run it is handed, in order, and the text the display rules
// make of them. `onShow`, when set, runs after each run is recorded (on the showing thread).
class RecordingView : public OutputView {
  public:
    void ShowText(std::string_view text) override;

    std::vector<std::string> Runs() const;
    std::string Text() const;
    // Waits until the concatenated runs hold at least `count` bytes.
    bool WaitForBytes(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    std::function<void(std::string_view)> onShow;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> runs_;
    std::string text_;
    size_t bytes_ = 0;
};

// A user interface whose message boxes are recorded and answered at once, or, while held, once
// released or once a close begins waiting (WaitServingRequests), as the real one dismisses the
// boxes of a closing connection. Its wait for another thread is a plain wait, since tests show
// text on the showing thread itself, under a watchdog: a close whose threads do not end fails
// its test instead of hanging it.
class RecordingUserInterface : public UserInterface {
  public:
    struct Box {
        std::string text;
        std::string caption;
        Icon icon;
    };

    void MessageBox(const std::string& text, const std::string& caption, Icon icon) override;
    void WaitServingRequests(platform::Event& done) override;
    void ShowStatus(const std::string& text) override;

    void HoldBoxes(bool hold);

    std::vector<Box> Boxes() const;
    bool WaitForBoxes(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // The status bar's texts, in order ("" for the idle text).
    std::vector<std::string> Statuses() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Box> boxes_;
    std::vector<std::string> statuses_;
    bool holdBoxes_ = false;
};

}  // namespace drel::test
