#include "app/CMainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include "app/CDrelApp.h"
#include "app/DownloadNamesSettings.h"
#include "app/MainWindowSettings.h"
#include "resources/resource.h"
#include "terminal/CDrelView.h"

namespace drel {

namespace {

constexpr int kIndicators[] = {
    ID_SEPARATOR,  // the message pane
    ID_INDICATOR_CTS,  ID_INDICATOR_DSR, ID_INDICATOR_DCD,  ID_INDICATOR_RI,
    ID_INDICATOR_LOG,  // enabled while the active terminal logs
    ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL,
};

}  // namespace

int CMainFrame::OnCreate() {
    if (CMDIFrameWnd::OnCreate() == -1) {
        return -1;
    }
    if (!m_wndToolBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP, AFX_IDW_TOOLBAR) ||
        !m_wndToolBar.LoadToolBar(IDR_MAINFRAME) ||
        !m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(kIndicators, static_cast<int>(std::size(kIndicators)))) {
        return -1;
    }
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY |
                             CBRS_SIZE_DYNAMIC);
    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_wndToolBar);
    CDrelApp& app = DrelApp();
    // The default size is measured on a terminal view made for the purpose: only when needed.
    if (!RestoreMainWindow(app, *this)) {
        resize(DefaultSize());
    }
    LoadDownloadNames(app, app);
    return 0;
}

void CMainFrame::OnClose() {
    CDrelApp& app = DrelApp();
    SaveDownloadNames(app, app);
    SaveMainWindow(app, *this);
    CMDIFrameWnd::OnClose();
}

QSize CMainFrame::DefaultSize() const {
    // A terminal window as the MDI area would open it, never shown.
    QMdiSubWindow probe;
    probe.setWidget(new CDrelView);
    const QSize terminal = probe.sizeHint();
    // The menu bar, the bars and whatever else the window puts around its MDI area.
    const QSize around = sizeHint() - GetMdiArea()->sizeHint();
    const QSize size = terminal + terminal / 4 + around.expandedTo(QSize(0, 0));
    return size.boundedTo(screen()->availableGeometry().size());
}

}  // namespace drel
