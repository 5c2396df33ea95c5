// The edit view: its 8-bit text with CR LF line breaks, selections and replacements that cut
// through line breaks, typed characters and the keys that are commands instead.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "framework/AppFixture.h"
#include "framework/EditControl.h"
#include "framework/StandardIds.h"
#include "framework/UiThread.h"
#include "support/Watchdog.h"

namespace drel::test {
namespace {

class EditViewTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        ASSERT_NE(NewDocument(), nullptr);
        view = ActiveView();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == &view->GetEditCtrl(); }));
    }

    int Blocks() const { return view->GetEditCtrl().document()->blockCount(); }

    void Type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Frame()->windowHandle(), key, modifiers);
    }

    // The selection as [start, end), seen as the program uses it: what ReplaceSel replaces. A
    // byte the text does not hold takes its place and stays in the text.
    std::pair<int, int> Selection() const {
        const std::string before = view->GetWindowText();
        char marker = 1;
        while (before.find(marker) != std::string::npos) {
            ++marker;
        }
        view->ReplaceSel(std::string(1, marker));
        const std::string after = view->GetWindowText();
        const int start = static_cast<int>(after.find(marker));
        return {start, start + static_cast<int>(before.size() + 1 - after.size())};
    }

    // The selection in "one\r\ntwo" after `select`.
    std::pair<int, int> SelectionAfter(const std::function<void()>& select) const {
        view->SetWindowText("one\r\ntwo");
        select();
        return Selection();
    }

    CTestView* view = nullptr;
};

TEST_F(EditViewTest, ReplacementsKeepTheBytesAndJoinOrSplitLineBreaks) {
    const struct {
        const char* text;
        int start, end;
        const char* insert;
        const char* result;
        int lineBreaks;  // CR LF pairs the editor shows as breaks
    } cases[] = {
        {"abc", 3, 3, "\r\n", "abc\r\n", 1},
        {"abc\r\n", 4, 5, "", "abc\r", 0},    // the LF of a break: the CR stays
        {"abc\r", 4, 4, "\n", "abc\r\n", 1},  // an LF after a lone CR joins it
        {"ok\r\n", 3, 3, "X", "ok\rX\n", 0},  // between CR and LF
        {"a\r\nb", 2, 4, "", "a\r", 0},       // from between CR and LF to the end
        {"a\r\nb", 1, 3, "", "ab", 0},
        {"a\rb\nc", 2, 3, "", "a\r\nc", 1},  // a lone CR and a lone LF meet
        {"a\r\nb\r\nc", 0, 8, "x\ry\nz", "x\ry\nz", 0},
        {"\r\n\r\n", 1, 3, "", "\r\n", 1},
        {"text", 1, 3, "\x01\xff", "t\x01\xfft", 0},
    };
    for (const auto& c : cases) {
        view->SetWindowText(c.text);
        view->SetSel(c.start, c.end);
        view->ReplaceSel(c.insert);
        EXPECT_EQ(view->GetWindowText(), std::string(c.result)) << c.text;
        EXPECT_EQ(view->GetWindowTextLength(), static_cast<int>(std::string(c.result).size()));
        EXPECT_EQ(Blocks() - 1, c.lineBreaks) << c.text;
        const int caret = c.start + static_cast<int>(std::string(c.insert).size());
        EXPECT_EQ(Selection(), std::pair(caret, caret)) << c.text;
    }
}

TEST_F(EditViewTest, EveryByteValueSurvivesTheEditor) {
    std::string bytes;
    for (int i = 255; i >= 0; --i) {
        bytes += static_cast<char>(i);
    }
    view->SetWindowText(bytes);
    EXPECT_EQ(view->GetWindowText(), bytes);
    view->SetSel(0, 0);
    view->ReplaceSel(bytes);
    EXPECT_EQ(view->GetWindowText(), bytes + bytes);
}

TEST_F(EditViewTest, SelectionsFollowTheEditControlRules) {
    EXPECT_EQ(SelectionAfter([&] { view->SetSel(0, -1); }), std::pair(0, 8));
    EXPECT_EQ(SelectionAfter([&] {
                  view->SetSel(0, -1);
                  view->SetSel(-1, 0);
              }),
              std::pair(8, 8))
        << "-1 drops the selection, caret stays";
    EXPECT_EQ(SelectionAfter([&] { view->SetSel(6, 2); }), std::pair(2, 6));
    EXPECT_EQ(SelectionAfter([&] { view->SetSel(5, 100); }), std::pair(5, 8));

    // A selection the user makes counts line breaks as two.
    EXPECT_EQ(SelectionAfter([&] {
                  QTextCursor cursor = view->GetEditCtrl().textCursor();
                  cursor.setPosition(4);  // the start of "two"
                  cursor.setPosition(6, QTextCursor::KeepAnchor);
                  view->GetEditCtrl().setTextCursor(cursor);
              }),
              std::pair(5, 7));
}

TEST_F(EditViewTest, AReplacementWithoutUndoClearsTheUndoHistory) {
    view->SetWindowText("abc");
    view->SetSel(3, 3);
    view->ReplaceSel("d", true);
    EXPECT_TRUE(Enabled(ID_EDIT_UNDO));
    EXPECT_TRUE(Command(ID_EDIT_UNDO));
    EXPECT_EQ(view->GetWindowText(), "abc");
    view->SetSel(3, 3);
    view->ReplaceSel("e", true);
    view->ReplaceSel("f", false);
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(view->GetWindowText(), "abcef");
}

TEST_F(EditViewTest, TheEditorUsesTheFixedFontAndDoesNotWrap) {
    EXPECT_TRUE(QFontInfo(view->GetEditCtrl().font()).fixedPitch());
    EXPECT_EQ(view->GetEditCtrl().lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(EditViewTest, TypedKeysReachOnCharWithTheirCharacterCodes) {
    Log().charsToEditor = false;
    // Keys typed as the keyboard reports them: a key code, or a character with its text.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::vector<unsigned> codes;
        char ch = 0;
    } cases[] = {
        {Qt::Key_Return, Qt::NoModifier, {0x0D}},
        {Qt::Key_Enter, Qt::KeypadModifier, {0x0D}},
        {Qt::Key_Backspace, Qt::NoModifier, {0x08}},
        {Qt::Key_Tab, Qt::NoModifier, {0x09}},
        {Qt::Key_Escape, Qt::NoModifier, {0x1B}},
        {Qt::Key_A, Qt::NoModifier, {'a'}, 'a'},
        {Qt::Key_A, Qt::ShiftModifier, {'A'}, 'A'},
        {Qt::Key_5, Qt::NoModifier, {'5'}, '5'},
        {Qt::Key_At, Qt::ShiftModifier, {'@'}, '@'},
        {Qt::Key_Space, Qt::NoModifier, {' '}, ' '},
        {Qt::Key_Left, Qt::NoModifier, {}},
        {Qt::Key_Home, Qt::NoModifier, {}},
        {Qt::Key_PageDown, Qt::NoModifier, {}},
        {Qt::Key_Delete, Qt::NoModifier, {}},
        {Qt::Key_F2, Qt::NoModifier, {}},
    };
    for (const auto& c : cases) {
        Log().chars.clear();
        if (c.ch != 0) {
            QTest::keyClick(Frame()->windowHandle(), c.ch, c.modifiers);
        } else {
            Type(c.key, c.modifiers);
        }
        EXPECT_EQ(Log().chars, c.codes) << c.key;
    }
    EXPECT_EQ(view->GetWindowText(), "") << "OnChar took the characters; nothing was inserted";
}

TEST_F(EditViewTest, CtrlLettersAreControlCodesUnlessTheyAreAccelerators) {
    Log().charsToEditor = false;
    const std::string accelerators = "NOSPZXCV";
    for (int letter = Qt::Key_A; letter <= Qt::Key_Z; ++letter) {
        Log().chars.clear();
        Type(Qt::Key(letter), Qt::ControlModifier);
        const char name = static_cast<char>('A' + letter - Qt::Key_A);
        if (accelerators.find(name) != std::string::npos) {
            EXPECT_TRUE(Log().chars.empty()) << "Ctrl+" << name;
        } else {
            EXPECT_EQ(Log().chars, std::vector<unsigned>{unsigned(letter - Qt::Key_A + 1)})
                << "Ctrl+" << name;
        }
    }
}

TEST_F(EditViewTest, CtrlCRunsTheCopyCommandAndNotOnChar) {
    view->SetWindowText("hello world");
    view->SetSel(0, 5);
    QApplication::clipboard()->clear();
    Type(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    EXPECT_TRUE(Log().chars.empty());

    view->SetSel(11, 11);
    Type(Qt::Key_Insert, Qt::ShiftModifier);  // Paste
    EXPECT_EQ(view->GetWindowText(), "hello worldhello");
    view->SetSel(0, 6);
    Type(Qt::Key_X, Qt::ControlModifier);  // Cut
    EXPECT_EQ(view->GetWindowText(), "worldhello");
    EXPECT_EQ(QApplication::clipboard()->text(), "hello ");
    Type(Qt::Key_Z, Qt::ControlModifier);  // Undo
    EXPECT_EQ(view->GetWindowText(), "hello worldhello");
    view->SetSel(0, 0);
    Type(Qt::Key_V, Qt::ControlModifier);  // Paste
    EXPECT_EQ(view->GetWindowText(), "hello hello worldhello");
    EXPECT_TRUE(Log().chars.empty());
}

TEST_F(EditViewTest, TheBaseOnCharLetsTheEditorInsert) {
    QTest::keyClick(Frame()->windowHandle(), 'H', Qt::ShiftModifier);
    QTest::keyClick(Frame()->windowHandle(), 'i');
    Type(Qt::Key_Return);
    QTest::keyClick(Frame()->windowHandle(), 'x');
    Type(Qt::Key_Backspace);
    EXPECT_EQ(view->GetWindowText(), "Hi\r\n");
    EXPECT_EQ(Log().chars, (std::vector<unsigned>{'H', 'i', 0x0D, 'x', 0x08}));
}

TEST_F(EditViewTest, ADoubleClickGoesToTheHookInsteadOfSelectingAWord) {
    view->SetWindowText("word");
    QWidget* viewport = view->GetEditCtrl().viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(Log().doubleClicks, 1);
    EXPECT_FALSE(view->GetEditCtrl().textCursor().hasSelection());
}

TEST_F(EditViewTest, PastedTextBeyondEightBitsBecomesQuestionMarks) {
    view->SetWindowText("");
    QApplication::clipboard()->setText(QStringLiteral(u"a\u20ACb\U0001F600c"));
    EXPECT_TRUE(Command(ID_EDIT_PASTE));
    EXPECT_EQ(view->GetWindowText(), "a?b?c");
    EXPECT_EQ(view->GetWindowTextLength(), 5);
}

// A view of its own, never shown, so that the test touches no painting (and ThreadSanitizer
// sees only the calls between the threads).
TEST(EditViewThreadTest, TheTextFunctionsWorkFromAnotherThread) {
    CEditView view;
    std::string seen;
    int length = 0;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        view.SetWindowText("from a worker");
        length = view.GetWindowTextLength();
        view.SetSel(length, -1);
        view.ReplaceSel("\r\n");
        view.ScrollCaret();
        seen = view.GetWindowText();
        done = true;
    });
    CallWatched("serving the worker", [&] {
        ServeCallsUntil([&] { return done.load(); });
        worker.join();
    });
    EXPECT_EQ(length, 13);
    EXPECT_EQ(seen, "from a worker\r\n");
    EXPECT_EQ(view.GetWindowText(), seen);
}

}  // namespace
}  // namespace drel::test
