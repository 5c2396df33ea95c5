#include "support/Recorders.h"

#include "support/Watchdog.h"
#include "terminal/ShowTextRules.h"

namespace drel::test {

void RecordingView::ShowText(std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        runs_.emplace_back(text);
        bytes_ += text.size();
        ApplyTextEdit(text_, PlanShowText(text_.size(), text));
    }
    changed_.notify_all();
    if (onShow) {
        onShow(text);
    }
}

std::vector<std::string> RecordingView::Runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

std::string RecordingView::Text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

bool RecordingView::WaitForBytes(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return WaitFor(
        changed_, lock, [&] { return bytes_ >= count; }, timeout);
}

void RecordingUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                        Icon icon) {
    std::unique_lock lock(mutex_);
    boxes_.push_back({text, caption, icon});
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holdBoxes_; });
}

void RecordingUserInterface::HoldBoxes(bool hold) {
    std::lock_guard lock(mutex_);
    holdBoxes_ = hold;
    changed_.notify_all();
}

void RecordingUserInterface::WaitServingRequests(platform::Event& done) {
    HoldBoxes(false);
    CallWatched("the close's wait for the connection's threads",
                [&] { done.Wait(platform::INFINITE); });
}

void RecordingUserInterface::ShowStatus(const std::string& text) {
    std::lock_guard lock(mutex_);
    statuses_.push_back(text);
}

std::vector<std::string> RecordingUserInterface::Statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
}

std::vector<RecordingUserInterface::Box> RecordingUserInterface::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

bool RecordingUserInterface::WaitForBoxes(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return WaitFor(
        changed_, lock, [&] { return boxes_.size() >= count; }, timeout);
}

}  // namespace drel::test
