#pragma once

// The received text that waits for a terminal window, between the threads that hand it over
// and the user-interface thread that shows it.
//
// Any thread adds runs without waiting for the window; each run is folded at once into one edit
// of the window's text (FoldShowText), planned for the length the text will have when the
// user-interface thread next takes the edit. So however fast runs come and however long the
// window is not served, what waits stays as small as the text the display rules keep, and taking
// it is one edit, whatever the number of runs behind it. The window tells the pending text when
// its text changed by other means (the user's own edits), so the next runs are planned for that
// text.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>

#include "terminal/ShowTextRules.h"

namespace drel {

class PendingText {
  public:
    // Folds `run` into what waits. True when nothing waited before: the caller then tells the
    // window, which will take it. Any thread.
    bool Add(std::string_view run);

    // Takes what waits, as one edit of the window's text, which has `windowLength` characters
    // now; runs added from now on are planned for the text that edit leaves. Should the text
    // have changed since the edit was planned (the user edited it meanwhile), the edit's cut
    // and erase reach no further than the text. Nothing when no run came since the last take.
    // The window's thread only.
    std::optional<TextEdit> Take(size_t windowLength);

    // The window's text was changed by something else than the taken edits and now has
    // `windowLength` characters. The window's thread only.
    void TextChanged(size_t windowLength);

  private:
    std::mutex mutex_;
    TextEdit edit_;         // what waits, planned for a text of base_ characters
    size_t base_ = 0;       // the window's length when it takes edit_
    bool waiting_ = false;  // a run came since the last Take, even an empty one
};

}  // namespace drel
