// Fuzzes the terminal's display rules: runs of received bytes go through DisplayBytes to a
// terminal whose text is a plain string, edited as PlanShowText plans it, and the text is
// compared with a model of the rules written here.
//
// Input: bytes 0 and 1 (little-endian, modulo kTrimThreshold + 1) give the length of the text
// already shown, lines of filler, so that the trim is reached with short inputs; then runs,
// each one byte giving its length (modulo 81: the receive loop reads at most 80 bytes) and
// that many bytes.
//
// Checked after every run:
// - the plan: cutFront is kTrimCount exactly when the text had reached kTrimThreshold, else 0;
//   the erase count is at most the length left after the cut; the appended text holds no BS
//   and each of its LFs follows a CR and each CR is followed by an LF;
// - the text: never longer than kTrimThreshold - 1 plus the longest expansion of a run so far,
//   and no LF without a CR before it, except at the very start after a cut (the cut is by
//   count and may fall between a CR and its LF);
// - the text equals the model's.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "TextModel.h"
#include "terminal/DisplayBytes.h"
#include "terminal/OutputView.h"
#include "terminal/ShowTextRules.h"

namespace {

using drel::kTrimCount;
using drel::kTrimThreshold;
using drel::TextEdit;
using drel::fuzz::Filler;
using drel::fuzz::ModelShow;
using drel::fuzz::Require;

constexpr size_t kMaxRun = 80;

// Whether every LF of `text` from index `first` on has a CR before it.
bool LineFeedsFollowCarriageReturns(std::string_view text, size_t first) {
    for (size_t lf = text.find('\n', first); lf != std::string_view::npos;
         lf = text.find('\n', lf + 1)) {
        if (lf == 0 || text[lf - 1] != '\r') {
            return false;
        }
    }
    return true;
}

// Whether `text` holds its line ends as CR LF pairs only.
bool OnlyPairedLineEnds(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
            return false;
        }
    }
    return LineFeedsFollowCarriageReturns(text, 0);
}

// A terminal whose text is a string: it plans each run, checks the plan, and carries it out.
class StringTerminal : public drel::OutputView {
  public:
    explicit StringTerminal(std::string text) : text_(std::move(text)) {}

    void ShowText(std::string_view run) override {
        const size_t length = text_.size();
        const TextEdit edit = drel::PlanShowText(length, run);
        Require(edit.cutFront == (length >= kTrimThreshold ? kTrimCount : 0),
                "cut kTrimCount exactly when the text has reached kTrimThreshold");
        Require(edit.eraseCount <= length - edit.cutFront, "erase no more than is left");
        Require(edit.append.find('\b') == std::string::npos, "no BS is appended");
        Require(OnlyPairedLineEnds(edit.append), "appended line ends are CR LF pairs");
        drel::ApplyTextEdit(text_, edit);
        cut_ = cut_ || edit.cutFront > 0;
        longestAppend_ = std::max(longestAppend_, edit.append.size());
    }

    const std::string& Text() const { return text_; }
    bool WasCut() const { return cut_; }
    size_t LongestAppend() const { return longestAppend_; }

  private:
    std::string text_;
    bool cut_ = false;
    size_t longestAppend_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t shown = (data[0] | data[1] << 8) % (kTrimThreshold + 1);
    StringTerminal terminal(Filler(shown));
    std::string model = terminal.Text();
    for (size_t at = 2; at < size;) {
        const size_t length = std::min<size_t>(data[at] % (kMaxRun + 1), size - at - 1);
        const uint8_t* run = data + at + 1;
        at += 1 + length;
        drel::DisplayBytes(&terminal, run, static_cast<int>(length));
        ModelShow(model, std::string_view(reinterpret_cast<const char*>(run), length));
        const std::string& text = terminal.Text();
        Require(text.size() <= kTrimThreshold - 1 + terminal.LongestAppend(),
                "text bounded by the threshold and the longest run");
        Require(LineFeedsFollowCarriageReturns(text, terminal.WasCut() ? 1 : 0),
                "every LF follows a CR, but for a first one a cut left");
        Require(text == model, "text as the model shows it");
    }
    return 0;
}
