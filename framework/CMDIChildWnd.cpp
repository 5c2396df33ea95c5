#include "framework/CMDIChildWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QResizeEvent>
#include <algorithm>

#include "framework/CDocument.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CView.h"
#include "framework/Resources.h"

namespace drel {

namespace {

constexpr QSize kMinimumSize(320, 200);

}  // namespace

CMDIChildWnd::CMDIChildWnd() {
    // The frame decides when it is deleted (DestroyWindow), not Qt's close.
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Qt's sub-window also closes on Ctrl+W, a control character the view must get; the
    // window keeps Ctrl+F4.
    for (QAction* action : systemMenu()->actions()) {
        if (action->shortcuts().contains(QKeySequence(QKeySequence::Close))) {
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
        }
    }
}

CMDIChildWnd::~CMDIChildWnd() {
    if (m_pMDIFrame != nullptr) {
        m_pMDIFrame->RemoveChild(this);
    }
}

bool CMDIChildWnd::LoadFrame(int nIDResource, uint32_t style, CMDIFrameWnd* parent,
                             CCreateContext* context) {
    m_nIDResource = nIDResource;
    m_dwStyle = style;
    CREATESTRUCT cs{style};
    if (parent == nullptr || !PreCreateWindow(cs)) {
        return false;
    }
    m_dwStyle = cs.style;
    setWindowIcon(AfxLoadIcon(nIDResource));
    if (context != nullptr && context->m_pNewViewClass) {
        CView* view = context->m_pNewViewClass();
        CREATESTRUCT viewCs{};
        if (view == nullptr || !view->PreCreateWindow(viewCs)) {
            delete view;
            return false;
        }
        view->m_pFrame = this;
        setWidget(view);
        SetActiveView(view);
        if (context->m_pCurrentDoc != nullptr) {
            context->m_pCurrentDoc->AddView(view);
        }
    }
    m_pMDIFrame = parent;
    parent->AddChild(this);
    if (cs.cx > 0 && cs.cy > 0) {
        resize(cs.cx, cs.cy);
    } else {
        m_bFitsArea = true;
        QWidget* area = parent->GetMdiArea()->viewport();
        FitToArea(parent->isVisible() ? area->size() : QSize());
    }
    return OnCreate() != -1;
}

void CMDIChildWnd::FitToArea(const QSize& area) {
    if (!m_bFitsArea) {
        return;
    }
    QSize size = sizeHint();
    if (area.isValid()) {
        size = size.boundedTo(area);
    }
    m_fittedSize = size.expandedTo(kMinimumSize);
    resize(m_fittedSize);
    if (!area.isValid()) {
        return;
    }
    // Moved only when it sticks out: a frame never moved is placed by the area when it shows.
    const QPoint inside(std::clamp(x(), 0, std::max(0, area.width() - m_fittedSize.width())),
                        std::clamp(y(), 0, std::max(0, area.height() - m_fittedSize.height())));
    if (inside != pos()) {
        move(inside);
    }
}

void CMDIChildWnd::resizeEvent(QResizeEvent* event) {
    // A size the frame did not give itself (the user's, a maximize, tiling) is the frame's own
    // from now on.
    if (event->size() != m_fittedSize) {
        m_bFitsArea = false;
    }
    QMdiSubWindow::resizeEvent(event);
}

void CMDIChildWnd::MDIActivate() {
    if (m_pMDIFrame != nullptr && !m_bDestroying) {
        m_pMDIFrame->MDIActivate(this);
    }
}

bool CMDIChildWnd::OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) {
    if (m_pActiveView != nullptr && m_pActiveView->OnCmdMsg(id, code, pCmdUI)) {
        return true;
    }
    return CCmdTarget::OnCmdMsg(id, code, pCmdUI);
}

void CMDIChildWnd::OnUpdateFrameTitle(bool) {
    const CDocument* doc = GetActiveDocument();
    if (doc == nullptr) {
        return;
    }
    std::string title = doc->GetTitle();
    if (m_nWindow > 0) {
        title += ":" + std::to_string(m_nWindow);
    }
    setWindowTitle(ToQString(title));
    if (m_pMDIFrame != nullptr && m_pMDIFrame->MDIGetActive() == this) {
        m_pMDIFrame->OnUpdateFrameTitle(true);
    }
}

void CMDIChildWnd::closeEvent(QCloseEvent* event) {
    // OnClose decides, and destroys the frame itself when the close goes ahead.
    event->ignore();
    if (!m_bDestroying) {
        OnClose();
    }
}

void CMDIChildWnd::OnClose() {
    CDocument* doc = GetActiveDocument();
    if (doc != nullptr) {
        if (doc->IsClosing() || !doc->CanCloseFrame(this)) {
            return;
        }
        bool otherFrame = false;
        for (CView* view : doc->GetViews()) {
            otherFrame = otherFrame || view->GetParentFrame() != this;
        }
        if (!otherFrame) {
            doc->OnCloseDocument();
            return;
        }
    }
    DestroyWindow();
}

void CMDIChildWnd::DestroyWindow() {
    if (m_bDestroying) {
        return;
    }
    m_bDestroying = true;
    hide();
    if (m_pMDIFrame != nullptr) {
        m_pMDIFrame->RemoveChild(this);
        m_pMDIFrame = nullptr;
    }
    if (m_pActiveView != nullptr && m_pActiveView->GetDocument() != nullptr) {
        CDocument* doc = m_pActiveView->GetDocument();
        doc->RemoveView(m_pActiveView);
    }
    deleteLater();
}

}  // namespace drel
