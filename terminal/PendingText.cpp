#include "PendingText.h"

#include <algorithm>
#include <utility>

namespace drel {

bool PendingText::Add(std::string_view run) {
    std::lock_guard lock(mutex_);
    FoldShowText(edit_, base_, run);
    return !std::exchange(waiting_, true);
}

std::optional<TextEdit> PendingText::Take(size_t windowLength) {
    std::lock_guard lock(mutex_);
    if (!waiting_) {
        return std::nullopt;
    }
    TextEdit edit = std::exchange(edit_, {});
    waiting_ = false;
    // Planned for base_ characters; the user may have edited the text since.
    edit.cutFront = std::min(edit.cutFront, windowLength);
    edit.eraseCount = std::min(edit.eraseCount, windowLength - edit.cutFront);
    base_ = LengthAfter(windowLength, edit);
    return edit;
}

void PendingText::TextChanged(size_t windowLength) {
    std::lock_guard lock(mutex_);
    // What waits was planned for the text as it was; taking it fits it to the text as it is.
    if (!waiting_) {
        base_ = windowLength;
    }
}

}  // namespace drel
