#include "app/CDrelApp.h"

#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "app/CDownloadNamesDlg.h"
#include "app/CMainFrame.h"
#include "connection/CDrelDoc.h"
#include "framework/CCommandLineInfo.h"
#include "framework/CMultiDocTemplate.h"
#include "resources/resource.h"
#include "terminal/CDrelView.h"

namespace drel {

CDrelApp::CDrelApp() = default;

CDrelApp& DrelApp() {
    return *static_cast<CDrelApp*>(AfxGetApp());
}

bool CDrelApp::InitInstance() {
    SetRegistryKey("Ovex");
    LoadStdProfileSettings(8);
    AddDocTemplate(new CMultiDocTemplate(IDR_DRELTYPE, CreateObject<CDrelDoc>,
                                         CreateObject<CChildFrame>, CreateObject<CDrelView>));
    auto* mainFrame = new CMainFrame;
    if (!mainFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        delete mainFrame;
        return false;
    }
    m_pMainWnd = mainFrame;
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo)) {
        return false;
    }
    m_pMainWnd->ShowWindow(m_nCmdShow);
    m_pMainWnd->UpdateWindow();
    return true;
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
            MapCommand(ID_FILE_NEW, &CWinApp::OnFileNew),
            MapCommand(ID_FILE_OPEN, &CWinApp::OnFileOpen),
            MapCommand(ID_FILE_PRINT_SETUP, &CWinApp::OnFilePrintSetup),
        });
    return &map;
}

}  // namespace drel
