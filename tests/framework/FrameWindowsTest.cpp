// The frames: menus that follow the active window, titles, the Window menu, New Window, the
// status bar's panes and prompts, and the close box of a child window.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "framework/AppFixture.h"
#include "framework/MenuBuilder.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

using FrameWindowsTest = AppFixture;

QStringList MenuTitles(CMDIFrameWnd* frame) {
    QStringList titles;
    for (QAction* action : frame->menuBar()->actions()) {
        titles << action->text();
    }
    return titles;
}

QMenu* Popup(CMDIFrameWnd* frame, const QString& title) {
    for (QAction* action : frame->menuBar()->actions()) {
        if (action->text() == title) {
            frame->OnInitMenuPopup(action->menu());
            return action->menu();
        }
    }
    return nullptr;
}

QStringList WindowListOf(QMenu* windowMenu) {
    QStringList entries;
    for (QAction* action : windowMenu->actions()) {
        if (!action->isSeparator() && CommandIdOf(action) == 0) {
            entries << action->text() + (action->isChecked() ? "*" : "");
        }
    }
    return entries;
}

TEST_F(FrameWindowsTest, TheDocumentMenuIsShownWhileADocumentWindowIsActive) {
    const QStringList menu128 = {"&File", "&View", "&Test"};
    const QStringList menu129 = {"&File", "&Edit", "&View", "&Test", "&Window"};
    EXPECT_EQ(MenuTitles(Frame()), menu128);
    ASSERT_NE(NewDocument(), nullptr);
    EXPECT_EQ(MenuTitles(Frame()), menu129);
    Command(ID_FILE_CLOSE);
    EXPECT_EQ(MenuTitles(Frame()), menu128);
}

TEST_F(FrameWindowsTest, TitlesNameTheActiveDocument) {
    EXPECT_EQ(Frame()->windowTitle(), "drel");
    CTestDoc* first = NewDocument();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetTitle(), "Drel1");
    EXPECT_EQ(Frame()->windowTitle(), "drel - Drel1");
    EXPECT_EQ(Frame()->MDIGetActive()->windowTitle(), "Drel1");
    CTestDoc* second = NewDocument();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Frame()->windowTitle(), "drel - Drel2");

    second->SetTitle("COM3 9600");
    EXPECT_EQ(Frame()->windowTitle(), "drel - COM3 9600");
    EXPECT_EQ(Frame()->MDIGetActive()->windowTitle(), "COM3 9600");

    Command(ID_FILE_CLOSE);
    EXPECT_EQ(Frame()->windowTitle(), "drel - Drel1");
    Command(ID_FILE_CLOSE);
    EXPECT_EQ(Frame()->windowTitle(), "drel");
}

TEST_F(FrameWindowsTest, ARefusedNewDocumentLeavesNoWindowAndUsesNoNumber) {
    Log().refuseNewDocument = true;
    EXPECT_EQ(NewDocument(), nullptr);
    EXPECT_TRUE(Frame()->GetChildFrames().empty());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_EQ(MenuTitles(Frame()), (QStringList{"&File", "&View", "&Test"}));
    EXPECT_EQ(Log().closedDocs, std::vector<std::string>{"Drel1"});
    Log().refuseNewDocument = false;
    CTestDoc* doc = NewDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "Drel1");
}

TEST_F(FrameWindowsTest, TheWindowMenuListsTheWindowsAndActivatesTheChosenOne) {
    CTestDoc* first = NewDocument();
    ASSERT_NE(NewDocument(), nullptr);
    QMenu* windowMenu = Popup(Frame(), "&Window");
    ASSERT_NE(windowMenu, nullptr);
    EXPECT_EQ(WindowListOf(windowMenu), (QStringList{"&1 Drel1", "&2 Drel2*"}));
    // Opening the menu again does not repeat the list.
    Frame()->OnInitMenuPopup(windowMenu);
    EXPECT_EQ(WindowListOf(windowMenu).size(), 2);

    for (QAction* action : windowMenu->actions()) {
        if (action->text() == "&1 Drel1") {
            action->trigger();
        }
    }
    EXPECT_EQ(ActiveDoc(), first);
    Frame()->OnInitMenuPopup(windowMenu);
    EXPECT_EQ(WindowListOf(windowMenu), (QStringList{"&1 Drel1*", "&2 Drel2"}));
}

TEST_F(FrameWindowsTest, ActivationIsReportedToTheViewLosingItThenToTheViewGainingIt) {
    CTestDoc* first = NewDocument();
    ASSERT_NE(NewDocument(), nullptr);
    Log().activations.clear();
    Frame()->MDIActivate(static_cast<CMDIChildWnd*>(first->GetFirstView()->GetParentFrame()));
    EXPECT_EQ(Log().activations, (std::vector<std::string>{"-Drel2", "+Drel1"}));
}

TEST_F(FrameWindowsTest, NewWindowMakesASecondViewOnTheSameDocument) {
    CTestDoc* doc = NewDocument();
    ASSERT_NE(doc, nullptr);
    ActiveView()->SetWindowText("first");
    EXPECT_TRUE(Command(ID_WINDOW_NEW));
    ASSERT_EQ(doc->GetViews().size(), 2u);
    EXPECT_EQ(ActiveDoc(), doc);
    EXPECT_EQ(ActiveView(), doc->GetViews()[1]);
    EXPECT_EQ(ActiveView()->GetWindowText(), "") << "the new view starts empty";
    EXPECT_EQ(doc->GetFirstView(), doc->GetViews()[0]);
    ASSERT_EQ(Frame()->GetChildFrames().size(), 2u);
    EXPECT_EQ(Frame()->GetChildFrames()[0]->windowTitle(), "Drel1:1");
    EXPECT_EQ(Frame()->GetChildFrames()[1]->windowTitle(), "Drel1:2");
    EXPECT_EQ(Frame()->windowTitle(), "drel - Drel1");

    // Closing one of two windows keeps the document without asking.
    doc->SetModifiedFlag(true);
    Frame()->GetChildFrames()[1]->close();
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(doc->GetViews().size(), 1u);
    EXPECT_EQ(Frame()->GetChildFrames()[0]->windowTitle(), "Drel1");
    EXPECT_TRUE(Log().closedDocs.empty());
}

TEST_F(FrameWindowsTest, WindowArrangementCommandsNeedAWindow) {
    EXPECT_FALSE(Enabled(ID_WINDOW_CASCADE));
    ASSERT_NE(NewDocument(), nullptr);
    ASSERT_NE(NewDocument(), nullptr);
    for (int id : {ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}) {
        EXPECT_TRUE(Command(id)) << id;
    }
    EXPECT_EQ(Frame()->GetChildFrames().size(), 2u);
}

TEST_F(FrameWindowsTest, TheStatusBarShowsPromptsAndTheIdleText) {
    CStatusBar& bar = Frame()->m_wndStatusBar;
    QAction* newButton = ToolBarButton(ID_FILE_NEW);
    EXPECT_EQ(newButton->toolTip(), "New");
    QWidget* button = Frame()->m_wndToolBar.widgetForAction(newButton);
    // The pointer arriving on the button and leaving it again, as the window system reports it.
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), button->mapToGlobal(QPointF(4, 4)));
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_EQ(bar.GetPaneText(0), "Create a new document");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(bar.GetPaneText(0), "Ready");
}

TEST_F(FrameWindowsTest, AMenuItemUnderThePointerShowsItsPrompt) {
    CStatusBar& bar = Frame()->m_wndStatusBar;
    QMenu* file = Popup(Frame(), "&File");
    file->popup(Frame()->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(WaitUntil([&] { return file->isVisible(); }));
    QAction* open = nullptr;
    for (QAction* action : file->actions()) {
        if (CommandIdOf(action) == ID_FILE_OPEN) {
            open = action;
        }
    }
    ASSERT_NE(open, nullptr);
    QTest::mouseMove(file, file->actionGeometry(open).center());
    EXPECT_TRUE(WaitUntil([&] { return bar.GetPaneText(0) == "Open an existing document"; }));
    file->hide();
    EXPECT_TRUE(WaitUntil([&] { return bar.GetPaneText(0) == "Ready"; }));
}

TEST_F(FrameWindowsTest, KeyPanesShowTheLockStates) {
    CStatusBar& bar = Frame()->m_wndStatusBar;
    // The panes in the order the test program's indicators name them.
    const int caps = 1;
    const int num = 2;
    const int scroll = 3;
    bar.UpdateKeyStates({LockState::On, LockState::Off, LockState::Unknown});
    EXPECT_EQ(bar.GetPaneText(caps), "CAP");
    EXPECT_TRUE(bar.IsPaneEnabled(caps));
    EXPECT_EQ(bar.GetPaneText(num), "");
    EXPECT_EQ(bar.GetPaneText(scroll), "SCRL");
    EXPECT_FALSE(bar.IsPaneEnabled(scroll));
}

// A pane of any other id shows its text, greyed while nothing along the route handles its
// command; the key panes keep following the locks.
TEST_F(FrameWindowsTest, CommandPanesAreGreyedWhileTheirCommandIsDisabled) {
    CStatusBar& bar = Frame()->m_wndStatusBar;
    const int ids[] = {ID_SEPARATOR, ID_FILE_NEW, ID_FILE_PRINT, ID_INDICATOR_SCRL};
    ASSERT_TRUE(bar.SetIndicators(ids, 4));
    bar.UpdateKeyStates({LockState::Off, LockState::Off, LockState::Unknown});
    bar.UpdateCmdUI(*Frame());
    EXPECT_TRUE(bar.IsPaneEnabled(1));
    EXPECT_FALSE(bar.IsPaneEnabled(2)) << "printing without a view";
    EXPECT_EQ(bar.GetPaneText(2), "Print the active document\nPrint");
    EXPECT_FALSE(bar.IsPaneEnabled(3));

    ASSERT_NE(NewDocument(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return bar.IsPaneEnabled(2); }))
        << "the frame did not update the pane once a view could print";
    EXPECT_TRUE(bar.IsPaneEnabled(1));
}

TEST_F(FrameWindowsTest, TheToolbarCanDockOnAnySideAndFloat) {
    CToolBar& bar = Frame()->m_wndToolBar;
    EXPECT_EQ(bar.allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(bar.isMovable());
    EXPECT_TRUE(bar.isFloatable());
    EXPECT_EQ(Frame()->toolBarArea(&bar), Qt::TopToolBarArea);
    EXPECT_EQ(bar.iconSize(), QSize(16, 15));
}

}  // namespace
}  // namespace drel::test
