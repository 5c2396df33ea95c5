// The command route: which object runs a command, what is disabled, and when menu items and
// toolbar buttons are brought up to date.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "framework/AppFixture.h"
#include "framework/MenuBuilder.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

using CommandRoutingTest = AppFixture;

QAction* MenuAction(CMDIFrameWnd* frame, int id) {
    for (QAction* top : frame->menuBar()->actions()) {
        QMenu* menu = top->menu();
        frame->OnInitMenuPopup(menu);
        for (QAction* action : menu->actions()) {
            if (CommandIdOf(action) == id) {
                return action;
            }
        }
    }
    return nullptr;
}

TEST_F(CommandRoutingTest, TheFirstObjectAlongTheRouteRunsTheCommand) {
    ASSERT_NE(NewDocument(), nullptr);
    const struct {
        int id;
        const char* runner;
    } cases[] = {
        {ID_ROUTE_VIEW, "view"}, {ID_ROUTE_DOC, "doc"}, {ID_ROUTE_CHILD, "child"},
        {ID_ROUTE_MAIN, "main"}, {ID_ROUTE_APP, "app"},
    };
    for (const auto& c : cases) {
        Log().handled.clear();
        EXPECT_TRUE(Command(c.id)) << c.runner;
        EXPECT_EQ(Log().handled, std::vector<std::string>{c.runner}) << c.id;
    }
}

TEST_F(CommandRoutingTest, WithoutADocumentWindowTheRouteIsMainFrameThenApplication) {
    EXPECT_TRUE(Command(ID_ROUTE_VIEW));
    EXPECT_TRUE(Command(ID_ROUTE_APP));
    EXPECT_EQ(Log().handled, (std::vector<std::string>{"main", "app"}));
}

TEST_F(CommandRoutingTest, ACommandNobodyHandlesIsDisabledAndDoesNotRun) {
    ASSERT_NE(NewDocument(), nullptr);
    EXPECT_FALSE(Enabled(ID_ROUTE_NOBODY));
    EXPECT_FALSE(Command(ID_ROUTE_NOBODY));
    EXPECT_FALSE(MenuAction(Frame(), ID_ROUTE_NOBODY)->isEnabled());
    Frame()->UpdateAllCmdUI();
    EXPECT_FALSE(ToolBarButton(ID_ROUTE_NOBODY)->isEnabled());
    EXPECT_TRUE(ToolBarButton(ID_ROUTE_VIEW)->isEnabled());
}

TEST_F(CommandRoutingTest, ItemsFollowTheActiveWindow) {
    QAction* saveButton = ToolBarButton(ID_FILE_SAVE);
    EXPECT_FALSE(saveButton->isEnabled());
    CTestDoc* doc = NewDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(saveButton->isEnabled());
    EXPECT_TRUE(MenuAction(Frame(), ID_FILE_SAVE)->isEnabled());

    // Copy needs a selection in the active view.
    ActiveView()->SetWindowText("abc");
    ActiveView()->SetSel(0, 2);
    Frame()->UpdateAllCmdUI();
    QAction* copyButton = ToolBarButton(ID_EDIT_COPY);
    EXPECT_TRUE(copyButton->isEnabled());
    ASSERT_NE(NewDocument(), nullptr);
    EXPECT_FALSE(copyButton->isEnabled()) << "the new window has no selection";

    Command(ID_FILE_CLOSE);
    EXPECT_EQ(ActiveDoc(), doc);
    EXPECT_TRUE(copyButton->isEnabled());
    boxAnswers = {IDNO};  // the text was changed: do not save it
    Command(ID_FILE_CLOSE);
    EXPECT_FALSE(saveButton->isEnabled());
}

TEST_F(CommandRoutingTest, TheIdleTimerUpdatesTheToolbar) {
    ASSERT_NE(NewDocument(), nullptr);
    QAction* copyButton = ToolBarButton(ID_EDIT_COPY);
    EXPECT_FALSE(copyButton->isEnabled());
    ActiveView()->SetWindowText("abc");
    ActiveView()->SetSel(0, -1);
    EXPECT_TRUE(WaitUntil([&] { return copyButton->isEnabled(); }));
}

TEST_F(CommandRoutingTest, CheckMarksFollowTheBars) {
    QAction* item = MenuAction(Frame(), ID_VIEW_STATUS_BAR);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(Command(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(Frame()->m_wndStatusBar.isHidden());
    EXPECT_FALSE(MenuAction(Frame(), ID_VIEW_STATUS_BAR)->isChecked());
    EXPECT_TRUE(Command(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(Frame()->m_wndToolBar.isHidden());
    EXPECT_FALSE(MenuAction(Frame(), ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(Command(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(Frame()->m_wndToolBar.isHidden());
    EXPECT_TRUE(MenuAction(Frame(), ID_VIEW_TOOLBAR)->isChecked());
}

}  // namespace
}  // namespace drel::test
