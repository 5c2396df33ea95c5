#include "terminal/CDrelView.h"

#include "connection/CDrelDoc.h"
#include "connection/PortReadWrite.h"
#include "download/AutoDownload.h"
#include "framework/StandardIds.h"
#include "framework/UiThread.h"
#include "resources/resource.h"
#include "terminal/ShowTextRules.h"

namespace drel {

CDrelView::CDrelView() = default;

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
    const TextEdit edit = PlanShowText(static_cast<size_t>(GetWindowTextLength()), text);
    if (edit.cutFront > 0) {
        SetWindowText(GetWindowText().substr(edit.cutFront));
    }
    const int length = GetWindowTextLength();
    SetSel(length - static_cast<int>(edit.eraseCount), length);
    ReplaceSel(edit.append, false);
    ScrollCaret();
}

void CDrelView::OnChar(unsigned ch, unsigned, unsigned) {
    if (PortConnection* c = Connection()) {
        const uint8_t byte = static_cast<uint8_t>(ch & 0xFF);
        WritePort(*c, &byte, 1);
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
