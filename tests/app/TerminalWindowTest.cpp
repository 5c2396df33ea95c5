// A terminal window on a real port: what typing sends to the device, what the edit keys do
// instead, how the device's text is shown, and two windows on one connection.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <fstream>
#include <iterator>
#include <string>

#include "app/DrelAppFixture.h"
#include "framework/CDialog.h"
#include "framework/CMDIChildWnd.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

using namespace std::string_literals;

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::string sent;
};

const KeyCase kKeys[] = {
    {"a", Qt::Key_A, Qt::NoModifier, "a"},
    {"Enter", Qt::Key_Return, Qt::NoModifier, "\r"},
    {"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b"},
    {"Tab", Qt::Key_Tab, Qt::NoModifier, "\t"},
    {"Backspace", Qt::Key_Backspace, Qt::NoModifier, "\b"},
    {"Ctrl+A", Qt::Key_A, Qt::ControlModifier, "\x01"},
};

TEST_F(ConnectedAppTest, EachTypedKeyGoesToTheDeviceAsOneByteAndShowsNothing) {
    for (const KeyCase& key : kKeys) {
        SCOPED_TRACE(key.name);
        Press(key.key, key.modifiers);
        EXPECT_EQ(Escaped(Received(*device, key.sent.size())), Escaped(key.sent));
    }
    EXPECT_EQ(terminal->GetWindowText(), "");
}

TEST_F(ConnectedAppTest, CopyAndPasteKeysWorkOnTheShownTextAndSendNothing) {
    Send(*device, "hello world");
    ExpectShown(terminal, "hello world");
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    terminal->SetSel(0, 5);

    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "hello");
    clipboard->setText("XY");
    terminal->SetSel(11, 11);
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(terminal->GetWindowText(), "hello worldXY");

    // Bytes leave in the order they are typed: if Ctrl+C or Ctrl+V had sent one, it would come
    // before this one.
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*device, 1)), "z");
}

TEST_F(ConnectedAppTest, DoubleClickingAWordSelectsNothing) {
    Send(*device, "hello world");
    ExpectShown(terminal, "hello world");
    QPlainTextEdit& edit = terminal->GetEditCtrl();
    QTextCursor inWord(edit.document());
    inWord.setPosition(8);
    const QPoint at = edit.cursorRect(inWord).center();

    QTest::mouseDClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier, at);

    EXPECT_FALSE(edit.textCursor().hasSelection())
        << "selected \"" << edit.textCursor().selectedText().toStdString() << "\"";
    // Nor does the view hold one: replacing its selection removes nothing.
    terminal->ReplaceSel("");
    EXPECT_EQ(terminal->GetWindowText(), "hello world");
}

// One run the device sends and the whole text the terminal shows after it, in order: each run
// is shown before the next goes out.
struct ShowStep {
    std::string sent;
    std::string shown;
};

TEST_F(ConnectedAppTest, TheDevicesTextIsShownUnderTheDisplayRules) {
    const ShowStep steps[] = {
        {"abc", "abc"},
        {"\r\n", "abc\r\n"},                  // CR LF: one line break
        {"def\n", "abc\r\ndef"},              // a lone LF is dropped
        {"\r", "abc\r\ndef\r\n"},             // a lone CR breaks the line
        {"g\r", "abc\r\ndef\r\ng\r\n"},       // a CR ending one run ...
        {"\nh", "abc\r\ndef\r\ng\r\nh"},      // ... and the LF opening the next: one break
        {"xyz\b", "abc\r\ndef\r\ng\r\nhxy"},  // BS erases the character before it
        {"\b\b", "abc\r\ndef\r\ng\r\nh"},     // and, leading a run, shown ones
        {"1\0002\000\0003"s, "abc\r\ndef\r\ng\r\nh123"},  // NULs are left out, the rest shown
    };
    for (const ShowStep& step : steps) {
        SCOPED_TRACE(Escaped(step.sent));
        Send(*device, step.sent);
        ExpectShown(terminal, step.shown);
    }
    // Text the user selected in the middle stays: the next run lands at the end.
    terminal->SetSel(5, 8);
    Send(*device, "!");
    ExpectShown(terminal, "abc\r\ndef\r\ng\r\nh123!");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DrelAppTest, LocalEchoYesStillShowsOnlyWhatTheDeviceSends) {
    ASSERT_NO_FATAL_FAILURE(StartApp([](QWidget* dialog) {
        Click(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDC_ECHO_YES));
        PressKey(Qt::Key_Return);
    }));
    CDrelView* terminal = ActiveView();
    ASSERT_NE(terminal, nullptr);
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));

    Press(Qt::Key_A);

    EXPECT_EQ(Received(*device, 1), "a");
    EXPECT_EQ(terminal->GetWindowText(), "");
}

// Two windows on one connection, and which of them a close takes down.
class TwoWindowsTest : public ConnectedAppTest, public testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ConnectedAppTest::SetUp());
        doc = ActiveDoc();
        ASSERT_TRUE(Command(ID_WINDOW_NEW));
        ASSERT_EQ(Views().size(), 2u);
        second = Views()[1];
        ASSERT_EQ(ActiveView(), second);
        ASSERT_EQ(second->GetDocument(), doc);
    }

    CDrelDoc* doc = nullptr;
    CDrelView* second = nullptr;
};

TEST_F(TwoWindowsTest, TheDevicesTextGoesToTheWindowActivatedLast) {
    Send(*device, "to the second\r\n");
    ExpectShown(second, "to the second\r\n");
    EXPECT_EQ(terminal->GetWindowText(), "");

    Focus(terminal);
    Send(*device, "to the first");
    ExpectShown(terminal, "to the first");
    EXPECT_EQ(second->GetWindowText(), "to the second\r\n");

    // Save writes the text of the document's first window, whichever window is active.
    Focus(second);
    const std::string path = TempPath("first-window.txt");
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_FILE_SAVE));
    std::ifstream saved(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "to the first");
}

TEST_P(TwoWindowsTest, ClosingEitherWindowClosesThePortAndTheOtherStaysMute) {
    CDrelView* closing = GetParam() == 0 ? terminal : second;
    CDrelView* staying = GetParam() == 0 ? second : terminal;
    Send(*device, "text\r\n");
    ASSERT_TRUE(WaitUntil([&] { return doc->IsModified(); }));

    CloseWindow(closing->GetParentFrame()->Widget());

    EXPECT_EQ(doc->Connection().connected, 0);
    ASSERT_EQ(Views(), std::vector<CDrelView*>{staying});
    EXPECT_EQ(staying->GetDocument(), doc);
    EXPECT_TRUE(boxes.empty());

    ASSERT_NO_FATAL_FAILURE(Focus(staying));
    Press(Qt::Key_X);
    // A byte of the test's own, written into the port's side of the line after the key: the
    // device reads it first only if the key sent nothing.
    ASSERT_EQ(write(device->SlaveFd(), "!", 1), 1);
    EXPECT_EQ(Escaped(Received(*device, 1)), "!");
}

INSTANTIATE_TEST_SUITE_P(Closing, TwoWindowsTest, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "First" : "Second");
                         });

}  // namespace
}  // namespace drel::test
