#include "framework/CFrameWnd.h"

#include <QWidget>

#include "framework/CView.h"
#include "framework/FrameStyles.h"

namespace drel {

CFrameWnd::~CFrameWnd() = default;

void CFrameWnd::SetActiveView(CView* view) {
    m_pActiveView = view;
}

CDocument* CFrameWnd::GetActiveDocument() const {
    return m_pActiveView == nullptr ? nullptr : m_pActiveView->GetDocument();
}

bool CFrameWnd::OnCommand(int id) {
    CCmdUI ui(id);
    UpdateCmdUI(ui);
    if (!ui.IsEnabled()) {
        return false;
    }
    return OnCmdMsg(id, CmdMsg::Execute, nullptr);
}

void CFrameWnd::UpdateCmdUI(CCmdUI& ui) {
    if (!OnCmdMsg(ui.m_nID, CmdMsg::Update, &ui)) {
        ui.Enable(OnCmdMsg(ui.m_nID, CmdMsg::Probe, nullptr));
    }
}

bool CFrameWnd::IsAcceleratorKey(const QKeyEvent&) const {
    return false;
}

bool CFrameWnd::ShowWindow(int nCmdShow) {
    QWidget* window = Widget();
    const bool wasVisible = window->isVisible();
    window->setVisible(nCmdShow != SW_HIDE);
    return wasVisible;
}

void CFrameWnd::UpdateWindow() {
    Widget()->repaint();
}

int CFrameWnd::OnCreate() {
    return 0;
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCT&) {
    return true;
}

}  // namespace drel
