// The hex view of the real program on a pseudo-terminal: every byte the device sends stands at
// its offset, the dump follows the end or stays where the user scrolled, keys still go to the
// device, and the text goes on unseen, so that switching back, saving and printing find it as if
// the window had never switched.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/DrelAppFixture.h"
#include "framework/MenuBuilder.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"

namespace drel::test {
namespace {

class HexViewTest : public ConnectedAppTest {
  protected:
    HexView& Hex() const { return terminal->GetHexView(); }

    // The row the dump shows last, "" when it shows none.
    std::string LastRowShown() const {
        const std::vector<std::string> rows = Hex().RowsShown();
        return rows.empty() ? std::string() : rows.back();
    }

    // Waits until the dump's last row is the one at `offset`.
    bool FollowedTo(uint64_t offset) const {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%08llx ", static_cast<unsigned long long>(offset));
        return WaitUntil([&] { return LastRowShown().rfind(prefix, 0) == 0; });
    }
};

QAction* ViewItem(QMenu* menu, int id) {
    for (QAction* action : menu->actions()) {
        if (CommandIdOf(action) == id) {
            return action;
        }
    }
    return nullptr;
}

// The byte values a row shows, read from its hex columns, by its offset.
void ReadRow(const std::string& row, std::map<uint64_t, std::vector<int>>& rows) {
    const uint64_t offset = std::stoull(row.substr(0, 8), nullptr, 16);
    std::vector<int>& values = rows[offset];
    values.clear();  // a row on two pages is read twice
    for (size_t position = 0; position < 16; ++position) {
        const size_t column = 10 + 3 * position + (position >= 8 ? 1 : 0);
        values.push_back(std::stoi(row.substr(column, 2), nullptr, 16));
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(HexViewTest, EveryValueStandsAtItsOffsetAllTheWayUp) {
    QAction* item = ViewItem(MenuOf("&View"), ID_VIEW_HEX);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Hex");
    Frame()->UpdateAllCmdUI();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    ASSERT_TRUE(Command(ID_VIEW_HEX));
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(terminal->IsHexShown());

    std::string all(256, '\0');
    for (int value = 0; value < 256; ++value) {
        all[value] = static_cast<char>(value);
    }
    Send(*device, all);
    ASSERT_TRUE(FollowedTo(0xf0)) << LastRowShown();
    // Page by page from the top, as the user scrolls back.
    std::map<uint64_t, std::vector<int>> rows;
    QScrollBar* bar = Hex().verticalScrollBar();
    for (int top = 0;; top += bar->pageStep()) {
        bar->setValue(top);
        for (const std::string& row : Hex().RowsShown()) {
            ReadRow(row, rows);
        }
        if (top >= bar->maximum()) {
            break;
        }
    }
    ASSERT_EQ(rows.size(), 16u);
    for (const auto& [offset, values] : rows) {
        for (size_t position = 0; position < values.size(); ++position) {
            EXPECT_EQ(values[position], static_cast<int>(offset + position) % 256) << offset;
        }
    }
    EXPECT_EQ(rows.at(0x40).size(), 16u);
}

TEST_F(HexViewTest, TheDumpFollowsTheEndUnlessScrolledBack) {
    ASSERT_TRUE(Command(ID_VIEW_HEX));
    Send(*device, std::string(4096, 'x'));
    ASSERT_TRUE(FollowedTo(0xff0)) << LastRowShown();
    Hex().verticalScrollBar()->setValue(0);
    Send(*device, std::string(16, 'y'));
    ASSERT_TRUE(WaitUntil([&] {
        return Hex().verticalScrollBar()->maximum() == 257 - Hex().verticalScrollBar()->pageStep();
    }));
    EXPECT_EQ(Hex().RowsShown().front().substr(0, 8), "00000000");
    // Back at the end, it follows again.
    Hex().verticalScrollBar()->setValue(Hex().verticalScrollBar()->maximum());
    Send(*device, "z");
    EXPECT_TRUE(FollowedTo(0x1010)) << LastRowShown();
}

TEST_F(HexViewTest, TheTextGoesOnUnseenAndKeysStillGoToTheDevice) {
    Send(*device, "one\r\n");
    ExpectShown(terminal, "one\r\n");
    ASSERT_TRUE(Command(ID_VIEW_HEX));
    EXPECT_FALSE(terminal->GetEditCtrl().isVisible());
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == &Hex(); }));
    Press(Qt::Key_A);
    EXPECT_EQ(Received(*device, 1), "a");

    Send(*device, std::string("two\r\nthree\0!", 12));
    ASSERT_TRUE(FollowedTo(0x10)) << LastRowShown();
    // Saving takes the text, not the dump.
    const std::string path = TempPath("saved.txt");
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_FILE_SAVE_AS));
    EXPECT_EQ(Escaped(ReadFile(path)), Escaped("one\r\ntwo\r\nthree!"));

    ASSERT_TRUE(Command(ID_VIEW_HEX));
    EXPECT_FALSE(terminal->IsHexShown());
    EXPECT_TRUE(terminal->GetEditCtrl().isVisible());
    ExpectShown(terminal, "one\r\ntwo\r\nthree!");
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    Press(Qt::Key_B);
    EXPECT_EQ(Received(*device, 1), "b");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DrelAppTest, HexIsOffWithNoTerminal) {
    StartApp(CancelDialog);
    EXPECT_FALSE(Enabled(ID_VIEW_HEX));
}

}  // namespace
}  // namespace drel::test
