#pragma once

// What every frame window has: the command route through its active view, its title, and the
// handlers of the close request and of its creation.
//
// The route of a command: a main frame passes it to its active child frame, the child frame to
// its active view, the view to its document; each object runs it when its message map has it,
// and otherwise hands it back up; the main frame tries itself and last the application. The
// first object with a handler wins; a command that no object along the route handles is
// disabled (OnCommand refuses it, and its menu items and buttons are greyed).
//
// A frame is a Qt window (the main window or an MDI sub-window); this class holds what both
// kinds share and Widget() gives the window itself. User-interface thread only.

#include <QString>
#include <cstdint>
#include <string>

#include "framework/CCmdTarget.h"

class QKeyEvent;
class QWidget;

namespace drel {

class CDocument;
class CView;

// The creation parameters a frame's PreCreateWindow may change.
struct CREATESTRUCT {
    uint32_t style = 0;
    int x = 0;
    int y = 0;
    int cx = 0;  // 0: the window's own size
    int cy = 0;
};

class CFrameWnd : public CCmdTarget {
  public:
    ~CFrameWnd() override;

    // The frame's window.
    virtual QWidget* Widget() = 0;

    // The view that gets commands first; null when the frame has none.
    CView* GetActiveView() const { return m_pActiveView; }
    virtual void SetActiveView(CView* view);

    // The document of the active view (of the active child frame for a main frame).
    virtual CDocument* GetActiveDocument() const;

    // Runs command `id` along the route when it is enabled. Returns true when it ran.
    virtual bool OnCommand(int id);

    // Fills `ui` with the state of its command along the route: an update handler decides;
    // without one the command is enabled exactly when some object along the route handles it.
    void UpdateCmdUI(CCmdUI& ui);

    // Recomputes the frame's title.
    virtual void OnUpdateFrameTitle(bool addToTitle) = 0;

    // Sets the number shown after the document title (":2"); 0 shows none.
    void SetWindowNumber(int number) { m_nWindow = number; }

    // Whether `event` is one of the frame's accelerator keys, which run commands before any
    // widget sees the key. The base has none.
    virtual bool IsAcceleratorKey(const QKeyEvent& event) const;

    // Hides the window for SW_HIDE and shows it for any other state (SW_*). Returns whether it
    // was visible before.
    bool ShowWindow(int nCmdShow);
    // Paints the window at once.
    void UpdateWindow();

    // The creation step: runs once the window exists, before LoadFrame returns. -1 fails the
    // creation. The base returns 0.
    virtual int OnCreate();

    // The close request (close box, Alt+F4, Exit). See the subclasses for what the base does.
    virtual void OnClose() = 0;

    // May change the creation parameters; false fails the creation. The base accepts them.
    virtual bool PreCreateWindow(CREATESTRUCT& cs);

  protected:
    CFrameWnd() = default;

    int m_nIDResource = 0;
    uint32_t m_dwStyle = 0;
    int m_nWindow = 0;
    CView* m_pActiveView = nullptr;
};

// 8-bit text in the system code page to Qt and back.
inline QString ToQString(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string ToStdString(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace drel
