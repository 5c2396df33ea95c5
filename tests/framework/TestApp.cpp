#include "framework/TestApp.h"

#include <QDir>
#include <QImage>

#include "framework/CArchive.h"
#include "framework/CMultiDocTemplate.h"
#include "framework/Resources.h"
#include "framework/StandardIds.h"

namespace drel::test {

namespace {

// The settings folder must be fixed before QSettings first looks for it, so it is set up
// before main.
struct ConfigFolder {
    ConfigFolder() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    QTemporaryDir dir;
};
ConfigFolder g_configFolder;

constexpr MenuItem kFile128[] = {
    {"&New\tCtrl+N", ID_FILE_NEW},
    {"&Open...\tCtrl+O", ID_FILE_OPEN},
    {},
    {"P&rint Setup...", ID_FILE_PRINT_SETUP},
    {},
    {"Recent File", ID_FILE_MRU_FILE1},
    {},
    {"E&xit", ID_APP_EXIT},
};
constexpr MenuItem kView[] = {
    {"&Toolbar", ID_VIEW_TOOLBAR},
    {"&Status Bar", ID_VIEW_STATUS_BAR},
};
constexpr MenuItem kTest[] = {
    {"&View", ID_ROUTE_VIEW}, {"&Document", ID_ROUTE_DOC}, {"&Child", ID_ROUTE_CHILD},
    {"&Main", ID_ROUTE_MAIN}, {"&App", ID_ROUTE_APP},      {"&Nobody", ID_ROUTE_NOBODY},
};
constexpr MenuItem kMenu128[] = {
    {"&File", 0, kFile128},
    {"&View", 0, kView},
    {"&Test", 0, kTest},
};

constexpr MenuItem kFile129[] = {
    {"&New\tCtrl+N", ID_FILE_NEW},
    {"&Open...\tCtrl+O", ID_FILE_OPEN},
    {"&Close", ID_FILE_CLOSE},
    {"&Save\tCtrl+S", ID_FILE_SAVE},
    {"Save &As...", ID_FILE_SAVE_AS},
    {},
    {"&Print...\tCtrl+P", ID_FILE_PRINT},
    {"Print Pre&view", ID_FILE_PRINT_PREVIEW},
    {"P&rint Setup...", ID_FILE_PRINT_SETUP},
    {},
    {"Recent File", ID_FILE_MRU_FILE1},
    {},
    {"E&xit", ID_APP_EXIT},
};
constexpr MenuItem kEdit[] = {
    {"&Undo\tCtrl+Z", ID_EDIT_UNDO},   {},
    {"Cu&t\tCtrl+X", ID_EDIT_CUT},     {"&Copy\tCtrl+C", ID_EDIT_COPY},
    {"&Paste\tCtrl+V", ID_EDIT_PASTE},
};
constexpr MenuItem kWindow[] = {
    {"&New Window", ID_WINDOW_NEW},
    {"&Cascade", ID_WINDOW_CASCADE},
    {"&Tile", ID_WINDOW_TILE_HORZ},
    {"&Arrange Icons", ID_WINDOW_ARRANGE},
};
constexpr MenuItem kMenu129[] = {
    {"&File", 0, kFile129}, {"&Edit", 0, kEdit},     {"&View", 0, kView},
    {"&Test", 0, kTest},    {"&Window", 0, kWindow},
};

constexpr MenuTemplate kMenus[] = {{IDR_MAINFRAME, kMenu128}, {IDR_TESTTYPE, kMenu129}};

constexpr int kButtons[] = {ID_FILE_NEW,   ID_FILE_OPEN,  ID_FILE_SAVE,   0,
                            ID_EDIT_CUT,   ID_EDIT_COPY,  ID_EDIT_PASTE,  0,
                            ID_FILE_PRINT, ID_ROUTE_VIEW, ID_ROUTE_NOBODY};
constexpr ToolBarTemplate kToolBars[] = {{IDR_MAINFRAME, 16, 15, kButtons}};

constexpr Accelerator kAccelerators[] = {
    {Qt::Key_N, kCtrl, ID_FILE_NEW},         {Qt::Key_O, kCtrl, ID_FILE_OPEN},
    {Qt::Key_S, kCtrl, ID_FILE_SAVE},        {Qt::Key_P, kCtrl, ID_FILE_PRINT},
    {Qt::Key_Z, kCtrl, ID_EDIT_UNDO},        {Qt::Key_X, kCtrl, ID_EDIT_CUT},
    {Qt::Key_C, kCtrl, ID_EDIT_COPY},        {Qt::Key_V, kCtrl, ID_EDIT_PASTE},
    {Qt::Key_Backspace, kAlt, ID_EDIT_UNDO}, {Qt::Key_Delete, kShift, ID_EDIT_CUT},
    {Qt::Key_Insert, kCtrl, ID_EDIT_COPY},   {Qt::Key_Insert, kShift, ID_EDIT_PASTE},
    {Qt::Key_F6, kNoModifier, ID_NEXT_PANE}, {Qt::Key_F6, kShift, ID_PREV_PANE},
};
constexpr AcceleratorTable kAcceleratorTables[] = {{IDR_MAINFRAME, kAccelerators}};

constexpr StringResource kStrings[] = {
    {IDR_MAINFRAME, "drel"},
    {IDR_TESTTYPE, "\nDrel\nDrel\n\n\nDrel.Document\nDrel Document"},
    {AFX_IDS_APP_TITLE, "drel"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
    {ID_FILE_PRINT, "Print the active document\nPrint"},
    {ID_FILE_MRU_FILE1, "Open this document"},
    {ID_ROUTE_VIEW, "Route to the view\nRoute"},
    {AFX_IDS_MDICHILD, "Activate this window"},
};

// The image strip: nine 16 x 15 buttons on the transparent grey.
std::string ToolBarStripPath() {
    static const std::string path = [] {
        const QString file = QDir(ConfigHome()).filePath(QStringLiteral("toolbar.png"));
        QImage strip(9 * 16, 15, QImage::Format_RGB32);
        strip.fill(qRgb(192, 192, 192));
        for (int i = 0; i < 9; ++i) {
            strip.setPixel(i * 16 + 8, 7, qRgb(0, 0, 0));
        }
        strip.save(file);
        return file.toStdString();
    }();
    return path;
}

}  // namespace

TestLog& Log() {
    static TestLog log;
    return log;
}

const QString& ConfigHome() {
    static const QString path = g_configFolder.dir.path();
    return path;
}

void InstallTestResources() {
    static const std::string strip = ToolBarStripPath();
    static const ImageResource bitmaps[] = {{IDR_MAINFRAME, strip}};
    ResourceTable table;
    table.menus = kMenus;
    table.toolBars = kToolBars;
    table.accelerators = kAcceleratorTables;
    table.strings = kStrings;
    table.bitmaps = bitmaps;
    AfxSetResources(table);
}

// The view.

const MessageMap* CTestView::GetMessageMap() const {
    static const MessageMap map(CEditView::GetMessageMap(),
                                {MapCommandRange(ID_ROUTE_VIEW, ID_ROUTE_VIEW, &CTestView::OnRoute),
                                 MapCommand(ID_FILE_PRINT, &CView::OnFilePrint),
                                 MapCommand(ID_FILE_PRINT_DIRECT, &CView::OnFilePrint),
                                 MapCommand(ID_FILE_PRINT_PREVIEW, &CView::OnFilePrintPreview)});
    return &map;
}

void CTestView::OnRoute(int) {
    Log().handled.push_back("view");
}

void CTestView::OnChar(unsigned ch, unsigned repeat, unsigned flags) {
    Log().chars.push_back(ch);
    if (Log().charsToEditor) {
        CEditView::OnChar(ch, repeat, flags);
    }
}

void CTestView::OnLButtonDblClk(unsigned, const QPoint&) {
    ++Log().doubleClicks;
}

void CTestView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    const std::string title = GetDocument() ? GetDocument()->GetTitle() : "";
    Log().activations.push_back((activate ? "+" : "-") + title);
    CEditView::OnActivateView(activate, activated, deactivated);
}

// The document.

const MessageMap* CTestDoc::GetMessageMap() const {
    static const MessageMap map(CDocument::GetMessageMap(),
                                {MapCommandRange(ID_ROUTE_VIEW, ID_ROUTE_DOC, &CTestDoc::OnRoute)});
    return &map;
}

void CTestDoc::OnRoute(int) {
    Log().handled.push_back("doc");
}

bool CTestDoc::OnNewDocument() {
    return !Log().refuseNewDocument && CDocument::OnNewDocument();
}

void CTestDoc::Serialize(CArchive& ar) {
    if (auto* view = dynamic_cast<CEditView*>(GetFirstView())) {
        view->SerializeRaw(ar);
    }
}

void CTestDoc::PreCloseDocument() {
    Log().closedDocs.push_back(GetTitle());
}

// The child frame.

const MessageMap* CTestChildFrame::GetMessageMap() const {
    static const MessageMap map(
        CMDIChildWnd::GetMessageMap(),
        {MapCommandRange(ID_ROUTE_VIEW, ID_ROUTE_CHILD, &CTestChildFrame::OnRoute)});
    return &map;
}

void CTestChildFrame::OnRoute(int) {
    Log().handled.push_back("child");
}

// The main frame.

const MessageMap* CTestMainFrame::GetMessageMap() const {
    static const MessageMap map(
        CMDIFrameWnd::GetMessageMap(),
        {MapCommandRange(ID_ROUTE_VIEW, ID_ROUTE_MAIN, &CTestMainFrame::OnRoute)});
    return &map;
}

void CTestMainFrame::OnRoute(int) {
    Log().handled.push_back("main");
}

int CTestMainFrame::OnCreate() {
    static constexpr int indicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM,
                                         ID_INDICATOR_SCRL};
    if (CMDIFrameWnd::OnCreate() == -1) {
        return -1;
    }
    if (!m_wndToolBar.Create(this) || !m_wndToolBar.LoadToolBar(IDR_MAINFRAME)) {
        return -1;
    }
    if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(indicators, 4)) {
        return -1;
    }
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY |
                             CBRS_SIZE_DYNAMIC);
    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_wndToolBar);
    return 0;
}

// The application.

const MessageMap* CTestApp::GetMessageMap() const {
    static const MessageMap map(CWinApp::GetMessageMap(),
                                {MapCommand(ID_FILE_NEW, &CTestApp::OnFileNew),
                                 MapCommand(ID_FILE_OPEN, &CTestApp::OnFileOpen),
                                 MapCommand(ID_FILE_PRINT_SETUP, &CTestApp::OnFilePrintSetup),
                                 MapCommandRange(ID_ROUTE_VIEW, ID_ROUTE_APP, &CTestApp::OnRoute)});
    return &map;
}

void CTestApp::OnRoute(int) {
    Log().handled.push_back("app");
}

bool CTestApp::InitInstance() {
    SetRegistryKey("Ovex");
    LoadStdProfileSettings(8);
    AddDocTemplate(new CMultiDocTemplate(IDR_TESTTYPE, CreateObject<CTestDoc>,
                                         CreateObject<CTestChildFrame>, CreateObject<CTestView>));
    auto* mainFrame = new CTestMainFrame;
    if (!mainFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        delete mainFrame;
        return false;
    }
    m_pMainWnd = mainFrame;
    return true;
}

}  // namespace drel::test
