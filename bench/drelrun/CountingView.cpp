#include "CountingView.h"

namespace drel::bench {

void CountingView::ShowText(std::string_view text) {
    {
        std::lock_guard lock(hashLock_);
        hash_.Add(text.data(), text.size());
    }
    bytes_ += text.size();
    if (display_) {
        shown_.ShowText(text);
    }
}

std::uint64_t CountingView::hash() const {
    std::lock_guard lock(hashLock_);
    return hash_.value();
}

}  // namespace drel::bench
