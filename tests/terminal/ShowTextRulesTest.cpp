#include "terminal/ShowTextRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace drel;

namespace {

std::string Show(std::string text, const std::vector<std::string>& runs) {
    for (const std::string& run : runs) {
        ApplyTextEdit(text, PlanShowText(text.size(), run));
    }
    return text;
}

}  // namespace

TEST(ShowTextRulesTest, LineEndsBackspacesAndRuns) {
    const struct {
        const char* shown;
        std::vector<std::string> runs;
        const char* result;
    } cases[] = {
        {"", {"abc"}, "abc"},
        {"", {"abc", "\r\n"}, "abc\r\n"},
        {"", {"abc", "\r\n", "def\n"}, "abc\r\ndef"},
        {"", {"abc", "\r\n", "def\n", "\r"}, "abc\r\ndef\r\n"},
        {"", {"x\r", "\ny"}, "x\r\ny"},  // CR ending one run, LF starting the next: one break
        {"", {"a\n\nb"}, "ab"},
        {"", {"ab\b"}, "a"},
        {"", {"ab\b\bc"}, "c"},
        {"xyz", {"\b\b"}, "x"},
        {"abc", {"\b \b"}, "ab"},
        {"", {"\b"}, ""},
        {"ab", {"\b\b\b\b"}, ""},  // erasing stops at the start of the text
        {"ok\r\n", {"\b"}, "ok\r"},
        {"", {""}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(c.shown, c.runs), c.result) << c.shown << " + " << c.runs.back();
    }
}

TEST(ShowTextRulesTest, TrimsOnceTheTextHasReachedTheThreshold) {
    const std::string below(kTrimThreshold - 1, 'o');
    EXPECT_EQ(Show(below, {"n"}), below + "n");

    std::string full(kTrimThreshold, 'o');
    full[kTrimCount] = 'K';  // the first character that stays
    const std::string result = Show(full, {"n"});
    EXPECT_EQ(result.size(), kTrimThreshold - kTrimCount + 1);
    EXPECT_EQ(result.size() - 1, 12287u);
    EXPECT_EQ(result.front(), 'K');
    EXPECT_EQ(result.back(), 'n');
}

TEST(ShowTextRulesTest, TrimCutsByCountEvenInsideALineBreak) {
    std::string text(kTrimCount - 1, 'o');
    text += "\r\n";
    text.resize(kTrimThreshold, 'o');
    EXPECT_EQ(Show(text, {""}).front(), '\n');
}

TEST(ShowTextRulesTest, BackspacesAfterTheTrimErasePastTheCut) {
    const TextEdit edit = PlanShowText(kTrimThreshold, std::string(20000, '\b'));
    EXPECT_EQ(edit.cutFront, kTrimCount);
    EXPECT_EQ(edit.eraseCount, kTrimThreshold - kTrimCount);
    EXPECT_TRUE(edit.append.empty());
}

// However long the stream and however it is cut into runs, the text stays bounded and every
// line break is a CR LF pair.
TEST(ShowTextRulesTest, TextStaysBoundedAndLineBreaksPaired) {
    std::string text;
    const std::string run = "line of output\n\r\b";
    for (int i = 0; i < 5000; ++i) {
        ApplyTextEdit(text, PlanShowText(text.size(), run.substr(i % run.size())));
        ASSERT_LE(text.size(), kTrimThreshold + 2 * run.size());
    }
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_EQ(text[i - 1], '\r') << i;
        }
    }
}

namespace {

// `length` characters of text in lines of 63 and CR LF, ending in `tail`.
std::string Shown(size_t length, const std::string& tail = {}) {
    std::string text(length - std::min(length, tail.size()), 'o');
    for (size_t i = 63; i + 1 < text.size(); i += 65) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    return text + tail;
}

// What `runs` folded into one edit make of `shown`.
std::string Folded(const std::string& shown, const std::vector<std::string>& runs) {
    TextEdit pending;
    for (const std::string& run : runs) {
        FoldShowText(pending, shown.size(), run);
    }
    std::string text = shown;
    ApplyTextEdit(text, pending);
    return text;
}

std::vector<std::string> Repeated(const std::string& run, int times) {
    return std::vector<std::string>(static_cast<size_t>(times), run);
}

}  // namespace

// However many runs wait, the one edit they fold into makes the text that showing them one by
// one makes: backspaces reaching back into what earlier runs added and into the text shown
// before, trims that cut the text shown before and then what the runs added, a text longer than
// the threshold (a paste) cut once per run.
TEST(FoldShowTextTest, FoldedRunsMakeTheTextThatShowingThemOneByOneMakes) {
    const struct {
        const char* name;
        std::string shown;
        std::vector<std::string> runs;
    } cases[] = {
        {"line ends", "", {"abc", "\r\n", "def\n", "\r", "x\r", "\ny"}},
        {"erase into earlier runs", "xyz", {"ab", "\b\b\b", "q\b\b\b\b\b\b"}},
        {"erase after a line break", "ok\r\n", {"\b", "\r", "\b\b"}},
        {"cut at the threshold", Shown(kTrimThreshold - 1), {"a", "b", "c"}},
        {"cut inside a line break",
         Shown(kTrimCount + 1, "\r\n") + Shown(kTrimThreshold - kTrimCount - 1),
         {"", "x"}},
        {"cuts reach the runs' text", Shown(16000), Repeated("0123456789\r\n", 4000)},
        {"a pasted text cut once a run", Shown(40000), Repeated("ab", 12)},
        {"erase after cuts", Shown(kTrimThreshold), {"x", std::string(20000, '\b'), "y"}},
        {"erase everything then grow", Shown(300), {std::string(400, '\b'), "abc"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Folded(c.shown, c.runs), Show(c.shown, c.runs)) << c.name;
    }
}

// A flood that no window takes folds into an edit no larger than the text the rules keep.
TEST(FoldShowTextTest, WhatWaitsStaysBoundedUnderAnyFlood) {
    const std::string run =
        "numbered line of a flood, eighty bytes long with its line end....\r\n\r\r";
    TextEdit pending;
    std::string text = Shown(5000);
    const size_t base = text.size();
    for (int i = 0; i < 20000; ++i) {
        FoldShowText(pending, base, run);
        ApplyTextEdit(text, PlanShowText(text.size(), run));
        ASSERT_LE(pending.append.size(), kTrimThreshold + 2 * run.size()) << i;
    }
    EXPECT_EQ(pending.cutFront, base);
    std::string folded = Shown(5000);
    ApplyTextEdit(folded, pending);
    EXPECT_EQ(folded, text);
    EXPECT_EQ(LengthAfter(base, pending), text.size());
}
