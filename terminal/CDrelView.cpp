#include "terminal/CDrelView.h"

#include <QLayout>
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

namespace {

constexpr int kScreenColumns = 80;
constexpr int kScreenLines = 24;

}  // namespace

CDrelView::CDrelView() : m_pHex(new HexView(this)) {
    m_pHex->setFont(GetEditCtrl().font());
    m_pHex->SetKeyReceiver(&GetEditCtrl());
    m_pHex->hide();
    layout()->addWidget(m_pHex);
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

QSize CDrelView::sizeHint() const {
    return SizeForText(kScreenColumns, kScreenLines);
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
    if (IsHexShown()) {
        // Every read the loop hands the text also reached the history, so the dump follows in
        // the same frames.
        m_pHex->Refresh();
    }
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

bool CDrelView::IsHexShown() const {
    return !m_pHex->isHidden();
}

void CDrelView::OnViewHex() {
    PortConnection* c = Connection();
    if (c == nullptr) {
        return;
    }
    const bool toHex = !IsHexShown();
    const bool hadFocus = hasFocus() || GetEditCtrl().hasFocus() || m_pHex->hasFocus();
    QWidget& shown = toHex ? static_cast<QWidget&>(*m_pHex) : GetEditCtrl();
    if (toHex) {
        m_pHex->SetSource(&c->received);
        m_pHex->ShowEnd();
    }
    m_pHex->setVisible(toHex);
    GetEditCtrl().setVisible(!toHex);
    setFocusProxy(&shown);
    if (hadFocus) {
        shown.setFocus();
    }
    if (!toHex) {
        ScrollCaret();
    }
}

void CDrelView::OnUpdateViewHex(CCmdUI& ui) {
    ui.Enable(Connection() != nullptr);
    ui.SetCheck(IsHexShown() ? 1 : 0);
}

const MessageMap* CDrelView::GetMessageMap() const {
    static const MessageMap map(CEditView::GetMessageMap(),
                                {
                                    MapCommand(ID_AUTO_DOWNLOAD, &CDrelView::OnAutoDownload),
                                    MapCommand(ID_VIEW_HEX, &CDrelView::OnViewHex),
                                    MapUpdateUI(ID_VIEW_HEX, &CDrelView::OnUpdateViewHex),
                                    MapCommand(ID_FILE_PRINT, &CView::OnFilePrint),
                                    MapCommand(ID_FILE_PRINT_DIRECT, &CView::OnFilePrint),
                                    MapCommand(ID_FILE_PRINT_PREVIEW, &CView::OnFilePrintPreview),
                                });
    return &map;
}

}  // namespace drel
