#include "ShowTextRules.h"

#include <algorithm>

namespace drel {

namespace {

// Takes `count` characters from the front of the text that `pending` leaves: first from what
// is kept of the text it was planned for, then from what it appends.
void CutFront(TextEdit& pending, size_t& kept, size_t count) {
    const size_t fromKept = std::min(count, kept);
    pending.cutFront += fromKept;
    kept -= fromKept;
    pending.append.erase(0, count - fromKept);
}

// Erases `count` characters from the end of the text that `pending` leaves: first from what it
// appends, then from what is kept of the text it was planned for.
void EraseBack(TextEdit& pending, size_t& kept, size_t count) {
    const size_t fromAppend = std::min(count, pending.append.size());
    pending.append.resize(pending.append.size() - fromAppend);
    const size_t fromKept = std::min(count - fromAppend, kept);
    pending.eraseCount += fromKept;
    kept -= fromKept;
}

// Takes the backspaces of `run` on the run as received: each erases the character before it in
// the run, or, with nothing left before it, one of the text already shown (counted in
// `eraseShown`). Writes what stays into `kept`, which has room for the whole run.
size_t ApplyBackspaces(std::string_view run, char* kept, size_t& eraseShown) {
    size_t length = 0;
    for (const char c : run) {
        if (c != '\b') {
            kept[length++] = c;
        } else if (length > 0) {
            --length;
        } else {
            ++eraseShown;
        }
    }
    return length;
}

// Appends `text` with its line ends as the terminal shows them: LF dropped, CR as CR LF. The
// text between line ends goes in whole pieces: a flood is mostly such text.
void AppendLineEnds(std::string& out, std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        out.append(text.substr(at, end - at));
        if (end < text.size() && text[end] == '\r') {
            out += "\r\n";
        }
        at = end + 1;
    }
}

}  // namespace

void FoldShowText(TextEdit& pending, size_t baseLength, std::string_view run) {
    size_t kept = baseLength - pending.cutFront - pending.eraseCount;
    if (kept + pending.append.size() >= kTrimThreshold) {
        CutFront(pending, kept, kTrimCount);
    }
    if (run.find('\b') == std::string_view::npos) {
        AppendLineEnds(pending.append, run);
        return;
    }
    // Runs from the port are at most a few dozen bytes: most need no memory of their own.
    char local[256];
    std::string large;
    char* keptRun = local;
    if (run.size() > sizeof local) {
        large.resize(run.size());
        keptRun = large.data();
    }
    size_t eraseShown = 0;
    const size_t keptLength = ApplyBackspaces(run, keptRun, eraseShown);
    EraseBack(pending, kept, eraseShown);
    AppendLineEnds(pending.append, std::string_view(keptRun, keptLength));
}

TextEdit PlanShowText(size_t currentLength, std::string_view run) {
    TextEdit edit;
    FoldShowText(edit, currentLength, run);
    return edit;
}

size_t LengthAfter(size_t baseLength, const TextEdit& edit) {
    const size_t cut = std::min(edit.cutFront, baseLength);
    const size_t erased = std::min(edit.eraseCount, baseLength - cut);
    return baseLength - cut - erased + edit.append.size();
}

void ApplyTextEdit(std::string& text, const TextEdit& edit) {
    text.erase(0, std::min(edit.cutFront, text.size()));
    text.erase(text.size() - std::min(edit.eraseCount, text.size()));
    text += edit.append;
}

}  // namespace drel
