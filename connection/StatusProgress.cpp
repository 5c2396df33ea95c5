#include "connection/StatusProgress.h"

#include <utility>

#include "connection/ProgressText.h"
#include "connection/UserInterface.h"

namespace drel {

StatusProgress::StatusProgress(UserInterface& ui, std::string title, std::string name,
                               uint64_t size, Clock::time_point start)
    : ui_(ui), title_(std::move(title)), name_(std::move(name)), size_(size), start_(start) {}

void StatusProgress::Show(uint64_t bytesSent, Clock::time_point now) {
    if (shown_ && now - lastShown_ < kInterval) {
        return;
    }
    shown_ = true;
    lastShown_ = now;
    ui_.ShowStatus(title_ + " " + ProgressText({name_, bytesSent, size_, Seconds(now)}));
}

double StatusProgress::Seconds(Clock::time_point now) const {
    return std::chrono::duration<double>(now - start_).count();
}

}  // namespace drel
