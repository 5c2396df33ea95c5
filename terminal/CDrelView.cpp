#include "terminal/CDrelView.h"

#include <QPlainTextEdit>

#include "connection/CDrelDoc.h"
#include "download/AutoDownload.h"
#include "framework/StandardIds.h"
#include "framework/UiThread.h"
#include "resources/resource.h"
#include "terminal/ShowTextRules.h"

namespace drel {

namespace {

// Received text repaints the terminal at most once per frame of this length: a device that
// prints fast hands over a run every few microseconds, and painting each would cost far more
// than showing it.
constexpr int kFrameMs = 16;

}  // namespace

CDrelView::CDrelView() {
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setInterval(kFrameMs);
    connect(&m_frameTimer, &QTimer::timeout, this,
            [this] { GetEditCtrl().setUpdatesEnabled(true); });
}

CDrelView::~CDrelView() {
    if (PortConnection* c = Connection()) {
        OutputView* self = this;
        c->outputView.compare_exchange_strong(self, nullptr);
    }
}

PortConnection* CDrelView::Connection() const {
    auto* doc = dynamic_cast<CDrelDoc*>(GetDocument());
    return doc != nullptr ? &doc->Connection() : nullptr;
}

void CDrelView::ShowText(const std::string& text) {
    CallOnUiThread([this, &text] { ApplyShowText(text); });
}

void CDrelView::ApplyShowText(const std::string& text) {
    HoldRepaintsForAFrame();
    const TextEdit edit = PlanShowText(static_cast<size_t>(GetWindowTextLength()), text);
    if (edit.cutFront > 0) {
        // Cut in place: setting the whole remaining text anew would lay out every line again.
        SetSel(0, static_cast<int>(edit.cutFront), true);
        ReplaceSel({}, false);
    }
    const int length = GetWindowTextLength();
    SetSel(length - static_cast<int>(edit.eraseCount), length);
    ReplaceSel(edit.append, false);
    ScrollCaret();
}

void CDrelView::HoldRepaintsForAFrame() {
    if (!m_frameTimer.isActive()) {
        GetEditCtrl().setUpdatesEnabled(false);
        m_frameTimer.start();
    }
}

void CDrelView::OnChar(unsigned ch, unsigned, unsigned) {
    if (PortConnection* c = Connection()) {
        c->userWrites.Write(std::string(1, static_cast<char>(ch & 0xFF)));
    }
}

void CDrelView::OnLButtonDblClk(unsigned, const QPoint&) {}

void CDrelView::OnActivateView(bool activate, CView* activated, CView* deactivated) {
    if (PortConnection* c = Connection()) {
        c->outputView = this;
    }
    CEditView::OnActivateView(activate, activated, deactivated);
}

bool CDrelView::OnPreparePrinting(CPrintInfo* pInfo) {
    return DoPreparePrinting(pInfo);
}

void CDrelView::OnBeginPrinting(QPainter*, CPrintInfo*) {}

void CDrelView::OnEndPrinting(QPainter*, CPrintInfo*) {}

void CDrelView::OnAutoDownload() {
    if (PortConnection* c = Connection()) {
        RunAutoDownload(*c);
    }
}

const MessageMap* CDrelView::GetMessageMap() const {
    static const MessageMap map(CEditView::GetMessageMap(),
                                {
                                    MapCommand(ID_AUTO_DOWNLOAD, &CDrelView::OnAutoDownload),
                                    MapCommand(ID_FILE_PRINT, &CView::OnFilePrint),
                                    MapCommand(ID_FILE_PRINT_DIRECT, &CView::OnFilePrint),
                                    MapCommand(ID_FILE_PRINT_PREVIEW, &CView::OnFilePrintPreview),
                                });
    return &map;
}

}  // namespace drel
