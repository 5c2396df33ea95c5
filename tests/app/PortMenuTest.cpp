// The Port menu and the modem input panes of the real program on a pseudo-terminal, a port
// without modem lines: the items still show and keep what the user chose, a break goes between
// the keys typed around it, and the panes stay greyed.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <string>

#include "app/DrelAppFixture.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CStatusBar.h"
#include "framework/MenuBuilder.h"
#include "resources/resource.h"

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

// A pseudo-terminal cannot report its inputs: every pane is greyed, with its name; and so with
// no terminal open.
TEST_F(ConnectedAppTest, ModemPanesAreNamedAndGreyedWhenTheInputsCannotBeRead) {
    EXPECT_TRUE(WaitUntil([&] { return ModemPanes(Frame()).enabled == "0000"; }))
        << ModemPanes(Frame()).enabled;
    EXPECT_EQ(ModemPanes(Frame()).texts, "CTS DSR DCD RI ");
    CloseWindow(terminal->GetParentFrame()->Widget());
    EXPECT_FALSE(Enabled(ID_PORT_SEND_BREAK));
    EXPECT_EQ(ModemPanes(Frame()).enabled, "0000");
}

}  // namespace
}  // namespace drel::test
