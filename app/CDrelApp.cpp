#include "app/CDrelApp.h"

#include <cstdio>
#include <utility>

#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "app/CDownloadNamesDlg.h"
#include "app/CMainFrame.h"
#include "app/DrelCommandLine.h"
#include "app/ReconnectSetting.h"
#include "connection/CDrelDoc.h"
#include "framework/CMultiDocTemplate.h"
#include "resources/resource.h"
#include "terminal/CDrelView.h"

namespace drel {

CDrelApp::CDrelApp() = default;

CDrelApp& DrelApp() {
    return *static_cast<CDrelApp*>(AfxGetApp());
}

bool CDrelApp::InitInstance() {
    DrelCommandLine commandLine = ParseDrelCommandLine(m_arguments);
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "%s\n", commandLine.error.c_str());
        m_bBadCommandLine = true;
        return false;
    }
    SetRegistryKey("Ovex");
    LoadStdProfileSettings(8);
    // --reconnect holds for this run only; the stored choice stays as it was.
    m_reconnect = commandLine.reconnect || LoadReconnectSetting(*this);
    AddDocTemplate(new CMultiDocTemplate(IDR_DRELTYPE, CreateObject<CDrelDoc>,
                                         CreateObject<CChildFrame>, CreateObject<CDrelView>));
    auto* mainFrame = new CMainFrame;
    if (!mainFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        delete mainFrame;
        return false;
    }
    m_pMainWnd = mainFrame;
    m_presetPort = commandLine.port;
    const bool processed = ProcessShellCommand(commandLine.shell);
    // Only the start-up connection takes the port; every later "&New" asks.
    m_presetPort.reset();
    if (!processed) {
        return false;
    }
    m_pMainWnd->ShowWindow(m_nCmdShow);
    m_pMainWnd->UpdateWindow();
    return true;
}

int CDrelApp::ExitInstance() {
    const int status = CWinApp::ExitInstance();
    return m_bBadCommandLine ? kBadCommandLineStatus : status;
}

std::optional<PortChoices> CDrelApp::TakePresetPort() {
    return std::exchange(m_presetPort, std::nullopt);
}

bool CDrelApp::ReconnectAutomatically() const {
    return m_reconnect;
}

void CDrelApp::OnReconnectAutomatically() {
    m_reconnect = !m_reconnect;
    SaveReconnectSetting(*this, m_reconnect);
}

void CDrelApp::OnUpdateReconnectAutomatically(CCmdUI& cmdUI) {
    cmdUI.SetCheck(m_reconnect ? 1 : 0);
}

void CDrelApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}

void CDrelApp::OnDownloadFileName() {
    EditDownloadNames(*this);
}

const MessageMap* CDrelApp::GetMessageMap() const {
    static const MessageMap map(
        CWinApp::GetMessageMap(),
        {
            MapCommand(ID_APP_ABOUT, &CDrelApp::OnAppAbout),
            MapCommand(ID_DOWNLOAD_FILE_NAME, &CDrelApp::OnDownloadFileName),
            MapCommand(ID_PORT_RECONNECT, &CDrelApp::OnReconnectAutomatically),
            MapUpdateUI(ID_PORT_RECONNECT, &CDrelApp::OnUpdateReconnectAutomatically),
            MapCommand(ID_FILE_NEW, &CWinApp::OnFileNew),
            MapCommand(ID_FILE_OPEN, &CWinApp::OnFileOpen),
            MapCommand(ID_FILE_PRINT_SETUP, &CWinApp::OnFilePrintSetup),
        });
    return &map;
}

}  // namespace drel
