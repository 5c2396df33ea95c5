#include "terminal/PendingText.h"

#include <gtest/gtest.h>

#include <string>

using namespace drel;

namespace {

// The window's side: takes what waits and carries it out on `text`.
void TakeInto(PendingText& pending, std::string& text) {
    const std::optional<TextEdit> edit = pending.Take(text.size());
    ASSERT_TRUE(edit.has_value());
    ApplyTextEdit(text, *edit);
}

}  // namespace

// The window is told once, however many runs come before it takes them; an empty run counts,
// since showing it still scrolls to the end.
TEST(PendingTextTest, TheWindowIsToldOnceUntilItTakesWhatWaits) {
    PendingText pending;
    EXPECT_TRUE(pending.Add(""));
    EXPECT_FALSE(pending.Add("abc"));
    EXPECT_FALSE(pending.Add("def"));
    std::string text;
    TakeInto(pending, text);
    EXPECT_EQ(text, "abcdef");
    EXPECT_FALSE(pending.Take(text.size()).has_value());
    EXPECT_TRUE(pending.Add("g"));
}

// After a take, runs are planned for the text that the take left.
TEST(PendingTextTest, RunsAfterATakeArePlannedForTheTextItLeft) {
    PendingText pending;
    std::string text;
    pending.Add("hello\r");
    TakeInto(pending, text);
    ASSERT_EQ(text, "hello\r\n");
    pending.Add("\b\bX");  // takes the line break's two characters
    TakeInto(pending, text);
    EXPECT_EQ(text, "helloX");
}

// The user's own edits while nothing waits: the next runs are planned for the edited text, as
// showing them one by one on it would.
TEST(PendingTextTest, RunsAfterTheUsersEditArePlannedForTheEditedText) {
    PendingText pending;
    std::string text(kTrimThreshold - 10, 'o');
    pending.TextChanged(text.size());
    text += std::string(10, 'p');  // a paste reaches the threshold
    pending.TextChanged(text.size());
    pending.Add("n");
    TakeInto(pending, text);
    EXPECT_EQ(text.size(), kTrimThreshold - kTrimCount + 1);
    EXPECT_EQ(text.back(), 'n');
}

// The user shortened the text while runs waited that were planned to erase more of it than is
// left: they erase what there is, and what they add still lands at the end.
TEST(PendingTextTest, AnEditTakenAfterTheUserShortenedTheTextStaysWithinIt) {
    PendingText pending;
    std::string text = "hello";
    pending.TextChanged(text.size());
    pending.Add("\b\b\b\bX");  // planned: "h" + "X"
    text = "he";               // the user deletes three characters meanwhile
    pending.TextChanged(text.size());
    TakeInto(pending, text);
    EXPECT_EQ(text, "X");
    pending.Add("\bY");  // planned for the text that take left
    TakeInto(pending, text);
    EXPECT_EQ(text, "Y");
}
