#pragma once

// The multiple-document main window: a menu bar, accelerators, toolbars and a status bar
// around an MDI area that holds the child frames (sub-windows, not tabs).
//
// LoadFrame builds everything named by its resource id: the menu bar, the accelerators, the
// icon and the title string, then the MDI area, then runs OnCreate (where the program adds its
// toolbar and status bar). While a child frame is active, its document type's menu replaces the
// frame's own, and with FWS_ADDTOTITLE the title reads "<title> - <document title>".
//
// Commands: menu items, toolbar buttons and accelerators all go to OnCommand, which runs the
// command along the route (active child frame, its view, the view's document, the child frame,
// this frame, the application) when it is enabled. The enabled and checked states are updated
// when a menu is about to show, when the active child changes, after each command, and for the
// toolbars and the status bar's panes on a 200 ms idle timer.
// Accelerator keys win over every widget: an edit field never takes them for itself.
//
// The "&Window" menu (the popup holding a window command) gets the list of child frames
// appended each time it opens; the File menu's recent-file item is replaced by the list.
// The close request (close box, Alt+F4, Exit) goes to OnClose. User-interface thread only.

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <map>
#include <string>
#include <vector>

#include "framework/CFrameWnd.h"
#include "framework/FrameStyles.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace drel {

class CMDIChildWnd;
class CStatusBar;
class CToolBar;
struct AcceleratorTable;

class CMDIFrameWnd : public QMainWindow, public CFrameWnd {
    Q_OBJECT

  public:
    CMDIFrameWnd();
    // Closes the documents still open in the frame's windows (without prompts).
    ~CMDIFrameWnd() override;

    // Creates the window, hidden, from resource `nIDResource` (menu, accelerators, icon, title
    // string), then runs OnCreate. False when PreCreateWindow or OnCreate refuse or the menu is
    // missing; the window must then be deleted.
    virtual bool LoadFrame(int nIDResource, uint32_t style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE);

    QWidget* Widget() override { return this; }

    // The MDI area; null before LoadFrame.
    QMdiArea* GetMdiArea() const { return m_pMdiArea; }

    // The active child frame; null when none is open.
    CMDIChildWnd* MDIGetActive() const { return m_pActiveChild; }
    // Activates `child`.
    void MDIActivate(CMDIChildWnd* child);
    // The child frames, oldest first.
    const std::vector<CMDIChildWnd*>& GetChildFrames() const { return m_children; }

    CDocument* GetActiveDocument() const override;

    // The route: the active child frame, this frame's map, the application.
    bool OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) override;
    // Runs the command, then updates every command's state.
    bool OnCommand(int id) override;
    // Updates the state of every item of the current menu bar and of the toolbars.
    void UpdateAllCmdUI();
    // What the frame does before a popup shows: the recent-file and window lists, then the
    // items' states. Public so that tests can open a menu's contents without a pointer.
    void OnInitMenuPopup(QMenu* menu);

    void OnUpdateFrameTitle(bool addToTitle) override;
    bool IsAcceleratorKey(const QKeyEvent& event) const override;

    // Text in the status bar's message pane; the idle text ("Ready") when `text` is empty.
    void SetMessageText(const std::string& text);

    // Lets toolbars dock on the sides in `dockStyle` (CBRS_ALIGN_*).
    void EnableDocking(uint32_t dockStyle);
    // Docks `bar` on the side its style names (the top when it names none).
    void DockControlBar(CToolBar* bar);
    // The bar with control id `id` (a toolbar or the status bar); null when there is none.
    QWidget* GetControlBar(int id) const;
    // Shows or hides a bar.
    void ShowControlBar(QWidget* bar, bool show);

    // The base creation: nothing more to do (the MDI area already exists). Returns 0.
    int OnCreate() override;

    // The close request: every modified document asks to be saved (one prompt each; Cancel
    // stops the close and everything stays as it was), then every document is closed, the
    // window is hidden and, for the application's main window, the program ends.
    void OnClose() override;

    // Window and bar commands.
    void OnWindowNew();
    void OnMDIWindowCmd(int id);
    void OnUpdateMDIWindowCmd(CCmdUI& ui);
    void OnBarCheck(int id);
    void OnUpdateControlBarMenu(CCmdUI& ui);

  protected:
    const MessageMap* GetMessageMap() const override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class CMDIChildWnd;
    friend class CStatusBar;
    friend class CToolBar;

    void AddChild(CMDIChildWnd* child);
    void RemoveChild(CMDIChildWnd* child);
    void OnSubWindowActivated(QMdiSubWindow* window);
    void SetActiveChild(CMDIChildWnd* child);
    void ShowMenu(int id);
    const std::vector<QMenu*>* BuildMenu(int id);
    void CreateAccelerators(const AcceleratorTable& table);
    void UpdateMenuItems(QMenu* menu);
    void UpdateRecentFileItems(QMenu* menu);
    void UpdateWindowList(QMenu* menu);
    void ArrangeIcons();
    void OnIdle();

    QMdiArea* m_pMdiArea = nullptr;
    std::vector<CMDIChildWnd*> m_children;
    CMDIChildWnd* m_pActiveChild = nullptr;
    std::map<int, std::vector<QMenu*>> m_menus;
    int m_nShownMenu = 0;
    const AcceleratorTable* m_pAccelerators = nullptr;
    std::string m_strTitle;
    CStatusBar* m_pStatusBar = nullptr;
    std::vector<CToolBar*> m_toolBars;
    Qt::ToolBarAreas m_dockAreas = Qt::TopToolBarArea;
    QTimer m_idleTimer;
    bool m_bClosed = false;
};

}  // namespace drel
