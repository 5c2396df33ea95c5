#pragma once

// A view: the window inside a child frame that shows a document and gets commands first.
//
// The document template creates it with its child frame and attaches it to the document; the
// frame calls OnActivateView when the active view changes, on the view losing activation and
// then on the view gaining it. Commands a view does not handle go on to its document.
//
// Printing: the print command (OnFilePrint, bound by the subclass to ID_FILE_PRINT and
// ID_FILE_PRINT_DIRECT) runs OnPreparePrinting (whose DoPreparePrinting shows the print dialog,
// or for a direct print takes the application's printer, or the printer the command line
// named), then OnBeginPrinting, for each page OnPrepareDC and OnPrint, and OnEndPrinting. Print
// preview (OnFilePrintPreview) runs the same page steps into a preview window.
// User-interface thread only.

#include <QWidget>

#include "framework/CCmdTarget.h"
#include "framework/CFrameWnd.h"
#include "framework/CPrintInfo.h"

class QPainter;
class QPrinter;

namespace drel {

class CDocument;

class CView : public QWidget, public CCmdTarget {
    Q_OBJECT

  public:
    CView();
    // Detaches the view from its document.
    ~CView() override;

    // The document the view shows; null before it is attached and once its frame is closing.
    CDocument* GetDocument() const { return m_pDocument; }

    // The child frame that holds the view.
    CFrameWnd* GetParentFrame() const { return m_pFrame; }

    // The view's part of the route: its own map, then its document.
    bool OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) override;

    // May change the creation parameters; false fails the creation. The base accepts them.
    virtual bool PreCreateWindow(CREATESTRUCT& cs);

    // Called once the frame, the view and the document are complete, before the frame shows.
    // The base does nothing.
    virtual void OnInitialUpdate();

    // Called on the view losing activation (`activate` false) and on the view gaining it
    // (`activate` true); `activated` and `deactivated` name both views (either may be null).
    // The base gives the keyboard focus to the view being activated.
    virtual void OnActivateView(bool activate, CView* activated, CView* deactivated);

    // Draws the view's contents for printing (OnPrint's base). The base draws nothing.
    virtual void OnDraw(QPainter* painter);

    // Printing steps (see the class comment). OnPreparePrinting returns DoPreparePrinting's
    // result in the base; false cancels the job.
    virtual bool OnPreparePrinting(CPrintInfo* pInfo);
    virtual void OnBeginPrinting(QPainter* painter, CPrintInfo* pInfo);
    // Before each page; the base ends the job after the last page of GetMaxPage.
    virtual void OnPrepareDC(QPainter* painter, CPrintInfo* pInfo);
    // Prints page pInfo->m_nCurPage into pInfo->m_rectDraw; the base calls OnDraw.
    virtual void OnPrint(QPainter* painter, CPrintInfo* pInfo);
    virtual void OnEndPrinting(QPainter* painter, CPrintInfo* pInfo);

    // Chooses the printer: for a preview nothing to do; for a direct print the application's
    // printer, or the printer the command line named (/pt), without a dialog; otherwise the
    // print dialog. False when the user cancelled or the named printer does not exist (the user
    // is told).
    bool DoPreparePrinting(CPrintInfo* pInfo);

    // The print commands: ID_FILE_PRINT with the dialog, ID_FILE_PRINT_DIRECT without;
    // failures are told to the user.
    void OnFilePrint();
    // ID_FILE_PRINT_PREVIEW: the preview window, modal, on the application's printer.
    void OnFilePrintPreview();

    // Runs the page steps on `printer` (already chosen). False, after telling the user, when
    // printing could not start.
    bool PrintPages(QPrinter& printer, CPrintInfo& info);

  private:
    friend class CDocument;
    friend class CMDIChildWnd;

    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pFrame = nullptr;
};

}  // namespace drel
