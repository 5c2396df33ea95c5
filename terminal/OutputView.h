#pragma once

// Where a connection's received text goes: the terminal view that shows it.

#include <string>

namespace drel {

class OutputView {
  public:
    virtual ~OutputView() = default;

    // Shows `text` at the end of the terminal under the display rules (ShowTextRules.h).
    // Any thread: a view with a window carries it out on the user-interface thread and returns
    // once it is done there.
    virtual void ShowText(const std::string& text) = 0;
};

}  // namespace drel
