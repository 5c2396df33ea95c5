// The port settings dialog, driven through its widgets as the user does: what each choice turns
// into, what the lists hold, how Tab moves, and that a cancelled dialog changes nothing.

#include "connection/CPortSettingsDlg.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWindow>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "framework/CComboBox.h"
#include "platform/CommTypes.h"
#include "platform/PortNames.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel {
namespace {

using platform::DCB_fInX;
using platform::DCB_fOutX;
using platform::DCB_fOutxCtsFlow;
using test::Click;
using test::FocusedControl;
using test::PressKey;
using test::Retype;
using test::RunModal;

constexpr uint32_t kFlowBits = DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX;

QWidget* Item(QWidget* window, int id) {
    return qobject_cast<CDialog*>(window)->GetDlgItem(id);
}

CComboBox* Combo(QWidget* window, int id) {
    return qobject_cast<CComboBox*>(Item(window, id));
}

// Opens the list of `combo` and clicks the entry `text`.
void PickFromList(CComboBox* combo, const QString& text) {
    const int row = combo->findText(text);
    ASSERT_GE(row, 0) << text.toStdString() << " is not in the list";
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    const QPoint at = list->visualRect(index).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->window()->isVisible(); }));
}

// One thing the user does in the dialog.
struct Step {
    enum Kind { Pick, Type, Click } kind;
    int id;
    const char* text = "";
};

void Perform(QWidget* window, const Step& step) {
    switch (step.kind) {
        case Step::Pick:
            PickFromList(Combo(window, step.id), step.text);
            break;
        case Step::Type:
            Retype(Combo(window, step.id)->lineEdit(), step.text);
            break;
        case Step::Click:
            test::Click(Item(window, step.id));
            break;
    }
}

// A settings record whose every byte is set, to see which ones OnOK writes.
LineSettings Sentinel() {
    LineSettings settings;
    std::memset(static_cast<void*>(&settings), 0xA5, sizeof settings);
    return settings;
}

// ---- What the choices turn into ----------------------------------------------------------

enum Finish { kEnter, kOkButton };

struct Choice {
    const char* name;
    std::vector<Step> steps;
    Finish finish;
    const char* port;
    uint32_t baudRate;
    uint8_t byteSize;
    uint8_t parity;
    uint8_t stopBits;
    uint32_t flowBits;
    const char* title;
};

class PortSettingsChoice : public testing::TestWithParam<Choice> {};

TEST_P(PortSettingsChoice, EndsWithIdokAndTheMatchingSettingsAndTitle) {
    const Choice& choice = GetParam();
    CPortSettingsDlg dialog;
    const int result = RunModal([&] { return dialog.DoModal(); },
                                [&](QWidget* window) {
                                    for (const Step& step : choice.steps) {
                                        Perform(window, step);
                                    }
                                    if (choice.finish == kEnter) {
                                        PressKey(Qt::Key_Return);
                                    } else {
                                        Click(Item(window, IDOK));
                                    }
                                });

    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_strPort, choice.port);
    EXPECT_EQ(dialog.m_lineSettings.BaudRate, choice.baudRate);
    EXPECT_EQ(dialog.m_lineSettings.ByteSize, choice.byteSize);
    EXPECT_EQ(dialog.m_lineSettings.Parity, choice.parity);
    EXPECT_EQ(dialog.m_lineSettings.StopBits, choice.stopBits);
    EXPECT_EQ(dialog.m_lineSettings.flags & kFlowBits, choice.flowBits);
    EXPECT_EQ(dialog.m_strTitle, choice.title);
}

constexpr uint32_t kXonXoff = DCB_fOutX | DCB_fInX;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, PortSettingsChoice,
    testing::Values(
        Choice{"EnterRightAfterOpening", {}, kEnter,
               "COM2", 115200, 8, 0, 0, 0, "COM2 115200  N-8-1"},
        Choice{"EveryGroupChanged",
               {{Step::Pick, IDC_PORT, "COM1"}, {Step::Pick, IDC_BAUD, "9600"},
                {Step::Click, IDC_DATABITS_7}, {Step::Click, IDC_PARITY_EVEN},
                {Step::Click, IDC_STOPBITS_2}, {Step::Click, IDC_FLOW_XONXOFF}}, kOkButton,
               "COM1", 9600, 7, 2, 2, kXonXoff, "COM1 9600  E-7-2"},
        Choice{"OddWithRtsCts",
               {{Step::Click, IDC_PARITY_ODD}, {Step::Click, IDC_FLOW_RTSCTS}}, kOkButton,
               "COM2", 115200, 8, 1, 0, DCB_fOutxCtsFlow, "COM2 115200  O-8-1"},
        Choice{"PortNameNotInTheList", {{Step::Type, IDC_PORT, "COM12"}}, kEnter,
               "COM12", 115200, 8, 0, 0, 0, "COM12 115200  N-8-1"},
        Choice{"PortNameThatBeginsListEntries", {{Step::Type, IDC_PORT, "com"}}, kEnter,
               "com", 115200, 8, 0, 0, 0, "com 115200  N-8-1"},
        Choice{"BaudTextWithAWordAfterTheNumber", {{Step::Type, IDC_BAUD, "9600 baud"}}, kEnter,
               "COM2", 9600, 8, 0, 0, 0, "COM2 9600 baud  N-8-1"},
        Choice{"BaudTextWithoutDigits", {{Step::Type, IDC_BAUD, "fast"}}, kEnter,
               "COM2", 0, 8, 0, 0, 0, "COM2 fast  N-8-1"},
        Choice{"BaudTextBeyondThirtyTwoBits", {{Step::Type, IDC_BAUD, "4294977296"}}, kEnter,
               "COM2", 2147483647, 8, 0, 0, 0, "COM2 4294977296  N-8-1"},
        Choice{"NegativeBaudText", {{Step::Type, IDC_BAUD, "-1"}}, kEnter,
               "COM2", 4294967295u, 8, 0, 0, 0, "COM2 -1  N-8-1"},
        Choice{"LocalEchoYesChangesNothing", {{Step::Click, IDC_ECHO_YES}}, kOkButton,
               "COM2", 115200, 8, 0, 0, 0, "COM2 115200  N-8-1"}),
    [](const testing::TestParamInfo<Choice>& info) { return info.param.name; });
// clang-format on

// ---- Flag bits and unknown choices --------------------------------------------------------

struct FlowCase {
    int button;
    uint32_t set;  // of the three flow bits
};

class PortSettingsFlow : public testing::TestWithParam<FlowCase> {};

TEST_P(PortSettingsFlow, ChangesOnlyTheThreeFlowBitsAndTheFieldsItOwns) {
    CPortSettingsDlg dialog;
    dialog.m_lineSettings = Sentinel();
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 Click(Item(window, GetParam().button));
                 Click(Item(window, IDOK));
             });

    EXPECT_EQ(dialog.m_lineSettings.flags, (Sentinel().flags & ~kFlowBits) | GetParam().set);
    LineSettings others = dialog.m_lineSettings;
    const LineSettings sentinel = Sentinel();
    others.flags = sentinel.flags;
    others.BaudRate = sentinel.BaudRate;
    others.ByteSize = sentinel.ByteSize;
    others.Parity = sentinel.Parity;
    others.StopBits = sentinel.StopBits;
    EXPECT_EQ(std::memcmp(&others, &sentinel, sizeof others), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PortSettingsFlow,
                         testing::Values(FlowCase{IDC_FLOW_NONE, 0},
                                         FlowCase{IDC_FLOW_RTSCTS, DCB_fOutxCtsFlow},
                                         FlowCase{IDC_FLOW_XONXOFF, DCB_fOutX | DCB_fInX}));

// A radio member outside its group (-1 checks no button) leaves its field and letter out.
TEST(CPortSettingsDlg, GroupsWithNoButtonCheckedLeaveTheirFieldsAlone) {
    CPortSettingsDlg dialog;
    dialog.m_lineSettings = Sentinel();
    dialog.m_nParity = -1;
    dialog.m_nStopBits = -1;
    dialog.m_nFlowControl = -1;
    std::vector<bool> checked;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 for (int id : {IDC_PARITY_NONE, IDC_PARITY_ODD, IDC_PARITY_EVEN, IDC_STOPBITS_1,
                                IDC_STOPBITS_2, IDC_FLOW_NONE, IDC_FLOW_RTSCTS, IDC_FLOW_XONXOFF}) {
                     checked.push_back(qobject_cast<QRadioButton*>(Item(window, id))->isChecked());
                 }
                 PressKey(Qt::Key_Return);
             });

    EXPECT_EQ(checked, std::vector<bool>(8, false));
    EXPECT_EQ(dialog.m_nParity, -1);
    EXPECT_EQ(dialog.m_lineSettings.Parity, Sentinel().Parity);
    EXPECT_EQ(dialog.m_lineSettings.StopBits, Sentinel().StopBits);
    EXPECT_EQ(dialog.m_lineSettings.flags, Sentinel().flags);
    EXPECT_EQ(dialog.m_strTitle, "COM2 115200  -8-0");
}

// ---- Cancelling ---------------------------------------------------------------------------

struct CancelWay {
    const char* name;
    std::function<void(QWidget*)> cancel;
};

class PortSettingsCancel : public testing::TestWithParam<CancelWay> {};

TEST_P(PortSettingsCancel, ReturnsIdcancelAndUpdatesNoMember) {
    CPortSettingsDlg dialog;
    dialog.m_lineSettings = Sentinel();
    const int result = RunModal([&] { return dialog.DoModal(); },
                                [&](QWidget* window) {
                                    Perform(window, {Step::Pick, IDC_BAUD, "9600"});
                                    Perform(window, {Step::Click, IDC_PARITY_ODD});
                                    Perform(window, {Step::Click, IDC_ECHO_YES});
                                    Perform(window, {Step::Type, IDC_PORT, "COM7"});
                                    GetParam().cancel(window);
                                });

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_strPort, "COM2");
    EXPECT_EQ(dialog.m_strBaud, "115200");
    EXPECT_EQ(dialog.m_nParity, 0);
    EXPECT_EQ(dialog.m_nLocalEcho, 1);
    EXPECT_EQ(dialog.m_strTitle, "");
    const LineSettings sentinel = Sentinel();
    EXPECT_EQ(std::memcmp(&dialog.m_lineSettings, &sentinel, sizeof sentinel), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PortSettingsCancel,
    testing::Values(CancelWay{"CancelButton", [](QWidget* w) { Click(Item(w, IDCANCEL)); }},
                    CancelWay{"Escape", [](QWidget*) { PressKey(Qt::Key_Escape); }},
                    CancelWay{"CloseBox", [](QWidget* w) { w->windowHandle()->close(); }}),
    [](const testing::TestParamInfo<CancelWay>& info) { return info.param.name; });

// ---- Opening state, lists, Tab and layout -------------------------------------------------

QStringList Entries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) {
        entries << combo->itemText(i);
    }
    return entries;
}

TEST(CPortSettingsDlg, OpensWithTheDefaultsTypedAndTheListsFilledInOrder) {
    QStringList ports;
    for (int n = 1; n <= 10; ++n) {
        ports << QStringLiteral("COM%1").arg(n);
    }
    for (const std::string& device : platform::ListSerialDevices()) {
        ports << QString::fromStdString(device);
    }
    CPortSettingsDlg dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 EXPECT_EQ(window->windowTitle(), "Open port setting");
                 EXPECT_EQ(Entries(Combo(window, IDC_BAUD)),
                           (QStringList{"115200", "57600", "38400", "19200", "9600", "4800", "2400",
                                        "1200", "600", "300"}));
                 EXPECT_EQ(Entries(Combo(window, IDC_PORT)), ports);
                 for (int id : {IDC_PORT, IDC_BAUD}) {
                     EXPECT_EQ(Combo(window, id)->currentIndex(), -1);
                 }
                 EXPECT_EQ(Combo(window, IDC_PORT)->currentText(), "COM2");
                 EXPECT_EQ(Combo(window, IDC_BAUD)->currentText(), "115200");
                 std::set<int> checked;
                 for (int id = IDC_STOPBITS_1; id <= IDC_DATABITS_8; ++id) {
                     auto* radio = qobject_cast<QRadioButton*>(Item(window, id));
                     if (radio != nullptr && radio->isChecked()) {
                         checked.insert(id);
                     }
                 }
                 EXPECT_EQ(checked, (std::set<int>{IDC_STOPBITS_1, IDC_ECHO_NO, IDC_FLOW_NONE,
                                                   IDC_PARITY_NONE, IDC_DATABITS_8}));
                 Click(Item(window, IDCANCEL));
             });
}

TEST(CPortSettingsDlg, TabStopsOncePerGroupAndNeverReachesParityOrDataBits) {
    CPortSettingsDlg dialog;
    std::vector<QWidget*> visited;
    std::vector<QWidget*> expected;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 for (int id : {IDOK, IDCANCEL, IDC_PORT, IDC_BAUD, IDC_STOPBITS_1, IDC_ECHO_NO,
                                IDC_FLOW_NONE, IDOK}) {
                     expected.push_back(Item(window, id));
                 }
                 // The mouse reaches the two groups; Tab still does not afterwards.
                 Click(Item(window, IDC_PARITY_ODD));
                 Click(Item(window, IDC_DATABITS_7));
                 Item(window, IDOK)->setFocus();
                 visited.push_back(FocusedControl());
                 for (size_t i = 1; i < expected.size(); ++i) {
                     PressKey(Qt::Key_Tab);
                     visited.push_back(FocusedControl());
                 }
                 Click(Item(window, IDCANCEL));
             });
    EXPECT_EQ(visited, expected);
}

TEST(CPortSettingsDlg, ArrowKeysMoveWithinTheFlowGroupAndCheckWhatTheyReach) {
    CPortSettingsDlg dialog;
    std::vector<int> checked;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 Item(window, IDC_FLOW_NONE)->setFocus();
                 for (int step = 0; step < 3; ++step) {
                     PressKey(Qt::Key_Down);
                     for (int id : {IDC_FLOW_NONE, IDC_FLOW_RTSCTS, IDC_FLOW_XONXOFF}) {
                         if (static_cast<QAbstractButton*>(Item(window, id))->isChecked() &&
                             FocusedControl() == Item(window, id)) {
                             checked.push_back(id);
                         }
                     }
                 }
                 Click(Item(window, IDCANCEL));
             });
    EXPECT_EQ(checked, (std::vector<int>{IDC_FLOW_RTSCTS, IDC_FLOW_XONXOFF, IDC_FLOW_NONE}));
}

// Each radio button sits inside the frame of its own group and no other.
TEST(CPortSettingsDlg, EveryRadioButtonLiesInsideTheFrameOfItsGroup) {
    const std::vector<std::pair<int, QString>> frames = {
        {IDC_DATABITS_7, "Databits"},       {IDC_DATABITS_8, "Databits"},
        {IDC_STOPBITS_1, "Stopbits"},       {IDC_STOPBITS_2, "Stopbits"},
        {IDC_ECHO_YES, "Local echo"},       {IDC_ECHO_NO, "Local echo"},
        {IDC_FLOW_NONE, "Flow control"},    {IDC_FLOW_RTSCTS, "Flow control"},
        {IDC_FLOW_XONXOFF, "Flow control"}, {IDC_PARITY_NONE, "Parity"},
        {IDC_PARITY_ODD, "Parity"},         {IDC_PARITY_EVEN, "Parity"},
    };
    CPortSettingsDlg dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 const QList<QGroupBox*> boxes = window->findChildren<QGroupBox*>();
                 ASSERT_EQ(boxes.size(), 5);
                 for (const auto& [id, title] : frames) {
                     QStringList around;
                     for (const QGroupBox* box : boxes) {
                         if (box->geometry().contains(Item(window, id)->geometry())) {
                             around << box->title();
                         }
                     }
                     EXPECT_EQ(around, QStringList{title}) << "control " << id;
                 }
                 Click(Item(window, IDCANCEL));
             });
}

}  // namespace
}  // namespace drel
