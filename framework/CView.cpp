#include "framework/CView.h"

#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "framework/AfxMessageBox.h"
#include "framework/CCommandLineInfo.h"
#include "framework/CDocument.h"
#include "framework/CPrintDialog.h"
#include "framework/CWinApp.h"
#include "framework/StandardIds.h"

namespace drel {

CView::CView() {
    setFocusPolicy(Qt::StrongFocus);
}

CView::~CView() {
    if (m_pDocument != nullptr) {
        m_pDocument->RemoveView(this);
    }
}

bool CView::OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) {
    if (CCmdTarget::OnCmdMsg(id, code, pCmdUI)) {
        return true;
    }
    return m_pDocument != nullptr && m_pDocument->OnCmdMsg(id, code, pCmdUI);
}

bool CView::PreCreateWindow(CREATESTRUCT&) {
    return true;
}

void CView::OnInitialUpdate() {}

void CView::OnActivateView(bool activate, CView*, CView*) {
    if (activate) {
        setFocus(Qt::OtherFocusReason);
    }
}

void CView::OnDraw(QPainter*) {}

bool CView::OnPreparePrinting(CPrintInfo* pInfo) {
    return DoPreparePrinting(pInfo);
}

void CView::OnBeginPrinting(QPainter*, CPrintInfo*) {}

void CView::OnPrepareDC(QPainter*, CPrintInfo* pInfo) {
    // Without a known page count only the first page is printed.
    if (pInfo->GetMaxPage() == 0xFFFF) {
        pInfo->m_bContinuePrinting = pInfo->m_nCurPage == 1;
    } else {
        pInfo->m_bContinuePrinting = pInfo->m_nCurPage <= pInfo->GetMaxPage();
    }
}

void CView::OnPrint(QPainter* painter, CPrintInfo*) {
    OnDraw(painter);
}

void CView::OnEndPrinting(QPainter*, CPrintInfo*) {}

bool CView::DoPreparePrinting(CPrintInfo* pInfo) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return false;
    }
    QPrinter& printer = app->GetPrinter();
    pInfo->m_pPrinter = &printer;
    if (pInfo->m_bPreview) {
        return true;
    }
    if (pInfo->m_bDirect) {
        const CCommandLineInfo* cmdInfo = app->m_pCmdInfo;
        if (cmdInfo != nullptr && cmdInfo->m_nShellCommand == CCommandLineInfo::FilePrintTo) {
            const QString name = ToQString(cmdInfo->m_strPrinterName);
            // QPrinter falls back to a PDF file for an unknown name; the user asked for a
            // printer, so an unknown one is an error.
            if (QPrinterInfo::printerInfo(name).isNull()) {
                AfxMessageBox("The printer \"" + cmdInfo->m_strPrinterName + "\" was not found.",
                              MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
            printer.setPrinterName(name);
        }
        return true;
    }
    CPrintDialog dialog(false, printer, window());
    return dialog.DoModal() == IDOK;
}

bool CView::PrintPages(QPrinter& printer, CPrintInfo& info) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        AfxMessageBox("Printing could not be started.", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    info.m_pPrinter = &printer;
    OnBeginPrinting(&painter, &info);
    const bool range = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
    const int first = range ? std::max(printer.fromPage(), info.GetMinPage()) : info.GetMinPage();
    const int last = range ? printer.toPage() : 0;
    for (info.m_nCurPage = first;; ++info.m_nCurPage) {
        info.m_bContinuePrinting = true;
        info.m_rectDraw =
            QRect(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
        OnPrepareDC(&painter, &info);
        if (!info.m_bContinuePrinting || (last > 0 && info.m_nCurPage > last)) {
            break;
        }
        if (info.m_nCurPage != first) {
            printer.newPage();
        }
        painter.save();
        OnPrint(&painter, &info);
        painter.restore();
    }
    OnEndPrinting(&painter, &info);
    return painter.end();
}

void CView::OnFilePrint() {
    CPrintInfo info;
    info.m_bDirect = GetCurrentCommandId() == ID_FILE_PRINT_DIRECT;
    if (!OnPreparePrinting(&info)) {
        return;
    }
    if (info.m_pPrinter == nullptr && AfxGetApp() != nullptr) {
        info.m_pPrinter = &AfxGetApp()->GetPrinter();
    }
    if (info.m_pPrinter != nullptr) {
        PrintPages(*info.m_pPrinter, info);
    }
}

void CView::OnFilePrintPreview() {
    CPrintInfo info;
    info.m_bPreview = true;
    if (!OnPreparePrinting(&info)) {
        return;
    }
    if (info.m_pPrinter == nullptr && AfxGetApp() != nullptr) {
        info.m_pPrinter = &AfxGetApp()->GetPrinter();
    }
    if (info.m_pPrinter == nullptr) {
        return;
    }
    QPrintPreviewDialog preview(info.m_pPrinter, window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, &info](QPrinter* printer) {
        CPrintInfo pageInfo = info;
        PrintPages(*printer, pageInfo);
    });
    preview.exec();
}

}  // namespace drel
