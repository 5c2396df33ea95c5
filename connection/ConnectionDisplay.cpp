#include "ConnectionDisplay.h"

#include <mutex>

#include "connection/ConnectionLog.h"
#include "terminal/DisplayBytes.h"

namespace drel {

int DisplayBytes(PortConnection& c, const uint8_t* bytes, int count) {
    std::lock_guard lock(c.outputViewLock);
    return DisplayBytes(c.outputView.load(), bytes, count);
}

void ShowMark(PortConnection& c, const std::string& what, bool startLine) {
    const std::string mark = "[" + c.portName + " " + what + "]";
    const std::string line = std::string(startLine ? "\r\n" : "") + mark + "\r\n";
    DisplayBytes(c, reinterpret_cast<const uint8_t*>(line.data()), static_cast<int>(line.size()));
    // A text log begins a line of its own for it.
    LogMark(c, mark);
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
