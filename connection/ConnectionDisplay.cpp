#include "ConnectionDisplay.h"

#include <mutex>

#include "terminal/DisplayBytes.h"

namespace drel {

int DisplayBytes(PortConnection& c, const uint8_t* bytes, int count) {
    std::lock_guard lock(c.outputViewLock);
    return DisplayBytes(c.outputView.load(), bytes, count);
}

void SetOutputView(PortConnection& c, OutputView* view) {
    std::lock_guard lock(c.outputViewLock);
    c.outputView = view;
}

void ReleaseOutputView(PortConnection& c, OutputView* view) {
    std::lock_guard lock(c.outputViewLock);
    if (c.outputView.load() == view) {
        c.outputView = nullptr;
    }
}

}  // namespace drel
