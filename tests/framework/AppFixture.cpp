#include "framework/AppFixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include "framework/CFileDialog.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CPrintDialog.h"
#include "framework/DialogStyles.h"
#include "framework/MenuBuilder.h"

namespace drel::test {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

void ClearSettings() {
    QFile::remove(QDir(ConfigHome()).filePath(QStringLiteral("Ovex/drel.conf")));
}

void AppFixture::SetUp() {
    Log() = TestLog{};
    m_dir = std::make_unique<QTemporaryDir>();
    InstallTestResources();
    ClearSettings();
    AfxSetMessageBoxHook([this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        if (boxAnswers.empty()) {
            return IDOK;
        }
        const int answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    });
    CFileDialog::SetHook([this](CFileDialog& dialog) {
        fileDialogs.push_back(dialog.IsOpenFileDialog());
        if (fileAnswers.empty()) {
            return IDCANCEL;
        }
        dialog.SetPathName(fileAnswers.front());
        fileAnswers.pop_front();
        return IDOK;
    });
    // Printing never waits for a person: tests that print set their own answer.
    CPrintDialog::SetHook([](CPrintDialog&) { return IDCANCEL; });
    StartApp();
}

void AppFixture::TearDown() {
    EndApp();
    AfxSetMessageBoxHook({});
    CFileDialog::SetHook({});
    CPrintDialog::SetHook({});
}

void AppFixture::StartApp() {
    app = std::make_unique<CTestApp>();
    app->InitApplication();
    ASSERT_TRUE(app->InitInstance());
    Frame()->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
}

void AppFixture::EndApp() {
    if (app == nullptr) {
        return;
    }
    app->ExitInstance();
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

CTestDoc* AppFixture::NewDocument() {
    const size_t before = app->GetOpenDocuments().size();
    Command(ID_FILE_NEW);
    const auto docs = app->GetOpenDocuments();
    return docs.size() > before ? static_cast<CTestDoc*>(docs.back()) : nullptr;
}

CTestDoc* AppFixture::ActiveDoc() const {
    return static_cast<CTestDoc*>(Frame()->GetActiveDocument());
}

CTestView* AppFixture::ActiveView() const {
    CMDIChildWnd* child = Frame()->MDIGetActive();
    return child == nullptr ? nullptr : static_cast<CTestView*>(child->GetActiveView());
}

bool AppFixture::Enabled(int id) {
    CCmdUI ui(id);
    Frame()->UpdateCmdUI(ui);
    return ui.IsEnabled();
}

QAction* AppFixture::ToolBarButton(int id) const {
    for (QAction* action : Frame()->m_wndToolBar.actions()) {
        if (CommandIdOf(action) == id) {
            return action;
        }
    }
    return nullptr;
}

std::string AppFixture::TempPath(const std::string& name) const {
    return QDir(m_dir->path()).filePath(QString::fromStdString(name)).toStdString();
}

}  // namespace drel::test
