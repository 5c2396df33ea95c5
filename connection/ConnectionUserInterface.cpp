#include "connection/ConnectionUserInterface.h"

#include "framework/AfxMessageBox.h"
#include "framework/UiThread.h"

namespace drel {

void ConnectionUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                         Icon icon) {
    const unsigned type = MB_OK | (icon == Icon::Warning ? MB_ICONEXCLAMATION : 0u);
    AfxMessageBox(text, type, caption, this);
}

void ConnectionUserInterface::WaitServingRequests(platform::Event& done) {
    AfxSuppressMessageBoxes(this, true);
    ServeCallsUntil([&done] { return done.IsSignalled(); });
    AfxSuppressMessageBoxes(this, false);
}

}  // namespace drel
