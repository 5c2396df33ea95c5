// The Port menu and the modem input panes of the real program on a pseudo-terminal, a port
// without modem lines: the items still show and keep what the user chose, a break and bytes sent
// by value go between the keys typed around them, and the panes stay greyed.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "app/DrelAppFixture.h"
#include "framework/CDialog.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CStatusBar.h"
#include "framework/MenuBuilder.h"
#include "resources/resource.h"
#include "support/DigitPattern.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

QAction* PortItem(QMenu* menu, int id) {
    for (QAction* action : menu->actions()) {
        if (CommandIdOf(action) == id) {
            return action;
        }
    }
    return nullptr;
}

// The modem panes, CTS to RI: their texts and whether each shows normally.
struct Panes {
    std::string texts;
    std::string enabled;
};

Panes ModemPanes(CMainFrame* frame) {
    auto* bar = dynamic_cast<CStatusBar*>(frame->statusBar());
    Panes panes;
    for (int index = 1; index <= 4 && bar != nullptr; ++index) {
        panes.texts += bar->GetPaneText(index) + " ";
        panes.enabled += bar->IsPaneEnabled(index) ? '1' : '0';
    }
    return panes;
}

TEST_F(ConnectedAppTest, DtrAndRtsAreCheckedAndKeepTheUsersChoiceOnAPortWithoutLines) {
    QMenu* port = MenuOf("&Port");
    ASSERT_NE(port, nullptr);
    for (const int id : {ID_PORT_DTR, ID_PORT_RTS}) {
        SCOPED_TRACE(id);
        QAction* item = PortItem(port, id);
        ASSERT_NE(item, nullptr);
        Frame()->UpdateAllCmdUI();
        EXPECT_TRUE(item->isEnabled());
        EXPECT_TRUE(item->isChecked());
        ASSERT_TRUE(Command(id));
        EXPECT_FALSE(item->isChecked());
        ASSERT_TRUE(Command(id));
        EXPECT_TRUE(item->isChecked());
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConnectedAppTest, SendBreakGoesBetweenTheKeysTypedAroundIt) {
    Focus(terminal);
    Press(Qt::Key_A);
    ASSERT_TRUE(Command(ID_PORT_SEND_BREAK));
    Press(Qt::Key_B);
    EXPECT_EQ(Received(*device, 2), "ab");
    EXPECT_TRUE(boxes.empty());
}

QComboBox* HexField(QWidget* dialog) {
    return qobject_cast<QComboBox*>(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDC_HEX_BYTES));
}

// Types `text` into the dialog's field and presses Enter.
void EnterHex(QWidget* dialog, const QString& text) {
    QComboBox* field = HexField(dialog);
    ASSERT_NE(field, nullptr);
    Retype(field->lineEdit(), text);
    PressKey(Qt::Key_Return);
}

class SendHexTest : public ConnectedAppTest {
  protected:
    // "Send Hex..." from the terminal with `drive` as the user of its dialog.
    void SendHex(const std::function<void(QWidget*)>& drive) {
        Focus(terminal);
        RunModal(
            [&] {
                EXPECT_TRUE(Command(ID_PORT_SEND_HEX));
                return 0;
            },
            drive);
        // Back in the terminal, where the next keys go.
        Focus(terminal);
    }
};

TEST_F(SendHexTest, TheBytesGoExactlyAndBetweenTheKeysTypedAroundThem) {
    EXPECT_TRUE(Enabled(ID_PORT_SEND_HEX));
    QAction* item = PortItem(MenuOf("&Port"), ID_PORT_SEND_HEX);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Send &Hex...");
    Focus(terminal);
    Press(Qt::Key_A);
    SendHex([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Send Hex");
        EXPECT_EQ(FocusedControl(), HexField(dialog));
        EnterHex(dialog, "00 ff 0d");
    });
    Press(Qt::Key_B);
    EXPECT_EQ(Escaped(Received(*device, 5)), Escaped(std::string("a\0\xff\rb", 5)));
    EXPECT_TRUE(boxes.empty());
}

// The box names the value; the dialog stays open with the text, and only what is sent after it
// reaches the device.
TEST_F(SendHexTest, AnUnreadableValueIsToldAndSendsNothing) {
    SendHex([&](QWidget* dialog) {
        EnterHex(dialog, "01 0G");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  "\"0G\" at column 4 is not a byte value (one or two hex digits, 0x optional)");
        ASSERT_TRUE(dialog->isVisible());
        EXPECT_EQ(HexField(dialog)->currentText(), "01 0G");
        EnterHex(dialog, "41");
    });
    EXPECT_EQ(Escaped(Received(*device, 1)), "A");
    EXPECT_EQ(boxes.size(), 1u);
}

// The field offers the latest text again and the list each sent text once, latest first;
// Cancel sends nothing and leaves the list as it was.
TEST_F(SendHexTest, TheListHoldsWhatWasSentInThisRunLatestFirst) {
    for (const QString text : {"31", "32", "31"}) {
        SendHex([&](QWidget* dialog) { EnterHex(dialog, text); });
    }
    for (int round = 0; round < 2; ++round) {
        SendHex([](QWidget* dialog) {
            QComboBox* field = HexField(dialog);
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->currentText(), "31");
            ASSERT_EQ(field->count(), 2);
            EXPECT_EQ(field->itemText(0), "31");
            EXPECT_EQ(field->itemText(1), "32");
            PressKey(Qt::Key_Escape);
        });
    }
    Press(Qt::Key_Z);
    EXPECT_EQ(Received(*device, 4), "121z");
}

// A pseudo-terminal cannot report its inputs: every pane is greyed, with its name; and so with
// no terminal open.
TEST_F(ConnectedAppTest, ModemPanesAreNamedAndGreyedWhenTheInputsCannotBeRead) {
    EXPECT_TRUE(WaitUntil([&] { return ModemPanes(Frame()).enabled == "0000"; }))
        << ModemPanes(Frame()).enabled;
    EXPECT_EQ(ModemPanes(Frame()).texts, "CTS DSR DCD RI ");
    CloseWindow(terminal->GetParentFrame()->Widget());
    EXPECT_FALSE(Enabled(ID_PORT_SEND_BREAK));
    EXPECT_FALSE(Enabled(ID_PORT_SEND_HEX));
    EXPECT_EQ(ModemPanes(Frame()).enabled, "0000");
}

bool LogPaneEnabled(CMainFrame* frame) {
    auto* bar = dynamic_cast<CStatusBar*>(frame->statusBar());
    return bar != nullptr && bar->GetPaneText(5) == "LOG" && bar->IsPaneEnabled(5);
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the board sends goes to the file exactly, added to what the file held, while the LOG pane
// shows; after "Stop Logging" nothing more is added.
TEST_F(ConnectedAppTest, LogToFileAddsTheBytesAsTheyCameUntilStopped) {
    const std::string path = TempPath("board.log");
    { std::ofstream(path, std::ios::binary) << "earlier\n"; }
    EXPECT_FALSE(Enabled(ID_PORT_LOG_STOP));
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_PORT_LOG_START));
    EXPECT_TRUE(Enabled(ID_PORT_LOG_STOP));
    EXPECT_TRUE(WaitUntil([&] { return LogPaneEnabled(Frame()); }));
    const std::string sent("boot\0\xff\r\nok", 10);
    Send(*device, sent);
    ExpectShown(terminal, "boot\xff\r\nok");
    ASSERT_TRUE(Command(ID_PORT_LOG_STOP));
    EXPECT_EQ(FileText(path), "earlier\n" + sent);
    EXPECT_TRUE(WaitUntil([&] { return !LogPaneEnabled(Frame()); }));
    Send(*device, "later");
    ExpectShown(terminal, "boot\xff\r\noklater");
    EXPECT_EQ(FileText(path), "earlier\n" + sent);
    EXPECT_TRUE(boxes.empty());
}

// The file's type chooses the form: lines stamped with the time of day, then, offered again as
// the last choice, raw bytes.
TEST_F(ConnectedAppTest, LogToFileWritesTheFormTakenAsTheFilesType) {
    const std::string stamped = TempPath("stamped.log");
    fileAnswers.push_back(stamped);
    fileTypeAnswers.push_back(1);
    ASSERT_TRUE(Command(ID_PORT_LOG_START));
    ASSERT_EQ(fileTypes.size(), 1u);
    EXPECT_EQ(fileTypes[0], (std::vector<std::string>{
                                "Raw bytes, as received (*)",
                                "Lines with the time of day (*)",
                                "Lines with seconds since the log began (*)",
                                "Lines with seconds since the line before (*)",
                            }));
    Send(*device, "A\r\nB\n");
    ExpectShown(terminal, "A\r\nB");
    ASSERT_TRUE(Command(ID_PORT_LOG_STOP));
    std::istringstream lines(FileText(stamped));
    for (const char* text : {"A", "B"}) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_TRUE(MatchesDigitPattern(line, std::string("[####-##-##T##:##:##.###] ") + text))
            << line;
    }

    const std::string raw = TempPath("raw.log");
    fileAnswers.push_back(raw);
    fileTypeAnswers.push_back(0);
    ASSERT_TRUE(Command(ID_PORT_LOG_START));
    Send(*device, "C\r\n");
    ExpectShown(terminal, "A\r\nBC\r\n");  // the lone LF shows nothing
    ASSERT_TRUE(Command(ID_PORT_LOG_STOP));
    EXPECT_EQ(fileTypesOffered, (std::vector<int>{0, 1}));
    EXPECT_EQ(FileText(raw), "C\r\n");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConnectedAppTest, ALogFileThatCannotBeMadeIsToldAtOnce) {
    const std::string path = TempPath("no-such-folder/board.log");
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_PORT_LOG_START));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind(path + ": the log cannot be opened: ", 0), 0u) << boxes[0].text;
    EXPECT_FALSE(Enabled(ID_PORT_LOG_STOP));
}

}  // namespace
}  // namespace drel::test
