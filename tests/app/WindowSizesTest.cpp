// The sizes the windows open at: a terminal window shows 80 columns by 24 lines of its font when
// the main window has room for it and fills the MDI area when it has not; the main window comes
// back as it was closed (place, size, maximized, bars shown or hidden), and at its default size
// on the first start or when what was stored cannot be read.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QTextDocument>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

#include "app/DrelAppFixture.h"
#include "framework/CMDIChildWnd.h"
#include "framework/StandardIds.h"

namespace drel::test {
namespace {

// Whether `view`'s text area has room for 80 columns by 24 lines of its font.
bool ShowsAScreen(const CDrelView* view) {
    const QPlainTextEdit& edit = view->GetEditCtrl();
    const QFontMetrics metrics(edit.font());
    const int margins = 2 * static_cast<int>(std::ceil(edit.document()->documentMargin()));
    const QSize text = edit.viewport()->size() - QSize(margins, margins);
    return text.width() >= metrics.horizontalAdvance(QString(80, u'M')) &&
           text.height() >= 24 * metrics.lineSpacing();
}

QWidget* Area(const CMainFrame* frame) {
    return frame->GetMdiArea()->viewport();
}

QWidget* Bar(const CMainFrame* frame, int id) {
    return frame->GetControlBar(id);
}

std::string Describe(const QRect& rect) {
    return std::to_string(rect.x()) + "," + std::to_string(rect.y()) + " " +
           std::to_string(rect.width()) + "x" + std::to_string(rect.height());
}

class WindowSizesTest : public DrelAppTest {
  protected:
    // Closes the main window as the user does and starts the program again on the same
    // settings, answering the first port dialog with `answer`.
    void Restart(const PortDialogAnswer& answer = CancelDialog) {
        CloseWindow(Frame());
        EndApp();
        ASSERT_NO_FATAL_FAILURE(StartApp(answer));
    }

    // Resizes the main window and waits until its MDI area has followed.
    void ResizeFrame(const QRect& geometry) {
        const QSize area = Area(Frame())->size();
        Frame()->setGeometry(geometry);
        ASSERT_TRUE(WaitUntil([&] { return Area(Frame())->size() != area; }));
    }

    std::filesystem::path SettingsFile() const {
        return std::filesystem::path(ConfigHome()) / "Ovex" / "drel.conf";
    }
};

TEST_F(WindowSizesTest, EveryTerminalWindowOpensAtEightyColumnsByTwentyFourLines) {
    ASSERT_NO_FATAL_FAILURE(StartApp());
    CDrelView* first = ActiveView();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ShowsAScreen(first); }));
    // Still so once the text is longer than the window and the scroll bar shows.
    std::string lines;
    for (int line = 0; line < 40; ++line) {
        lines += "line " + std::to_string(line) + "\r";
    }
    Send(*device, lines);
    EXPECT_TRUE(WaitUntil([&] { return first->GetEditCtrl().verticalScrollBar()->isVisible(); }));
    EXPECT_TRUE(ShowsAScreen(first));

    ASSERT_TRUE(Command(ID_WINDOW_NEW));
    CDrelView* second = ActiveView();
    ASSERT_TRUE(second != nullptr && second != first);
    EXPECT_TRUE(WaitUntil([&] { return ShowsAScreen(second); }));
    const QWidget* firstFrame = first->GetParentFrame()->Widget();
    const QWidget* secondFrame = second->GetParentFrame()->Widget();
    EXPECT_EQ(secondFrame->size(), firstFrame->size());
    for (const QWidget* frame : {firstFrame, secondFrame}) {
        EXPECT_TRUE(Area(Frame())->rect().contains(frame->geometry()))
            << Describe(frame->geometry()) << " in " << Describe(Area(Frame())->rect());
    }
}

TEST_F(WindowSizesTest, InAMainWindowTooSmallForThatTheTerminalWindowFillsTheArea) {
    ASSERT_NO_FATAL_FAILURE(StartApp(CancelDialog));
    ASSERT_NO_FATAL_FAILURE(ResizeFrame(QRect(40, 30, 460, 340)));
    ASSERT_NE(NewConnection(), nullptr);
    EXPECT_TRUE(WaitUntil([&] {
        return ActiveView()->GetParentFrame()->Widget()->geometry() == Area(Frame())->rect();
    })) << Describe(ActiveView()->GetParentFrame()->Widget()->geometry());

    // The same at the next start, where the terminal window is made before the main window
    // shows.
    ASSERT_NO_FATAL_FAILURE(Restart(AcceptDefaults));
    ASSERT_NE(ActiveView(), nullptr);
    EXPECT_TRUE(WaitUntil([&] {
        return ActiveView()->GetParentFrame()->Widget()->geometry() == Area(Frame())->rect();
    })) << Describe(ActiveView()->GetParentFrame()->Widget()->geometry());
}

struct Habit {
    const char* name;
    bool maximized;
    bool toolBar;
    bool statusBar;
};

void PrintTo(const Habit& habit, std::ostream* os) {
    *os << habit.name;
}

const Habit kHabits[] = {
    {"NormalWithoutBars", false, false, false},
    {"MaximizedWithoutStatusBar", true, true, false},
    {"MaximizedWithoutToolBar", true, false, true},
};

class WindowHabitsTest : public WindowSizesTest, public testing::WithParamInterface<Habit> {};

TEST_P(WindowHabitsTest, TheMainWindowComesBackAsItWasClosed) {
    const Habit& habit = GetParam();
    const QRect normal(40, 30, 720, 560);
    ASSERT_NO_FATAL_FAILURE(StartApp(CancelDialog));
    ASSERT_NO_FATAL_FAILURE(ResizeFrame(normal));
    if (habit.maximized) {
        Frame()->showMaximized();
        ASSERT_TRUE(WaitUntil([&] { return Frame()->size() != normal.size(); }));
    }
    if (!habit.toolBar) {
        ASSERT_TRUE(Command(ID_VIEW_TOOLBAR));
    }
    if (!habit.statusBar) {
        ASSERT_TRUE(Command(ID_VIEW_STATUS_BAR));
    }
    const QSize size = Frame()->size();

    ASSERT_NO_FATAL_FAILURE(Restart(AcceptDefaults));
    EXPECT_TRUE(WaitUntil([&] { return Frame()->size() == size; }))
        << Describe(Frame()->geometry());
    EXPECT_EQ(Frame()->isMaximized(), habit.maximized);
    EXPECT_EQ(Bar(Frame(), AFX_IDW_TOOLBAR)->isHidden(), !habit.toolBar);
    EXPECT_EQ(Bar(Frame(), AFX_IDW_STATUS_BAR)->isHidden(), !habit.statusBar);
    // The terminal window fits the area the bars leave.
    ASSERT_NE(ActiveView(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ShowsAScreen(ActiveView()); }));
    if (habit.maximized) {
        Frame()->showNormal();
    }
    EXPECT_TRUE(WaitUntil([&] { return Frame()->geometry() == normal; }))
        << Describe(Frame()->geometry());
}

INSTANTIATE_TEST_SUITE_P(Habits, WindowHabitsTest, testing::ValuesIn(kHabits),
                         [](const testing::TestParamInfo<Habit>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(WindowSizesTest, AStoredGeometryThatCannotBeReadStartsAtTheDefault) {
    ASSERT_NO_FATAL_FAILURE(StartApp());
    const QSize defaultSize = Frame()->size();
    EXPECT_TRUE(WaitUntil([&] { return ShowsAScreen(ActiveView()); }));
    CloseWindow(Frame());
    EndApp();
    const QByteArray stored =
        QSettings(QString::fromStdString(SettingsFile().string()), QSettings::IniFormat)
            .value("MainWindow/Geometry")
            .toByteArray();
    ASSERT_FALSE(stored.isEmpty());

    const std::pair<const char*, QVariant> kDamaged[] = {
        {"cut short", stored.left(stored.size() / 2)},
        {"not a geometry", QByteArray(stored.size(), '\xff')},
        {"text", QStringLiteral("large")},
    };
    for (const auto& [name, damaged] : kDamaged) {
        {
            QSettings settings(QString::fromStdString(SettingsFile().string()),
                               QSettings::IniFormat);
            settings.setValue("MainWindow/Geometry", damaged);
            settings.setValue("MainWindow/ToolBar", QStringLiteral("?"));
        }
        ASSERT_NO_FATAL_FAILURE(StartApp());
        EXPECT_EQ(Frame()->size(), defaultSize) << name;
        EXPECT_FALSE(Bar(Frame(), AFX_IDW_TOOLBAR)->isHidden());
        EXPECT_TRUE(WaitUntil([&] { return ShowsAScreen(ActiveView()); }));
        CloseWindow(Frame());
        EndApp();
    }
}

}  // namespace
}  // namespace drel::test
