#include "cli/ConsoleUserInterface.h"

namespace drel::cli {

void ConsoleUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      Icon icon) {
    static_cast<void>(icon);
    console_.Line(caption.empty() ? text : caption + ": " + text);
}

void ConsoleUserInterface::WaitServingRequests(platform::Event& done) {
    done.Wait(platform::INFINITE);
}

}  // namespace drel::cli
