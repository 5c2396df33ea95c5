#pragma once

// The main window: menus, toolbar, status bar and the terminal windows inside it.

#include "framework/CMDIFrameWnd.h"
#include "framework/CStatusBar.h"
#include "framework/CToolBar.h"

namespace drel {

class CMainFrame : public CMDIFrameWnd {
    Q_OBJECT

  public:
    // Makes the toolbar and the status bar, lets the toolbar dock anywhere and float, puts the
    // window where it was last closed (MainWindowSettings.h), then loads the download file
    // names. -1 when a bar cannot be made.
    int OnCreate() override;

    // Saves the download file names and the window's place, then closes as every main window does
    // (save prompts first; a Cancel there keeps everything running, the names saved all the same).
    void OnClose() override;

  private:
    // Room for one terminal window of its preferred size and a quarter more, within the
    // screen's available area.
    QSize DefaultSize() const;

    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
};

}  // namespace drel
