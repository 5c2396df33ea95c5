#pragma once

// A small program on the framework for its tests: an application, a main frame with a toolbar
// and a status bar, child frames, a document whose first view's text is its data, and an edit
// view; two menus (128 while no document window is open, 129 while one is), accelerators,
// strings and a toolbar image strip. Each class records what the tests look for in TestLog.
//
// Commands ID_ROUTE_VIEW .. ID_ROUTE_APP show the route: ID_ROUTE_VIEW is handled by the view,
// the document, the child frame, the main frame and the application; each next id by one
// object fewer, from the front; ID_ROUTE_NOBODY by none. User-interface thread only.

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "framework/CDocument.h"
#include "framework/CEditView.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CStatusBar.h"
#include "framework/CToolBar.h"
#include "framework/CWinApp.h"

namespace drel::test {

enum : int {
    IDR_MAINFRAME = 128,
    IDR_TESTTYPE = 129,
    ID_ROUTE_VIEW = 32801,
    ID_ROUTE_DOC = 32802,
    ID_ROUTE_CHILD = 32803,
    ID_ROUTE_MAIN = 32804,
    ID_ROUTE_APP = 32805,
    ID_ROUTE_NOBODY = 32806,
};

// What the test program's objects did, in order.
struct TestLog {
    std::vector<std::string> handled;      // "view", "doc", "child", "main", "app" per command
    std::vector<std::string> closedDocs;   // titles, from PreCloseDocument
    std::vector<unsigned> chars;           // OnChar codes
    std::vector<std::string> activations;  // "+title" / "-title" per OnActivateView
    int doubleClicks = 0;
    bool refuseNewDocument = false;  // OnNewDocument fails
    bool charsToEditor = true;       // OnChar runs the base (the editor inserts)
};

TestLog& Log();

// Hands the test program's resources to the framework. Safe to call more than once.
void InstallTestResources();

class CTestView : public CEditView {
    Q_OBJECT

  public:
    void OnChar(unsigned ch, unsigned repeat, unsigned flags) override;
    void OnLButtonDblClk(unsigned flags, const QPoint& point) override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnRoute(int id);

  protected:
    const MessageMap* GetMessageMap() const override;
};

class CTestDoc : public CDocument {
  public:
    bool OnNewDocument() override;
    void Serialize(CArchive& ar) override;
    void PreCloseDocument() override;
    void OnRoute(int id);

  protected:
    const MessageMap* GetMessageMap() const override;
};

class CTestChildFrame : public CMDIChildWnd {
    Q_OBJECT

  public:
    void OnRoute(int id);

  protected:
    const MessageMap* GetMessageMap() const override;
};

class CTestMainFrame : public CMDIFrameWnd {
    Q_OBJECT

  public:
    int OnCreate() override;
    void OnRoute(int id);

    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;

  protected:
    const MessageMap* GetMessageMap() const override;
};

class CTestApp : public CWinApp {
  public:
    // The start-up of the real program, without the command line: settings key and recent-file
    // list, the template, the main frame (hidden).
    bool InitInstance() override;
    void OnRoute(int id);

    CTestMainFrame* MainFrame() const { return static_cast<CTestMainFrame*>(m_pMainWnd); }

  protected:
    const MessageMap* GetMessageMap() const override;
};

// The settings folder of the test process ($XDG_CONFIG_HOME), set before anything reads it.
const QString& ConfigHome();

}  // namespace drel::test
