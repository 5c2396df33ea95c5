// The program's start-up and its shell: the first port dialog before the main window, the empty
// main window a cancelled dialog leaves, the main title of a connection, and which commands the
// menus and the toolbar offer with and without a terminal window.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include "app/DrelAppFixture.h"
#include "framework/CMDIChildWnd.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

const QStringList kMenusWithoutTerminal = {"&File", "&View", "&Help"};
const std::string kDefaultTitle = "COM2 115200  N-8-1";

// The item of `menu` whose text begins with `label`; null when there is none.
QAction* Item(QMenu* menu, const QString& label) {
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith(label)) {
            return action;
        }
    }
    return nullptr;
}

// The ways the user asks for a new connection.
enum class Way { Menu, CtrlN, ToolBar };

class StartUpTest : public DrelAppTest, public testing::WithParamInterface<Way> {
  protected:
    void Ask() {
        switch (GetParam()) {
            case Way::Menu: {
                QMenu* file = MenuOf("&File");
                ASSERT_NE(file, nullptr);
                Frame()->OnInitMenuPopup(file);
                QAction* item = Item(file, "&New");
                ASSERT_NE(item, nullptr);
                item->trigger();
                break;
            }
            case Way::CtrlN:
                PressKey(Qt::Key_N, Qt::ControlModifier);
                break;
            case Way::ToolBar: {
                QAction* button = ToolBarButton(ID_FILE_NEW);
                ASSERT_NE(button, nullptr);
                Click(qobject_cast<QToolBar*>(Frame()->GetControlBar(AFX_IDW_TOOLBAR))
                          ->widgetForAction(button));
                break;
            }
        }
    }

    // Asks with the port dialog accepted; the new document, or null.
    CDrelDoc* AskForNew() {
        const size_t before = app->GetOpenDocuments().size();
        RunModal(
            [&] {
                Ask();
                return 0;
            },
            AcceptDefaults);
        const auto docs = app->GetOpenDocuments();
        return docs.size() > before ? dynamic_cast<CDrelDoc*>(docs.back()) : nullptr;
    }
};

TEST_P(StartUpTest, ACancelledFirstPortDialogLeavesAnEmptyMainWindowAndNewAsksAgain) {
    bool asked = false;
    bool mainWindowHidden = false;
    ASSERT_NO_FATAL_FAILURE(StartApp([&](QWidget* dialog) {
        asked = true;
        EXPECT_EQ(dialog->windowTitle(), "Open port setting");
        mainWindowHidden = !app->m_pMainWnd->Widget()->isVisible();
        CancelDialog(dialog);
    }));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(mainWindowHidden) << "the main window showed before the port dialog";
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_TRUE(Frame()->GetChildFrames().empty());
    EXPECT_EQ(MenuTitles(), kMenusWithoutTerminal);
    EXPECT_EQ(Frame()->windowTitle(), "drel");
    EXPECT_TRUE(boxes.empty());

    CDrelDoc* doc = AskForNew();
    ASSERT_NE(doc, nullptr) << "no port dialog, or no connection after it";
    EXPECT_EQ(doc->Connection().connected, 1);
    EXPECT_EQ(MenuTitles(), kMenusWithTerminal);
}

const char* NameOf(Way way) {
    switch (way) {
        case Way::Menu:
            return "Menu";
        case Way::CtrlN:
            return "CtrlN";
        case Way::ToolBar:
            return "ToolBar";
    }
    return "Unknown";
}

void PrintTo(Way way, std::ostream* os) {
    *os << NameOf(way);
}

INSTANTIATE_TEST_SUITE_P(Ways, StartUpTest, testing::Values(Way::Menu, Way::CtrlN, Way::ToolBar),
                         [](const testing::TestParamInfo<Way>& info) {
                             return std::string(NameOf(info.param));
                         });

TEST_F(ConnectedAppTest, TheTitlesNameThePortAndItsSettings) {
    EXPECT_EQ(Frame()->windowTitle().toStdString(), "drel - " + kDefaultTitle);
    EXPECT_EQ(ActiveDoc()->GetTitle(), kDefaultTitle);
    EXPECT_EQ(terminal->GetParentFrame()->Widget()->windowTitle().toStdString(), kDefaultTitle);
}

TEST_F(ConnectedAppTest, APortThatAWindowHoldsDoesNotOpenASecondTime) {
    EXPECT_EQ(NewConnection(), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "COM2 port can not open\n" + device->SlavePath() +
                                 " is already open in another window of drel.");
    EXPECT_EQ(Frame()->GetChildFrames().size(), 1u);
    EXPECT_EQ(ActiveView(), terminal);
    EXPECT_EQ(ActiveDoc()->Connection().connected, 1);
}

// The "&Auto Down load" item and the toolbar's last button, as the user finds them.
struct AutoDownloadOffer {
    bool menuItem;  // the "&Auto" menu holds an enabled "&Auto Down load"
    bool button;    // the toolbar button is enabled
    bool command;   // the command runs along the route
};

class AutoDownloadOfferTest : public DrelAppTest {
  protected:
    AutoDownloadOffer Offer() {
        AutoDownloadOffer offer{false, false, Enabled(ID_AUTO_DOWNLOAD)};
        if (QMenu* menu = MenuOf("&Auto")) {
            Frame()->OnInitMenuPopup(menu);
            QAction* item = Item(menu, "&Auto Down load");
            offer.menuItem = item != nullptr && item->isEnabled();
        }
        // The toolbar follows on the frame's idle timer.
        QAction* button = ToolBarButton(ID_AUTO_DOWNLOAD);
        EXPECT_NE(button, nullptr);
        if (button != nullptr) {
            WaitUntil([&] { return button->isEnabled() == offer.command; },
                      std::chrono::seconds(2));
            offer.button = button->isEnabled();
        }
        return offer;
    }

    void ExpectOffered(bool offered) {
        const AutoDownloadOffer offer = Offer();
        EXPECT_EQ(offer.command, offered);
        EXPECT_EQ(offer.menuItem, offered);
        EXPECT_EQ(offer.button, offered);
    }
};

TEST_F(AutoDownloadOfferTest, OnlyATerminalWindowOffersAutoDownload) {
    ASSERT_NO_FATAL_FAILURE(StartApp(CancelDialog));
    {
        SCOPED_TRACE("no terminal window");
        ExpectOffered(false);
        EXPECT_EQ(MenuOf("&Auto"), nullptr);
    }
    ASSERT_NE(NewConnection(), nullptr);
    {
        SCOPED_TRACE("a terminal window");
        ExpectOffered(true);
    }
    CloseWindow(Frame()->MDIGetActive());
    ASSERT_TRUE(WaitUntil([&] { return Frame()->GetChildFrames().empty(); }));
    {
        SCOPED_TRACE("the terminal window closed");
        ExpectOffered(false);
    }
}

}  // namespace
}  // namespace drel::test
