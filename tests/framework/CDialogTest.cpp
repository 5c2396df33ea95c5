// The modal dialog built from a template, driven through its real widgets: how it ends, data
// exchange both ways, radio groups, Tab order, combo box lists and dialog-unit geometry.

#include "framework/CDialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "framework/CComboBox.h"
#include "framework/CDataExchange.h"
#include "framework/DialogStyles.h"
#include "support/ModalDriver.h"

namespace drel {
namespace {

using test::Click;
using test::FocusedControl;
using test::PressKey;
using test::Retype;
using test::RunModal;

enum : int {
    IDC_NAME = 100,
    IDC_LIST = 101,
    IDC_LABEL = 103,
    IDC_A = 110,
    IDC_NOTE = 111,
    IDC_B = 112,
    IDC_C = 113,
    IDC_X = 120,
    IDC_Y = 121,
    IDC_MISSING = 999,
};

constexpr DialogControl kControls[] = {
    {IDOK, ControlKind::PushButton, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 150, 7, 50, 14},
    {IDCANCEL, ControlKind::PushButton, WS_TABSTOP, "Cancel", 150, 24, 50, 14},
    {IDC_LABEL, ControlKind::StaticText, SS_LEFT | WS_GROUP, "Name :", 7, 7, 60, 10},
    {IDC_NAME, ControlKind::Edit, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, nullptr, 7, 18, 100, 14},
    {IDC_LIST, ControlKind::ComboBox, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, nullptr, 7, 36, 60,
     60},
    {IDC_A, ControlKind::RadioButton, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, "A", 7, 60, 40,
     10},
    {IDC_NOTE, ControlKind::StaticText, SS_LEFT, "note", 50, 60, 40, 10},
    {IDC_B, ControlKind::RadioButton, BS_AUTORADIOBUTTON | WS_TABSTOP, "B", 7, 72, 40, 10},
    {IDC_C, ControlKind::RadioButton, BS_AUTORADIOBUTTON | WS_TABSTOP, "C", 7, 84, 40, 10},
    {IDC_X, ControlKind::RadioButton, BS_AUTORADIOBUTTON | WS_GROUP, "X", 100, 60, 40, 10},
    {IDC_Y, ControlKind::RadioButton, BS_AUTORADIOBUTTON, "Y", 100, 72, 40, 10},
};

constexpr DialogTemplate kTemplate = {.id = 4242,
                                      .caption = "Test dialog",
                                      .cx = 210,
                                      .cy = 100,
                                      .font = {8, "MS Sans Serif"},
                                      .style = WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                      .controls = kControls};

// A dialog with one member per kind of exchange. `broken` adds an exchange with a control
// that does not exist, between the first and the second member.
class TestDialog : public CDialog {
  public:
    TestDialog() : CDialog(kTemplate) {}

    std::string m_name = "first";
    std::string m_list = "beta";
    int m_choice = 0;
    int m_other = 1;
    bool broken = false;
    bool endAtInit = false;
    int onCancelCalls = 0;

  protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_NAME, m_name);
        if (broken) {
            DDX_Text(pDX, IDC_MISSING, m_name);
        }
        DDX_CBString(pDX, IDC_LIST, m_list);
        DDX_Radio(pDX, IDC_A, m_choice);
        DDX_Radio(pDX, IDC_X, m_other);
    }

    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        auto* list = qobject_cast<CComboBox*>(GetDlgItem(IDC_LIST));
        for (const char* item : {"alpha", "beta", "Betamax", "gamma"}) {
            list->AddString(item);
        }
        if (endAtInit) {
            EndDialog(IDOK);
        }
        return true;
    }

    void OnCancel() override {
        ++onCancelCalls;
        CDialog::OnCancel();
    }
};

CDialog* AsDialog(QWidget* window) {
    return qobject_cast<CDialog*>(window);
}

QWidget* Item(QWidget* window, int id) {
    return AsDialog(window)->GetDlgItem(id);
}

CComboBox* Combo(QWidget* window, int id) {
    return qobject_cast<CComboBox*>(Item(window, id));
}

QAbstractButton* Button(QWidget* window, int id) {
    return qobject_cast<QAbstractButton*>(Item(window, id));
}

std::vector<bool> CheckedStates(QWidget* window, std::initializer_list<int> ids) {
    std::vector<bool> states;
    for (int id : ids) {
        states.push_back(Button(window, id)->isChecked());
    }
    return states;
}

// ---- How a dialog ends ---------------------------------------------------------------------

struct Ending {
    const char* name;
    std::function<void(QWidget*)> finish;
    int result;
};

class DialogEnding : public testing::TestWithParam<Ending> {};

TEST_P(DialogEnding, ReturnsItsResultAndSavesTheControlsOnlyOnOk) {
    TestDialog dialog;
    const int result = RunModal([&] { return dialog.DoModal(); },
                                [&](QWidget* window) {
                                    Retype(Item(window, IDC_NAME), "second");
                                    Click(Button(window, IDC_C));
                                    Retype(Combo(window, IDC_LIST)->lineEdit(), "Delta");
                                    GetParam().finish(window);
                                });

    EXPECT_EQ(result, GetParam().result);
    const bool saved = result == IDOK;
    EXPECT_EQ(dialog.m_name, saved ? "second" : "first");
    EXPECT_EQ(dialog.m_list, saved ? "Delta" : "beta");
    EXPECT_EQ(dialog.m_choice, saved ? 2 : 0);
    EXPECT_EQ(dialog.onCancelCalls, saved ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DialogEnding,
    testing::Values(Ending{"EnterInComboReachesTheDefaultButton",
                           [](QWidget*) { PressKey(Qt::Key_Return); }, IDOK},
                    Ending{"EnterInEditField",
                           [](QWidget* w) {
                               Click(Item(w, IDC_NAME));
                               PressKey(Qt::Key_Enter, Qt::KeypadModifier);
                           },
                           IDOK},
                    Ending{"OkButton", [](QWidget* w) { Click(Item(w, IDOK)); }, IDOK},
                    Ending{"CancelButton", [](QWidget* w) { Click(Item(w, IDCANCEL)); }, IDCANCEL},
                    Ending{"Escape", [](QWidget*) { PressKey(Qt::Key_Escape); }, IDCANCEL},
                    Ending{"CloseBox", [](QWidget* w) { w->windowHandle()->close(); }, IDCANCEL}),
    [](const testing::TestParamInfo<Ending>& info) { return info.param.name; });

TEST(CDialog, EnterInAComboBoxDoesNotAddTheTypedTextToItsList) {
    TestDialog dialog;
    int count = -1;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 Retype(Combo(window, IDC_LIST)->lineEdit(), "Delta");
                 // Keep the dialog open to look at the list after Enter.
                 QObject::connect(Button(window, IDOK), &QAbstractButton::clicked,
                                  [&] { count = Combo(window, IDC_LIST)->count(); });
                 PressKey(Qt::Key_Return);
             });
    EXPECT_EQ(count, 4);
    EXPECT_EQ(dialog.m_list, "Delta");
}

// Down and Up step from the entry whose text stands in the field, typed or loaded; from a text
// no entry has, Down takes the first entry.
TEST(CDialog, ComboArrowsStepFromTheEntryTheFieldNames) {
    const struct {
        const char* text;
        Qt::Key key;
        const char* reached;
    } cases[] = {
        {"115200", Qt::Key_Down, "57600"},
        {"57600", Qt::Key_Up, "115200"},
        {"9600", Qt::Key_Down, "115200"},
    };
    for (const auto& c : cases) {
        CComboBox combo(CBS_DROPDOWN);
        combo.SetWindowText(c.text);
        for (const char* rate : {"115200", "57600", "38400"}) {
            combo.AddString(rate);
        }
        combo.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
        QTest::keyClick(&combo, c.key);
        EXPECT_EQ(combo.GetWindowText(), c.reached) << c.text;
    }
}

// An entry's description shows beside it in the list, which opens wide enough for it, and
// picking the entry puts only its text into the field.
TEST(CDialog, ComboListShowsDescriptionsAndPickingTakesOnlyTheText) {
    CComboBox combo(CBS_DROPDOWN);
    combo.AddString("COM1");
    combo.AddString("ttyUSB0", "FTDI FT232R USB UART, serial A50285BI");
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    EXPECT_EQ(combo.GetDescription(0), "");
    EXPECT_EQ(combo.GetDescription(1), "FTDI FT232R USB UART, serial A50285BI");
    const QFontMetrics metrics(combo.view()->font());
    EXPECT_GT(combo.view()->minimumWidth(),
              metrics.horizontalAdvance("ttyUSB0  FTDI FT232R USB UART, serial A50285BI"));

    combo.showPopup();
    QAbstractItemView* list = combo.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QPoint at = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->window()->isVisible(); }));
    EXPECT_EQ(combo.GetWindowText(), "ttyUSB0");
}

TEST(CDialog, FailedExchangeKeepsTheDialogOpenAndLeavesLaterMembersAlone) {
    TestDialog dialog;
    dialog.broken = true;
    bool stillOpen = false;
    const int result = RunModal([&] { return dialog.DoModal(); },
                                [&](QWidget* window) {
                                    Retype(Item(window, IDC_NAME), "second");
                                    Click(Button(window, IDC_B));
                                    Click(Item(window, IDOK));
                                    stillOpen = window->isVisible();
                                    Click(Item(window, IDCANCEL));
                                });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_name, "second");  // exchanged before the failing call
    EXPECT_EQ(dialog.m_choice, 0);       // never reached
}

TEST(CDialog, EndDialogDuringInitialisationEndsWithoutShowing) {
    TestDialog dialog;
    dialog.endAtInit = true;
    bool shown = false;
    const int result = RunModal([&] { return dialog.DoModal(); }, [&](QWidget*) { shown = true; });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(shown);
}

// ---- Data exchange ---------------------------------------------------------------------------

TEST(CDialog, OpeningLoadsTheMembersIntoTheControls) {
    TestDialog dialog;
    dialog.m_choice = 1;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 EXPECT_EQ(qobject_cast<QLineEdit*>(Item(window, IDC_NAME))->text(), "first");
                 // The list was empty when the text was loaded: it stands in the edit field.
                 EXPECT_EQ(Combo(window, IDC_LIST)->currentText(), "beta");
                 EXPECT_EQ(Combo(window, IDC_LIST)->currentIndex(), -1);
                 EXPECT_EQ(CheckedStates(window, {IDC_A, IDC_B, IDC_C, IDC_X, IDC_Y}),
                           (std::vector<bool>{false, true, false, false, true}));
                 Click(Item(window, IDCANCEL));
             });
}

struct ComboLoad {
    const char* value;
    int index;
    const char* shown;
};

class ComboStringLoad : public testing::TestWithParam<ComboLoad> {};

TEST_P(ComboStringLoad, SelectsTheFirstEntryBeginningWithTheTextElseShowsTheText) {
    TestDialog dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 dialog.m_list = GetParam().value;
                 EXPECT_TRUE(dialog.UpdateData(false));
                 EXPECT_EQ(Combo(window, IDC_LIST)->currentIndex(), GetParam().index);
                 EXPECT_EQ(Combo(window, IDC_LIST)->currentText(), GetParam().shown);
                 Click(Item(window, IDCANCEL));
             });
}

INSTANTIATE_TEST_SUITE_P(Cases, ComboStringLoad,
                         testing::Values(ComboLoad{"beta", 1, "beta"},
                                         ComboLoad{"BETAM", 2, "Betamax"},
                                         ComboLoad{"b", 1, "beta"}, ComboLoad{"delta", -1, "delta"},
                                         ComboLoad{"", -1, ""}));

struct RadioLoad {
    int value;
    std::vector<bool> checked;  // A, B, C
};

class RadioExchange : public testing::TestWithParam<RadioLoad> {};

TEST_P(RadioExchange, LoadChecksOneButtonAndSaveReadsItBack) {
    TestDialog dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 dialog.m_choice = GetParam().value;
                 EXPECT_TRUE(dialog.UpdateData(false));
                 EXPECT_EQ(CheckedStates(window, {IDC_A, IDC_B, IDC_C}), GetParam().checked);
                 // The other group is untouched by this one.
                 EXPECT_TRUE(Button(window, IDC_Y)->isChecked());
                 dialog.m_choice = 42;
                 EXPECT_TRUE(dialog.UpdateData(true));
                 const int expected =
                     GetParam().value >= 0 && GetParam().value < 3 ? GetParam().value : -1;
                 EXPECT_EQ(dialog.m_choice, expected);
                 Click(Item(window, IDCANCEL));
             });
}

INSTANTIATE_TEST_SUITE_P(Cases, RadioExchange,
                         testing::Values(RadioLoad{0, {true, false, false}},
                                         RadioLoad{2, {false, false, true}},  // skips the label
                                         RadioLoad{-1, {false, false, false}},
                                         RadioLoad{3, {false, false, false}}));

TEST(CDialog, RadioExchangeFailsUnlessItNamesTheFirstButtonOfAGroup) {
    TestDialog dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 for (int id : {IDC_NOTE, IDC_B, IDC_MISSING}) {
                     CDataExchange exchange(AsDialog(window), true);
                     int value = 7;
                     DDX_Radio(&exchange, id, value);
                     EXPECT_TRUE(exchange.Failed()) << id;
                     EXPECT_EQ(value, 7) << id;
                 }
                 EXPECT_EQ(dialog.DoModal(), -1);  // already running
                 Click(Item(window, IDCANCEL));
             });
    EXPECT_FALSE(dialog.UpdateData(true));  // no controls once the dialog has ended
}

// ---- Radio groups and the keyboard ------------------------------------------------------------

TEST(CDialog, RadioButtonsAreExclusiveWithinTheirTemplateGroupOnly) {
    TestDialog dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 Click(Button(window, IDC_C));
                 Click(Button(window, IDC_X));
                 EXPECT_EQ(CheckedStates(window, {IDC_A, IDC_B, IDC_C, IDC_X, IDC_Y}),
                           (std::vector<bool>{false, false, true, true, false}));
                 Click(Item(window, IDCANCEL));
             });
}

struct ArrowWalk {
    int start;
    Qt::Key key;
    std::vector<int> visits;
};

class RadioArrows : public testing::TestWithParam<ArrowWalk> {};

TEST_P(RadioArrows, MoveWithinTheGroupInTemplateOrderAndCheck) {
    TestDialog dialog;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 Click(Button(window, GetParam().start));
                 for (int expected : GetParam().visits) {
                     PressKey(GetParam().key);
                     EXPECT_EQ(FocusedControl(), Item(window, expected));
                     EXPECT_TRUE(Button(window, expected)->isChecked());
                 }
                 Click(Item(window, IDCANCEL));
             });
}

INSTANTIATE_TEST_SUITE_P(Cases, RadioArrows,
                         testing::Values(ArrowWalk{IDC_A, Qt::Key_Down, {IDC_B, IDC_C, IDC_A}},
                                         ArrowWalk{IDC_A, Qt::Key_Up, {IDC_C, IDC_B}},
                                         ArrowWalk{IDC_B, Qt::Key_Right, {IDC_C}},
                                         ArrowWalk{IDC_X, Qt::Key_Down, {IDC_Y, IDC_X}}));

TEST(CDialog, FirstTabStopHasTheFocusAndTabVisitsARadioGroupOnceOnItsCheckedButton) {
    TestDialog dialog;
    std::vector<QWidget*> visited;
    std::vector<QWidget*> expected;
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 expected = {Item(window, IDOK),     Item(window, IDCANCEL), Item(window, IDC_NAME),
                             Item(window, IDC_LIST), Item(window, IDC_B),    Item(window, IDOK)};
                 EXPECT_EQ(FocusedControl(), Item(window, IDOK));
                 // The checked button is the group's stop; a group without Tab stops stays out.
                 Click(Item(window, IDC_B));
                 Click(Item(window, IDC_Y));
                 Item(window, IDOK)->setFocus();
                 visited.push_back(FocusedControl());
                 for (size_t i = 1; i < expected.size(); ++i) {
                     PressKey(Qt::Key_Tab);
                     visited.push_back(FocusedControl());
                 }
                 // Shift+Tab comes back to the same button.
                 PressKey(Qt::Key_Backtab);
                 visited.push_back(FocusedControl());
                 expected.push_back(Item(window, IDC_B));
                 Click(Item(window, IDCANCEL));
             });
    EXPECT_EQ(visited, expected);
}

// ---- Lists and lifetime -----------------------------------------------------------------------

TEST(CDialog, EveryRunStartsFromFreshControls) {
    TestDialog dialog;
    std::vector<int> counts;
    for (int run = 0; run < 2; ++run) {
        RunModal([&] { return dialog.DoModal(); },
                 [&](QWidget* window) {
                     counts.push_back(Combo(window, IDC_LIST)->count());
                     Click(Item(window, IDCANCEL));
                 });
    }
    EXPECT_EQ(counts, (std::vector<int>{4, 4}));
    EXPECT_EQ(dialog.GetDlgItem(IDC_LIST), nullptr);
}

TEST(CDialog, DialogUnitsScaleWithTheDialogFont) {
    TestDialog dialog;
    const QFontMetrics metrics(dialog.font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double unitX = ((letters / 26 + 1) / 2) / 4.0;
    const double unitY = metrics.height() / 8.0;

    EXPECT_EQ(dialog.font().pointSize(), 8);
    EXPECT_EQ(dialog.windowTitle(), "Test dialog");
    EXPECT_NEAR(dialog.width(), 210 * unitX, 1.0);
    EXPECT_NEAR(dialog.height(), 100 * unitY, 1.0);
    RunModal([&] { return dialog.DoModal(); },
             [&](QWidget* window) {
                 const QRect name = Item(window, IDC_NAME)->geometry();
                 EXPECT_NEAR(name.x(), 7 * unitX, 1.0);
                 EXPECT_NEAR(name.y(), 18 * unitY, 1.0);
                 EXPECT_NEAR(name.width(), 100 * unitX, 1.0);
                 EXPECT_NEAR(name.height(), 14 * unitY, 1.0);
                 Click(Item(window, IDCANCEL));
             });
}

}  // namespace
}  // namespace drel
