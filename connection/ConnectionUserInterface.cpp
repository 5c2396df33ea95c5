#include "connection/ConnectionUserInterface.h"

#include "framework/AfxMessageBox.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CWinApp.h"
#include "framework/UiThread.h"

namespace drel {

void ConnectionUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                         Icon icon) {
    const unsigned type = MB_OK | (icon == Icon::Warning ? MB_ICONEXCLAMATION : 0u);
    AfxMessageBox(text, type, caption, this);
}

void ConnectionUserInterface::ShowStatus(const std::string& text) {
    CallOnUiThread([&text] {
        if (auto* frame = dynamic_cast<CMDIFrameWnd*>(AfxGetMainWnd())) {
            frame->SetMessageText(text);
        }
    });
}

void ConnectionUserInterface::WaitServingRequests(platform::Event& done) {
    AfxSuppressMessageBoxes(this, true);
    ServeCallsUntil([&done] { return done.IsSignalled(); });
    AfxSuppressMessageBoxes(this, false);
}

void ConnectionUserInterface::WaitKeepingWindowsAlive(platform::Event& done,
                                                      const std::string& status) {
    if (!status.empty()) {
        ShowStatus(status);
    }
    RunEventsUntil([&done] { return done.IsSignalled(); });
    if (!status.empty()) {
        ShowStatus("");
    }
}

}  // namespace drel
