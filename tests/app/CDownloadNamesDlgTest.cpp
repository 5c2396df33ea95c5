// The "&Download file name" command and its dialog, driven through the real widgets: what the
// dialog opens with, how each way of ending it changes the application's names, Tab order and
// names longer than an edit field takes by default.

#include "app/CDownloadNamesDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QWindow>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/DownloadNames.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel {
namespace {

using test::Click;
using test::FocusedControl;
using test::PressKey;
using test::Retype;
using test::RunModal;
using test::TypeText;

QWidget* Item(QWidget* window, int id) {
    return qobject_cast<CDialog*>(window)->GetDlgItem(id);
}

QLineEdit* Field(QWidget* window, int id) {
    return qobject_cast<QLineEdit*>(Item(window, id));
}

// Runs the command on `names`, with `drive` as the user.
int RunCommand(DownloadNames& names, const std::function<void(QWidget*)>& drive) {
    return RunModal([&] { return EditDownloadNames(names); }, drive);
}

TEST(CDownloadNamesDlg, OpensWithTheNamesInTheirFieldsAndOkFocusedSoEnterAccepts) {
    DownloadNames names;
    names.SetDownloadName(0, "/img/first.bin");
    names.SetDownloadName(1, "/img/second.bin");
    const int result = RunCommand(names, [](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Dialog");
        EXPECT_EQ(Field(window, IDC_FIRST_FILE_NAME)->text(), "/img/first.bin");
        EXPECT_EQ(Field(window, IDC_SECOND_FILE_NAME)->text(), "/img/second.bin");
        QStringList labels;
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            labels << label->text();
        }
        EXPECT_EQ(labels,
                  (QStringList{"Second download file name:", "First time download file name:"}));
        EXPECT_EQ(FocusedControl(), Item(window, IDOK));
        PressKey(Qt::Key_Return);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(names.GetDownloadName(0), "/img/first.bin");
    EXPECT_EQ(names.GetDownloadName(1), "/img/second.bin");
}

TEST(CDownloadNamesDlg, TabVisitsOkCancelTheFirstAndTheSecondNameInThatOrder) {
    DownloadNames names;
    std::vector<QWidget*> visited;
    std::vector<QWidget*> expected;
    RunCommand(names, [&](QWidget* window) {
        for (int id : {IDOK, IDCANCEL, IDC_FIRST_FILE_NAME, IDC_SECOND_FILE_NAME, IDOK}) {
            expected.push_back(Item(window, id));
        }
        visited.push_back(FocusedControl());
        for (size_t i = 1; i < expected.size(); ++i) {
            PressKey(Qt::Key_Tab);
            visited.push_back(FocusedControl());
        }
        Click(Item(window, IDCANCEL));
    });
    EXPECT_EQ(visited, expected);
}

// ---- Ways of ending the dialog ------------------------------------------------------------

// Clicks into `field` and replaces its text with `text`, which may be empty.
void Replace(QLineEdit* field, const QString& text) {
    if (text.isEmpty()) {
        Click(field);
        PressKey(Qt::Key_A, Qt::ControlModifier);
        PressKey(Qt::Key_Delete);
    } else {
        Retype(field, text);
    }
}

struct Ending {
    const char* name;
    const char* typedFirst;
    const char* typedSecond;
    std::function<void(QWidget*)> finish;
    int result;
    const char* first;  // the application's names afterwards
    const char* second;
};

void PrintTo(const Ending& e, std::ostream* os) {
    *os << e.name;
}

class DownloadNamesEnding : public testing::TestWithParam<Ending> {};

TEST_P(DownloadNamesEnding, OkCopiesBothNamesBackAtOnceAndEveryOtherEndingNothing) {
    const Ending& e = GetParam();
    DownloadNames names;
    names.SetDownloadName(0, "/old/first.bin");
    names.SetDownloadName(1, "/old/second.bin");
    const int result = RunCommand(names, [&](QWidget* window) {
        Replace(Field(window, IDC_FIRST_FILE_NAME), e.typedFirst);
        Replace(Field(window, IDC_SECOND_FILE_NAME), e.typedSecond);
        e.finish(window);
    });
    EXPECT_EQ(result, e.result);
    EXPECT_EQ(names.GetDownloadName(0), e.first);
    EXPECT_EQ(names.GetDownloadName(1), e.second);
}

void ClickOk(QWidget* window) {
    Click(Item(window, IDOK));
}

void PressEnter(QWidget*) {
    PressKey(Qt::Key_Return);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Ways, DownloadNamesEnding, testing::Values(
    Ending{"OkButton", "/new/a.bin", "/new/b.bin", ClickOk, IDOK, "/new/a.bin", "/new/b.bin"},
    Ending{"EnterInAnEditField", "/new/a.bin", "/new/b.bin", PressEnter, IDOK,
           "/new/a.bin", "/new/b.bin"},
    Ending{"OkWithTheFirstCleared", "", "/new/b.bin", ClickOk, IDOK, "", "/new/b.bin"},
    Ending{"CancelButton", "/new/a.bin", "", [](QWidget* w) { Click(Item(w, IDCANCEL)); },
           IDCANCEL, "/old/first.bin", "/old/second.bin"},
    Ending{"Escape", "/new/a.bin", "/new/b.bin", [](QWidget*) { PressKey(Qt::Key_Escape); },
           IDCANCEL, "/old/first.bin", "/old/second.bin"},
    Ending{"CloseBox", "/new/a.bin", "/new/b.bin",
           [](QWidget* w) { w->windowHandle()->close(); },
           IDCANCEL, "/old/first.bin", "/old/second.bin"}),
    [](const testing::TestParamInfo<Ending>& info) { return info.param.name; });
// clang-format on

// ---- Long names ---------------------------------------------------------------------------

TEST(CDownloadNamesDlg, NamesLongerThanAnEditFieldTakesByDefaultPassThroughWhole) {
    const std::string first(40000, 'a');
    const std::string second(70000, 'b');
    DownloadNames names;
    names.SetDownloadName(0, first);
    names.SetDownloadName(1, second);
    RunCommand(names, [](QWidget*) { PressKey(Qt::Key_Return); });
    EXPECT_EQ(names.GetDownloadName(0), first);
    EXPECT_EQ(names.GetDownloadName(1), second);
}

TEST(CDownloadNamesDlg, TypingGoesOnPastThirtyTwoThousandCharacters) {
    DownloadNames names;
    names.SetDownloadName(1, std::string(32767, 'x'));
    RunCommand(names, [](QWidget* window) {
        Click(Field(window, IDC_SECOND_FILE_NAME));
        PressKey(Qt::Key_End);
        TypeText(".bin");
        ClickOk(window);
    });
    EXPECT_EQ(names.GetDownloadName(1), std::string(32767, 'x') + ".bin");
}

}  // namespace
}  // namespace drel
