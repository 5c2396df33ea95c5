#include "terminal/CDrelView.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include "connection/CDrelDoc.h"
#include "connection/ConnectionDisplay.h"
#include "download/AutoDownload.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CWinApp.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"
#include "terminal/FrameClock.h"

namespace drel {

CDrelView::CDrelView() {
    connect(GetEditCtrl().document(), &QTextDocument::contentsChanged, this,
            &CDrelView::OnTextChanged);
}

CDrelView::~CDrelView() {
    // Once released, no thread hands this view text any more; a wake still posted for it goes
    // with the object.
    if (PortConnection* c = Connection()) {
        ReleaseOutputView(*c, this);
    }
    FrameClock::Forget(this);
}

PortConnection* CDrelView::Connection() const {
    auto* doc = dynamic_cast<CDrelDoc*>(GetDocument());
    return doc != nullptr ? &doc->Connection() : nullptr;
}

void CDrelView::ShowText(std::string_view text) {
    if (m_pending.Add(text)) {
        QMetaObject::invokeMethod(this, &CDrelView::OnTextWaiting, Qt::QueuedConnection);
    }
}

void CDrelView::OnTextWaiting() {
    (IsActiveTerminal() ? FrameClock::Foreground() : FrameClock::Background()).Request(this);
}

bool CDrelView::IsActiveTerminal() const {
    const auto* main = dynamic_cast<const CMDIFrameWnd*>(AfxGetMainWnd());
    const CMDIChildWnd* active = main != nullptr ? main->MDIGetActive() : nullptr;
    return active != nullptr && active->GetActiveView() == this;
}

void CDrelView::ApplyPendingText() {
    const std::optional<TextEdit> waiting =
        m_pending.Take(static_cast<size_t>(GetWindowTextLength()));
    if (!waiting) {
        return;
    }
    const TextEdit& edit = *waiting;
    m_bApplying = true;
    if (edit.cutFront > 0) {
        // Cut in place: setting the whole remaining text anew would lay out every line again.
        SetSel(0, static_cast<int>(edit.cutFront), true);
        ReplaceSel({}, false);
    }
    const int length = GetWindowTextLength();
    SetSel(length - static_cast<int>(edit.eraseCount), length);
    ReplaceSel(edit.append, false);
    ScrollCaret();
    m_bApplying = false;
}

void CDrelView::OnTextChanged() {
    if (!m_bApplying) {
        m_pending.TextChanged(static_cast<size_t>(GetWindowTextLength()));
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
        SetOutputView(*c, this);
    }
    if (activate) {
        ApplyPendingText();  // a window the user turns to is up to date at once
    }
    CEditView::OnActivateView(activate, activated, deactivated);
}

bool CDrelView::OnPreparePrinting(CPrintInfo* pInfo) {
    ApplyPendingText();
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
