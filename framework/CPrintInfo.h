#pragma once

// What one print job tells the view's printing steps, and what they tell it back: whether the
// job is a direct print (no dialog) or a preview, the page being printed, the page count once
// the view knows it, and the area to draw into. User-interface thread.

#include <QRect>
#include <any>

class QPrinter;

namespace drel {

struct CPrintInfo {
    void SetMaxPage(int page) { m_nMaxPage = page; }
    int GetMinPage() const { return m_nMinPage; }
    int GetMaxPage() const { return m_nMaxPage; }

    bool m_bDirect = false;   // print at once on the chosen printer, without the print dialog
    bool m_bPreview = false;  // drawing into the print preview
    bool m_bContinuePrinting = true;  // OnPrepareDC clears it after the last page
    int m_nCurPage = 1;
    QRect m_rectDraw;  // the printable area of the page, in the painter's coordinates
    QPrinter* m_pPrinter = nullptr;
    std::any m_layout;  // what a view keeps from page to page of this job (its pagination)

  private:
    int m_nMinPage = 1;
    int m_nMaxPage = 0xFFFF;
};

}  // namespace drel
