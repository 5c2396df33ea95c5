#include "ShowTextRules.h"

#include <algorithm>

namespace drel {

TextEdit PlanShowText(size_t currentLength, std::string_view run) {
    TextEdit edit;
    if (currentLength >= kTrimThreshold) {
        edit.cutFront = kTrimCount;
        currentLength -= kTrimCount;
    }
    // Backspaces first, on the run as received: each takes the character before it in the run,
    // or one of the text already shown.
    std::string kept;
    kept.reserve(run.size());
    for (char c : run) {
        if (c != '\b') {
            kept.push_back(c);
        } else if (!kept.empty()) {
            kept.pop_back();
        } else {
            ++edit.eraseCount;
        }
    }
    edit.eraseCount = std::min(edit.eraseCount, currentLength);
    // Then line ends: LF dropped, CR shown as CR LF.
    edit.append.reserve(kept.size() + kept.size() / 8);
    for (char c : kept) {
        if (c == '\n') {
            continue;
        }
        edit.append.push_back(c);
        if (c == '\r') {
            edit.append.push_back('\n');
        }
    }
    return edit;
}

void ApplyTextEdit(std::string& text, const TextEdit& edit) {
    text.erase(0, std::min(edit.cutFront, text.size()));
    text.erase(text.size() - std::min(edit.eraseCount, text.size()));
    text += edit.append;
}

}  // namespace drel
