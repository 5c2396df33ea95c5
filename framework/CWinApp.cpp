#include "framework/CWinApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <atomic>

#include "framework/CCommandLineInfo.h"
#include "framework/CDocument.h"
#include "framework/CFileDialog.h"
#include "framework/CFrameWnd.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CMultiDocTemplate.h"
#include "framework/CPrintDialog.h"
#include "framework/CView.h"
#include "framework/DialogStyles.h"
#include "framework/FrameStyles.h"
#include "framework/Resources.h"
#include "framework/StandardIds.h"

namespace drel {

namespace {

std::atomic<CWinApp*> g_app{nullptr};

constexpr const char* kRecentFileSection = "Recent File List";

bool SameFile(const std::string& a, const std::string& b) {
    return QFileInfo(ToQString(a)).absoluteFilePath() == QFileInfo(ToQString(b)).absoluteFilePath();
}

}  // namespace

CWinApp* AfxGetApp() {
    return g_app.load();
}

CFrameWnd* AfxGetMainWnd() {
    CWinApp* app = AfxGetApp();
    return app == nullptr ? nullptr : app->m_pMainWnd;
}

CWinApp::CWinApp(const char* appName)
    : m_nCmdShow(SW_SHOW), m_strAppName(appName == nullptr ? "" : appName) {
    g_app.store(this);
}

CWinApp::~CWinApp() {
    CWinApp* self = this;
    g_app.compare_exchange_strong(self, nullptr);
}

const MessageMap* CWinApp::GetMessageMap() const {
    static const MessageMap map(
        CCmdTarget::GetMessageMap(),
        {MapCommand(ID_APP_EXIT, &CWinApp::OnAppExit),
         MapCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, &CWinApp::OnOpenRecentFile),
         MapUpdateUIRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, &CWinApp::OnUpdateRecentFileMenu)});
    return &map;
}

bool CWinApp::InitInstance() {
    return true;
}

int CWinApp::Run() {
    m_bRunning = true;
    const int code = QApplication::exec();
    m_bRunning = false;
    return code;
}

void CWinApp::EndRun() {
    if (m_bRunning) {
        QCoreApplication::exit(0);
    }
}

int CWinApp::ExitInstance() {
    CloseAllDocuments();
    if (m_pMainWnd != nullptr) {
        CFrameWnd* mainWnd = m_pMainWnd;
        m_pMainWnd = nullptr;
        delete mainWnd;
    }
    SaveStdProfileSettings();
    return 0;
}

void CWinApp::InitApplication() {
    if (m_strAppName.empty()) {
        m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
    }
    if (m_strAppName.empty()) {
        m_strAppName = ToStdString(QCoreApplication::applicationName());
    }
    // The name only, not a display name: Qt appends a display name to every window title, and
    // the frames make their titles themselves ("drel - COM2 115200  N-8-1").
    QCoreApplication::setApplicationName(ToQString(m_strAppName));
}

void CWinApp::SetRegistryKey(const std::string& company) {
    m_strRegistryKey = company;
    QCoreApplication::setOrganizationName(ToQString(company));
}

std::unique_ptr<QSettings> CWinApp::OpenSettings() const {
    const std::string& name =
        m_strAppName.empty() ? AfxLoadString(AFX_IDS_APP_TITLE) : m_strAppName;
    const std::string& company = m_strRegistryKey.empty() ? name : m_strRegistryKey;
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       ToQString(company), ToQString(name));
}

void CWinApp::LoadStdProfileSettings(int maxMRU) {
    m_pRecentFileList = std::make_unique<CRecentFileList>(kRecentFileSection, maxMRU);
    auto settings = OpenSettings();
    m_pRecentFileList->ReadList(*settings);
}

void CWinApp::SaveStdProfileSettings() {
    if (m_pRecentFileList == nullptr) {
        return;
    }
    auto settings = OpenSettings();
    m_pRecentFileList->WriteList(*settings);
    settings->sync();
}

void CWinApp::AddDocTemplate(CMultiDocTemplate* docTemplate) {
    m_templates.emplace_back(docTemplate);
}

CMultiDocTemplate* CWinApp::GetDocTemplate() const {
    return m_templates.empty() ? nullptr : m_templates.front().get();
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    info.ParseArguments(m_arguments);
}

bool CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
        case CCommandLineInfo::FileNew:
            if (!OnCmdMsg(ID_FILE_NEW, CmdMsg::Execute, nullptr)) {
                OnFileNew();
            }
            return m_pMainWnd != nullptr;
        case CCommandLineInfo::FileOpen:
            return OpenDocumentFile(info.m_strFileName) != nullptr;
        case CCommandLineInfo::FilePrint:
        case CCommandLineInfo::FilePrintTo:
            m_nCmdShow = SW_HIDE;
            if (OpenDocumentFile(info.m_strFileName) != nullptr && m_pMainWnd != nullptr) {
                m_pCmdInfo = &info;
                m_pMainWnd->OnCommand(ID_FILE_PRINT_DIRECT);
                m_pCmdInfo = nullptr;
            }
            return false;
    }
    return false;
}

CDocument* CWinApp::OpenDocumentFile(const std::string& pathName) {
    CMultiDocTemplate* docTemplate = GetDocTemplate();
    if (docTemplate == nullptr || pathName.empty()) {
        return nullptr;
    }
    for (CDocument* doc : docTemplate->GetDocuments()) {
        if (!doc->GetPathName().empty() && SameFile(doc->GetPathName(), pathName)) {
            CView* view = doc->GetFirstView();
            if (auto* frame = view == nullptr
                                  ? nullptr
                                  : dynamic_cast<CMDIChildWnd*>(view->GetParentFrame())) {
                frame->MDIActivate();
            }
            AddToRecentFileList(doc->GetPathName());
            return doc;
        }
    }
    return docTemplate->OpenDocumentFile(pathName);
}

void CWinApp::AddToRecentFileList(const std::string& pathName) {
    if (m_pRecentFileList != nullptr) {
        m_pRecentFileList->Add(pathName);
    }
}

bool CWinApp::DoPromptFileName(std::string& fileName, bool open) {
    CFileDialog dialog(open, fileName, m_pMainWnd == nullptr ? nullptr : m_pMainWnd->Widget());
    if (dialog.DoModal() != IDOK) {
        return false;
    }
    fileName = dialog.GetPathName();
    return true;
}

bool CWinApp::SaveAllModified() {
    for (CDocument* doc : GetOpenDocuments()) {
        if (!doc->SaveModified()) {
            return false;
        }
    }
    return true;
}

void CWinApp::CloseAllDocuments() {
    for (CDocument* doc : GetOpenDocuments()) {
        doc->OnCloseDocument();
    }
}

std::vector<CDocument*> CWinApp::GetOpenDocuments() const {
    std::vector<CDocument*> docs;
    for (const auto& docTemplate : m_templates) {
        docs.insert(docs.end(), docTemplate->GetDocuments().begin(),
                    docTemplate->GetDocuments().end());
    }
    return docs;
}

QPrinter& CWinApp::GetPrinter() {
    if (m_pPrinter == nullptr) {
        m_pPrinter = std::make_unique<QPrinter>();
    }
    return *m_pPrinter;
}

void CWinApp::OnFileNew() {
    if (CMultiDocTemplate* docTemplate = GetDocTemplate()) {
        docTemplate->OpenDocumentFile({});
    }
}

void CWinApp::OnFileOpen() {
    std::string fileName;
    if (DoPromptFileName(fileName, true)) {
        OpenDocumentFile(fileName);
    }
}

void CWinApp::OnFilePrintSetup() {
    CPrintDialog dialog(true, GetPrinter(), m_pMainWnd == nullptr ? nullptr : m_pMainWnd->Widget());
    dialog.DoModal();
}

void CWinApp::OnOpenRecentFile(int id) {
    const int index = id - ID_FILE_MRU_FILE1;
    if (m_pRecentFileList == nullptr || index >= m_pRecentFileList->GetSize()) {
        return;
    }
    // A file that can no longer be opened leaves the list.
    const std::string pathName = (*m_pRecentFileList)[index];
    if (OpenDocumentFile(pathName) == nullptr) {
        m_pRecentFileList->Remove(index);
    }
}

void CWinApp::OnUpdateRecentFileMenu(CCmdUI& ui) {
    const int index = ui.m_nID - ID_FILE_MRU_FILE1;
    ui.Enable(m_pRecentFileList != nullptr && index < m_pRecentFileList->GetSize());
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd != nullptr) {
        m_pMainWnd->Widget()->close();
    }
}

int AfxWinMain(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    // The program ends when the main frame's close says so, not when the last window hides:
    // the start-up dialogs run before the main window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList words = QCoreApplication::arguments();
    for (qsizetype i = 1; i < words.size(); ++i) {
        app->m_arguments.push_back(ToStdString(words[i]));
    }
    app->InitApplication();
    if (app->InitInstance()) {
        app->Run();
    }
    return app->ExitInstance();
}

}  // namespace drel
