#pragma once

// A child frame: the MDI sub-window that holds one view of a document.
//
// The document template creates it (LoadFrame) with its view inside the main frame's MDI area.
// Its title is its document's title, with ":1", ":2" ... when the document has several windows.
// A frame given no size of its own takes its view's preferred size (the view's size hint and the
// frame around it), no larger than the MDI area and no smaller than a minimum, and keeps fitting
// the area as it changes until anyone else sizes it: an area whose window is not shown yet has
// no size of its own, and a maximized main window reaches its size only after it is shown.
// The close box (and Ctrl+F4) arrive at OnClose: the document may refuse (CanCloseFrame); the
// document's last window closes the document (OnCloseDocument), any other window just goes.
// User-interface thread only.

#include <QMdiSubWindow>
#include <functional>

#include "framework/CFrameWnd.h"

namespace drel {

class CMDIFrameWnd;

// What a new child frame is made for: the document, and how to make its view.
struct CCreateContext {
    CDocument* m_pCurrentDoc = nullptr;
    std::function<CView*()> m_pNewViewClass;
};

class CMDIChildWnd : public QMdiSubWindow, public CFrameWnd {
    Q_OBJECT

  public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    // Creates the frame, hidden, inside `parent`'s MDI area, with resource `nIDResource`'s icon
    // and menu, and a view made by `context` attached to its document, sized as the class
    // comment says unless PreCreateWindow gives it a size. False when
    // PreCreateWindow (of the frame or the view) or OnCreate refuse; DestroyWindow then
    // discards the frame.
    virtual bool LoadFrame(int nIDResource, uint32_t style, CMDIFrameWnd* parent,
                           CCreateContext* context);

    QWidget* Widget() override { return this; }

    // The menu shown while this frame is active.
    int GetMenuId() const { return m_nIDResource; }

    // Makes this the active child frame.
    void MDIActivate();

    // The route: the active view (and so its document), then this frame's map.
    bool OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) override;

    void OnUpdateFrameTitle(bool addToTitle) override;

    // See the class comment.
    void OnClose() override;

    // Takes the frame off the screen and out of the main frame, detaches its view from the
    // document, and deletes the frame once control returns to the event loop.
    void DestroyWindow();
    bool IsDestroying() const { return m_bDestroying; }

    // Fits a frame that still has the size it gave itself to an MDI area of `area` (see the
    // class comment); an invalid `area` leaves the preferred size unbounded. Does nothing once
    // anyone else has sized the frame.
    void FitToArea(const QSize& area);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class CMDIFrameWnd;

    CMDIFrameWnd* m_pMDIFrame = nullptr;
    bool m_bDestroying = false;
    bool m_bFitsArea = false;  // the frame still has the size FitToArea gave it
    QSize m_fittedSize;
};

}  // namespace drel
