#pragma once

// Where a connection's received text goes: the terminal view that shows it.

#include <string_view>

namespace drel {

class OutputView {
  public:
    virtual ~OutputView() = default;

    // Shows `text` at the end of the terminal under the display rules (ShowTextRules.h), after
    // the runs handed over before it. Any thread; returns without waiting for the window.
    virtual void ShowText(std::string_view text) = 0;
};

}  // namespace drel
