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
