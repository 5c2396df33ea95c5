#include "terminal/DisplayBytes.h"

#include <gtest/gtest.h>

#include "support/Recorders.h"

using drel::DisplayBytes;

namespace {

int Show(drel::OutputView* view, const std::string& bytes) {
    return DisplayBytes(view, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<int>(bytes.size()));
}

}  // namespace

// A device that prints a NUL still shows everything it printed after it.
TEST(DisplayBytesTest, ZeroBytesAreLeftOutAndTheRestIsShown) {
    drel::test::RecordingView view;
    EXPECT_EQ(Show(&view, std::string("ab\0cd\0", 6)), 1);
    EXPECT_EQ(Show(&view, std::string("\0", 1)), 1);
    EXPECT_EQ(view.Runs(), (std::vector<std::string>{"abcd", ""}));
    EXPECT_EQ(view.Text(), "abcd");
}

TEST(DisplayBytesTest, WithoutAViewNothingIsShown) {
    EXPECT_EQ(Show(nullptr, "text"), 1);
    drel::test::RecordingView view;
    EXPECT_EQ(DisplayBytes(&view, nullptr, 0), 1);
    EXPECT_EQ(view.Runs(), std::vector<std::string>{""});
}
