#include "app/DrelAppFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include "framework/CDialog.h"
#include "framework/CFileDialog.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CPrintDialog.h"
#include "framework/CToolBar.h"
#include "framework/MenuBuilder.h"
#include "framework/Resources.h"
#include "framework/StandardIds.h"
#include "resources/AppResources.h"
#include "resources/resource.h"
#include "support/ModalDriver.h"

namespace drel::test {

namespace {

// What a box answers when the test queued nothing: what its Escape key would, or No when it
// has one, so that a save prompt lets the close go on without saving.
int DefaultAnswer(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDNO;
        default:
            return IDOK;
    }
}

}  // namespace

std::string Escaped(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '\r') {
            out += "\\r";
        } else if (ch == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

void AcceptDefaults(QWidget*) {
    PressKey(Qt::Key_Return);
}

PortDialogAnswer ChoosePort(const QString& port) {
    return [port](QWidget* dialog) {
        auto* combo =
            qobject_cast<QComboBox*>(qobject_cast<CDialog*>(dialog)->GetDlgItem(IDC_PORT));
        ASSERT_NE(combo, nullptr);
        Retype(combo->lineEdit(), port);
        PressKey(Qt::Key_Return);
    };
}

void CancelDialog(QWidget*) {
    PressKey(Qt::Key_Escape);
}

DrelAppTest::DrelAppTest() = default;

DrelAppTest::~DrelAppTest() = default;

void DrelAppTest::SetUp() {
    ASSERT_FALSE(ConfigHome().empty());
    // QSettings keeps the folder it found first; each test points it at its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(ConfigHome()));
    AfxSetResources(AppResources());
    AfxSetMessageBoxHook([this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        if (boxAnswers.empty()) {
            return DefaultAnswer(request.type);
        }
        const int answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    });
    CFileDialog::SetHook([this](CFileDialog& dialog) {
        fileDialogs.push_back(dialog.IsOpenFileDialog());
        fileTypes.push_back(dialog.GetFilters());
        fileTypesOffered.push_back(dialog.GetFilterIndex());
        if (fileAnswers.empty()) {
            return IDCANCEL;
        }
        if (!fileTypeAnswers.empty()) {
            dialog.SetFilterIndex(fileTypeAnswers.front());
            fileTypeAnswers.pop_front();
        }
        dialog.SetPathName(fileAnswers.front());
        fileAnswers.pop_front();
        return IDOK;
    });
    CPrintDialog::SetHook([this](CPrintDialog&) {
        ++printDialogs;
        return printAnswer;
    });
    ASSERT_NO_FATAL_FAILURE(PublishDevices());
}

void DrelAppTest::PublishDevices() {
    device = &PublishDevice("COM2");
}

void DrelAppTest::TearDown() {
    EndApp();
    AfxSetMessageBoxHook({});
    CFileDialog::SetHook({});
    CPrintDialog::SetHook({});
}

PseudoTerminal& DrelAppTest::PublishDevice(const std::string& name) {
    auto& pty = m_devices.emplace_back(std::make_unique<PseudoTerminal>());
    EXPECT_TRUE(pty->IsOpen());
    EXPECT_TRUE(m_home.MakePortLink(name, pty->SlavePath())) << name;
    return *pty;
}

void DrelAppTest::StartApp(const PortDialogAnswer& answer,
                           const std::vector<std::string>& arguments) {
    app = std::make_unique<CDrelApp>();
    app->m_arguments = arguments;
    app->InitApplication();
    bool started = false;
    RunModal(
        [&] {
            started = app->InitInstance();
            return 0;
        },
        answer);
    ASSERT_TRUE(started);
    ASSERT_NE(Frame(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
}

void DrelAppTest::EndApp() {
    if (app == nullptr) {
        return;
    }
    CallWatched("the program's end", [&] { app->ExitInstance(); });
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CMainFrame* DrelAppTest::Frame() const {
    return app == nullptr ? nullptr : dynamic_cast<CMainFrame*>(app->m_pMainWnd);
}

CDrelView* DrelAppTest::ActiveView() const {
    CMDIChildWnd* child = Frame()->MDIGetActive();
    return child == nullptr ? nullptr : dynamic_cast<CDrelView*>(child->GetActiveView());
}

CDrelDoc* DrelAppTest::ActiveDoc() const {
    return dynamic_cast<CDrelDoc*>(Frame()->GetActiveDocument());
}

std::vector<CDrelView*> DrelAppTest::Views() const {
    std::vector<CDrelView*> views;
    for (CMDIChildWnd* child : Frame()->GetChildFrames()) {
        if (auto* view = dynamic_cast<CDrelView*>(child->GetActiveView())) {
            views.push_back(view);
        }
    }
    return views;
}

bool DrelAppTest::Command(int id) {
    return Frame()->OnCommand(id);
}

bool DrelAppTest::Enabled(int id) {
    CCmdUI ui(id);
    Frame()->UpdateCmdUI(ui);
    return ui.IsEnabled();
}

CDrelDoc* DrelAppTest::NewConnection(const PortDialogAnswer& answer) {
    const size_t before = app->GetOpenDocuments().size();
    RunModal(
        [&] {
            Command(ID_FILE_NEW);
            return 0;
        },
        answer);
    const auto docs = app->GetOpenDocuments();
    return docs.size() > before ? dynamic_cast<CDrelDoc*>(docs.back()) : nullptr;
}

QAction* DrelAppTest::ToolBarButton(int id) const {
    auto* bar = qobject_cast<CToolBar*>(Frame()->GetControlBar(AFX_IDW_TOOLBAR));
    if (bar != nullptr) {
        for (QAction* action : bar->actions()) {
            if (CommandIdOf(action) == id) {
                return action;
            }
        }
    }
    return nullptr;
}

QMenu* DrelAppTest::MenuOf(const QString& title) const {
    for (QAction* action : Frame()->menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

QStringList DrelAppTest::MenuTitles() const {
    QStringList titles;
    for (QAction* action : Frame()->menuBar()->actions()) {
        titles << action->text();
    }
    return titles;
}

void DrelAppTest::CloseWindow(QWidget* window, std::chrono::milliseconds timeout) {
    CallWatched(
        "the close of " + window->windowTitle().toStdString(), [&] { window->close(); }, timeout);
}

void DrelAppTest::Focus(CDrelView* view) {
    auto* child = dynamic_cast<CMDIChildWnd*>(view->GetParentFrame());
    ASSERT_NE(child, nullptr);
    // A click into the window: the main window becomes active (the offscreen platform does not
    // give the activation back when a modal dialog ends), the window the active child, and its
    // view has the focus even when the window was active already.
    Frame()->activateWindow();
    child->MDIActivate();
    view->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(WaitUntil([&] {
        return QApplication::activeWindow() == Frame() &&
               QApplication::focusWidget() == &view->GetEditCtrl();
    })) << "the terminal does not get the keyboard focus";
}

void DrelAppTest::Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    PressKey(key, modifiers);
}

void DrelAppTest::ExpectShown(CDrelView* view, const std::string& text) {
    if (!WaitUntil([&] { return view->GetWindowText() == text; })) {
        ADD_FAILURE() << "the terminal shows \"" << Escaped(view->GetWindowText()) << "\", not \""
                      << Escaped(text) << "\"";
    }
}

std::string DrelAppTest::Received(PseudoTerminal& device, size_t count) {
    const std::vector<uint8_t> bytes = device.Read(count);
    return {bytes.begin(), bytes.end()};
}

void DrelAppTest::Send(PseudoTerminal& device, const std::string& bytes) {
    ASSERT_TRUE(device.Write(bytes)) << Escaped(bytes);
}

std::string DrelAppTest::TempPath(const std::string& name) const {
    return ConfigHome() + "/" + name;
}

void ConnectedAppTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(DrelAppTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(StartApp());
    terminal = ActiveView();
    ASSERT_NE(terminal, nullptr);
    ASSERT_EQ(ActiveDoc()->Connection().connected, 1);
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
}

}  // namespace drel::test
