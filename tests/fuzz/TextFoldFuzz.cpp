// Fuzzes the folding of waiting runs into one edit (FoldShowText), as a terminal window does
// between the frames in which it takes what waits: the window's text after each take must be
// the text that showing every run one by one makes, by the model of the display rules.
//
// Input: bytes 0 and 1 (little-endian, modulo 2 * kTrimThreshold + 1) give the length of the
// text shown at the start, lines of filler (beyond the threshold, as after a paste); then
// steps, each one byte:
// - 0 to 4: a run of (next byte % 81) bytes, the rest of the step's bytes, folded;
// - 5: the last run again, (next byte) times, so that short inputs reach floods that the trim
//   cuts many times over before the window takes them;
// - 6: the window takes what waits;
// - 7: the window takes what waits, then the user deletes (next byte) characters at (the byte
//   after, scaled to the text), and the runs after are planned for the edited text.
// The step's kind is the byte % 8.
//
// Checked after every step: what waits appends no more than the rules keep of a text
// (kTrimThreshold - 1 plus the expansion of one run); its cut and erase stay within the text
// it was planned for; after a take, the window's text equals the model's.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "TextModel.h"
#include "terminal/ShowTextRules.h"

namespace {

using drel::kTrimThreshold;
using drel::TextEdit;
using drel::fuzz::Require;

constexpr size_t kMaxRun = 80;

// The window's side of the fold: its text, what waits for it and the length it was planned for.
struct Window {
    std::string text;
    TextEdit pending;
    size_t base = 0;

    void Take() {
        Require(drel::LengthAfter(base, pending) ==
                    base - pending.cutFront - pending.eraseCount + pending.append.size(),
                "what waits stays within the text it was planned for");
        drel::ApplyTextEdit(text, pending);
        pending = {};
        base = text.size();
    }
};

// The bytes of `data` from `at`, at most `count` of them.
std::string_view Bytes(const uint8_t* data, size_t size, size_t at, size_t count) {
    return {reinterpret_cast<const char*>(data) + at, std::min(count, size - at)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t shown = (data[0] | data[1] << 8) % (2 * kTrimThreshold + 1);
    Window window{drel::fuzz::Filler(shown), {}, shown};
    std::string model = window.text;
    std::string_view run;
    for (size_t at = 2; at < size;) {
        const uint8_t kind = data[at++] % 8;
        if (kind <= 5) {
            size_t times = 1;
            if (kind == 5) {
                times = at < size ? data[at++] : 0;
            } else {
                const size_t length = at < size ? data[at++] % (kMaxRun + 1) : 0;
                run = Bytes(data, size, at, length);
                at += run.size();
            }
            // The view is handed runs without their zero bytes, as DisplayBytes leaves them.
            std::string text(run);
            std::erase(text, '\0');
            for (size_t i = 0; i < times; ++i) {
                drel::FoldShowText(window.pending, window.base, text);
                drel::fuzz::ModelShow(model, run);
                Require(window.pending.append.size() <= kTrimThreshold - 1 + 2 * kMaxRun,
                        "what waits stays as small as the text the rules keep");
            }
            continue;
        }
        window.Take();
        Require(window.text == model, "the window's text is the text of the runs one by one");
        if (kind == 7 && at + 1 < size) {
            const size_t count = std::min<size_t>(data[at], window.text.size());
            const size_t from = (window.text.size() - count) * data[at + 1] / 255;
            at += 2;
            window.text.erase(from, count);
            model.erase(from, count);
            window.base = window.text.size();
        }
    }
    window.Take();
    Require(window.text == model, "the window's text is the text of the runs one by one");
    return 0;
}
