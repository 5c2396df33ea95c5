#include "framework/CEditView.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/CArchive.h"
#include "framework/CDocument.h"
#include "framework/EditControl.h"
#include "framework/EditTextCodec.h"
#include "framework/StandardIds.h"
#include "framework/UiThread.h"

namespace drel {

namespace {

constexpr int kTabColumns = 8;

// What printing keeps from page to page: the text cut into lines that fit the page width.
struct PrintLayout {
    QFont font;
    std::vector<QString> lines;
    int linesPerPage = 1;
};

// The system's fixed-width font; where the platform names none that is (the offscreen one
// does not), the first installed fixed-pitch family at the same size.
QFont FixedFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch()) {
        return font;
    }
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family)) {
            font.setFamily(family);
            break;
        }
    }
    font.setFixedPitch(true);
    return font;
}

QString ExpandTabs(const QString& line) {
    QString expanded;
    for (const QChar ch : line) {
        if (ch == u'\t') {
            expanded += QString(kTabColumns - expanded.size() % kTabColumns, u' ');
        } else {
            expanded += ch;
        }
    }
    return expanded;
}

}  // namespace

CEditView::CEditView() : m_pEdit(new EditControl(*this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pEdit);
    setFocusProxy(m_pEdit);
    // A fixed-width font shows one character per cell and needs no shaping; shaping each line
    // again as text is added to it would cost more than everything else the editor does.
    QFont font = FixedFont();
    font.setStyleStrategy(QFont::PreferNoShaping);
    m_pEdit->setFont(font);
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setTabStopDistance(kTabColumns * QFontMetrics(font).horizontalAdvance(u' '));
    connect(m_pEdit, &QPlainTextEdit::textChanged, this, [this] {
        if (CDocument* doc = GetDocument()) {
            doc->SetModifiedFlag(true);
        }
    });
    connect(m_pEdit, &QPlainTextEdit::cursorPositionChanged, this, [this] { OnCursorMoved(); });
    connect(m_pEdit, &QPlainTextEdit::selectionChanged, this, [this] { OnCursorMoved(); });
}

CEditView::~CEditView() {
    // The editor outlives this part of the view by a moment and may still send signals.
    m_pEdit->disconnect(this);
}

const MessageMap* CEditView::GetMessageMap() const {
    static const MessageMap map(CView::GetMessageMap(),
                                {MapCommand(ID_EDIT_UNDO, &CEditView::OnEditUndo),
                                 MapUpdateUI(ID_EDIT_UNDO, &CEditView::OnUpdateEditUndo),
                                 MapCommand(ID_EDIT_CUT, &CEditView::OnEditCut),
                                 MapUpdateUI(ID_EDIT_CUT, &CEditView::OnUpdateNeedSel),
                                 MapCommand(ID_EDIT_COPY, &CEditView::OnEditCopy),
                                 MapUpdateUI(ID_EDIT_COPY, &CEditView::OnUpdateNeedSel),
                                 MapCommand(ID_EDIT_PASTE, &CEditView::OnEditPaste),
                                 MapUpdateUI(ID_EDIT_PASTE, &CEditView::OnUpdateEditPaste)});
    return &map;
}

QSize CEditView::SizeForText(int columns, int lines) const {
    // The editor lays text out in fractional metrics, rounded ones may be a little larger; the
    // text fits in either.
    const QFont& font = m_pEdit->font();
    const QString row(columns, u'M');
    const qreal textWidth = std::max(QFontMetricsF(font).horizontalAdvance(row),
                                     qreal(QFontMetrics(font).horizontalAdvance(row)));
    const qreal lineHeight =
        std::max(QFontMetricsF(font).lineSpacing(), qreal(QFontMetrics(font).lineSpacing()));
    const int margin = static_cast<int>(std::ceil(m_pEdit->document()->documentMargin()));
    const int frame = m_pEdit->frameWidth();
    const int width = static_cast<int>(std::ceil(textWidth)) + m_pEdit->cursorWidth() +
                      2 * (margin + frame) + m_pEdit->verticalScrollBar()->sizeHint().width();
    return {width, static_cast<int>(std::ceil(lines * lineHeight)) + 2 * (margin + frame)};
}

QPlainTextEdit& CEditView::GetEditCtrl() const {
    return *m_pEdit;
}

// Each line break before a position is two bytes but one document character.
int CEditView::OffsetOf(int docPosition) const {
    return docPosition + m_pEdit->document()->findBlock(docPosition).blockNumber();
}

CEditView::Position CEditView::DocPositionOf(int offset) const {
    const QTextDocument* doc = m_pEdit->document();
    int low = 0;
    int high = doc->blockCount() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (doc->findBlockByNumber(middle).position() + middle <= offset) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const int textLength = block.length() - 1;
    const int inBlock = offset - (block.position() + low);
    if (inBlock <= textLength) {
        return {block.position() + std::max(inBlock, 0), false};
    }
    const bool midPair = inBlock == textLength + 1 && block.next().isValid();
    return {block.position() + textLength, midPair};
}

int CEditView::TextLength() const {
    const QTextDocument* doc = m_pEdit->document();
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

std::string CEditView::Text() const {
    std::string text;
    text.reserve(static_cast<size_t>(TextLength()));
    for (QTextBlock block = m_pEdit->document()->begin(); block.isValid(); block = block.next()) {
        AppendBlockBytes(block.text(), text);
        if (block.next().isValid()) {
            text += "\r\n";
        }
    }
    return text;
}

int CEditView::GetWindowTextLength() const {
    int length = 0;
    CallOnUiThread([&] { length = TextLength(); });
    return length;
}

std::string CEditView::GetWindowText() const {
    std::string text;
    CallOnUiThread([&] { text = Text(); });
    return text;
}

void CEditView::SetWindowText(const std::string& text) {
    CallOnUiThread([&] {
        m_bMovingCursor = true;
        m_pEdit->setPlainText(BytesToDisplay(text));
        m_bMovingCursor = false;
        m_nSelAnchor = m_nSelCaret = 0;
        ShowSelection();
    });
}

void CEditView::SetSel(int start, int end, bool noScroll) {
    CallOnUiThread([&] {
        const int length = TextLength();
        if (start < 0) {
            m_nSelAnchor = m_nSelCaret;
        } else {
            m_nSelAnchor = std::min(start, length);
            m_nSelCaret = end < 0 ? length : std::min(end, length);
        }
        ShowSelection(!noScroll);
    });
}

void CEditView::ReplaceSel(const std::string& text, bool canUndo) {
    CallOnUiThread([&] {
        const int start = std::min(m_nSelAnchor, m_nSelCaret);
        const int end = std::max(m_nSelAnchor, m_nSelCaret);
        Replace(start, end, text, canUndo);
        m_nSelAnchor = m_nSelCaret = start + static_cast<int>(text.size());
        ShowSelection();
    });
}

void CEditView::ScrollCaret() {
    // Asked for in so many words: the cursor goes there now, in the same pass as the change
    // before it, so that the editor paints once for both.
    CallOnUiThread([&] {
        m_bSelectionPending = m_bScrollPending = true;
        ShowPendingSelection();
    });
}

// Replaces bytes [start, end) so that the document again holds the canonical form of the new
// bytes: a cut through a CR LF pair keeps its other half, and a lone CR that comes to stand
// before a lone LF joins it into a line break.
void CEditView::Replace(int start, int end, const std::string& text, bool canUndo) {
    QTextDocument* doc = m_pEdit->document();
    const int length = TextLength();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    const Position from = DocPositionOf(start);
    const Position to = DocPositionOf(end);
    std::string bytes = text;
    int docStart = from.doc;
    int docEnd = to.doc;
    if (from.midPair) {
        bytes.insert(0, "\r");
    }
    if (to.midPair) {
        ++docEnd;
        bytes += '\n';
    }
    const QChar left = docStart > 0 ? doc->characterAt(docStart - 1) : QChar();
    const QChar right = doc->characterAt(docEnd);
    const bool joinLeft =
        left == kLoneCrSymbol && (bytes.empty() ? right == kLoneLfSymbol : bytes.front() == '\n');
    const bool joinRight =
        right == kLoneLfSymbol && (bytes.empty() ? joinLeft : bytes.back() == '\r');
    if (joinLeft) {
        --docStart;
        bytes.insert(0, "\r");
    }
    if (joinRight) {
        ++docEnd;
        bytes += '\n';
    }
    QTextCursor cursor(doc);
    cursor.setPosition(docStart);
    cursor.setPosition(docEnd, QTextCursor::KeepAnchor);
    m_bMovingCursor = true;
    if (!canUndo) {
        doc->setUndoRedoEnabled(false);
    }
    if (bytes.empty()) {
        cursor.removeSelectedText();
    } else {
        cursor.insertText(BytesToDisplay(bytes));
    }
    if (!canUndo) {
        doc->setUndoRedoEnabled(true);
    }
    m_bMovingCursor = false;
}

void CEditView::ShowSelection(bool scroll) {
    m_bScrollPending = m_bScrollPending || scroll;
    if (!m_bSelectionPending) {
        m_bSelectionPending = true;
        QTimer::singleShot(0, m_pEdit, [this] { ShowPendingSelection(); });
    }
}

void CEditView::ShowPendingSelection() {
    if (!m_bSelectionPending) {
        return;
    }
    m_bSelectionPending = false;
    QTextCursor cursor(m_pEdit->document());
    cursor.setPosition(DocPositionOf(m_nSelAnchor).doc);
    cursor.setPosition(DocPositionOf(m_nSelCaret).doc, QTextCursor::KeepAnchor);
    m_bMovingCursor = true;
    m_pEdit->setTextCursor(cursor);
    m_bMovingCursor = false;
    if (m_bScrollPending) {
        m_bScrollPending = false;
        m_pEdit->ensureCursorVisible();
    }
}

void CEditView::OnCursorMoved() {
    if (m_bMovingCursor) {
        return;
    }
    // The user moved the cursor: that selection is newer than one still waiting to be shown.
    m_bSelectionPending = m_bScrollPending = false;
    const QTextCursor cursor = m_pEdit->textCursor();
    m_nSelAnchor = OffsetOf(cursor.anchor());
    m_nSelCaret = OffsetOf(cursor.position());
}

void CEditView::SerializeRaw(CArchive& ar) {
    if (ar.IsStoring()) {
        const std::string text = Text();
        ar.Write(text.data(), text.size());
    } else {
        const std::string text = ar.ReadAll();
        if (!ar.Failed()) {
            SetWindowText(text);
        }
    }
}

void CEditView::OnChar(unsigned ch, unsigned, unsigned) {
    ShowPendingSelection();
    m_pEdit->RunOwnCharacter(ch);
}

void CEditView::OnLButtonDblClk(unsigned, const QPoint&) {
    ShowPendingSelection();
    m_pEdit->RunOwnDoubleClick();
}

void CEditView::OnPrepareDC(QPainter* painter, CPrintInfo* pInfo) {
    if (!pInfo->m_layout.has_value()) {
        PrintLayout layout;
        layout.font = FixedFont();
        const QFontMetrics metrics(layout.font, painter->device());
        const int columns =
            std::max(1, pInfo->m_rectDraw.width() / std::max(1, metrics.horizontalAdvance(u'M')));
        layout.linesPerPage =
            std::max(1, pInfo->m_rectDraw.height() / std::max(1, metrics.lineSpacing()));
        for (QTextBlock block = m_pEdit->document()->begin(); block.isValid();
             block = block.next()) {
            const QString line = ExpandTabs(block.text());
            for (qsizetype at = 0; at == 0 || at < line.size(); at += columns) {
                layout.lines.push_back(line.mid(at, columns));
            }
        }
        const auto lines = static_cast<int>(layout.lines.size());
        pInfo->SetMaxPage(std::max(1, (lines + layout.linesPerPage - 1) / layout.linesPerPage));
        pInfo->m_layout = std::move(layout);
    }
    CView::OnPrepareDC(painter, pInfo);
}

void CEditView::OnPrint(QPainter* painter, CPrintInfo* pInfo) {
    const auto* layout = std::any_cast<PrintLayout>(&pInfo->m_layout);
    if (layout == nullptr) {
        return;
    }
    painter->setFont(layout->font);
    const QFontMetrics metrics(layout->font, painter->device());
    const size_t first = static_cast<size_t>(pInfo->m_nCurPage - 1) * layout->linesPerPage;
    int y = pInfo->m_rectDraw.top() + metrics.ascent();
    for (size_t i = first; i < layout->lines.size() && i < first + layout->linesPerPage; ++i) {
        painter->drawText(pInfo->m_rectDraw.left(), y, layout->lines[i]);
        y += metrics.lineSpacing();
    }
}

void CEditView::OnEditUndo() {
    ShowPendingSelection();
    m_pEdit->undo();
}

void CEditView::OnEditCut() {
    ShowPendingSelection();
    m_pEdit->cut();
}

void CEditView::OnEditCopy() {
    ShowPendingSelection();
    m_pEdit->copy();
}

void CEditView::OnEditPaste() {
    ShowPendingSelection();
    m_pEdit->paste();
}

void CEditView::OnUpdateEditUndo(CCmdUI& ui) {
    ui.Enable(m_pEdit->document()->isUndoAvailable());
}

void CEditView::OnUpdateNeedSel(CCmdUI& ui) {
    ShowPendingSelection();
    ui.Enable(m_pEdit->textCursor().hasSelection());
}

void CEditView::OnUpdateEditPaste(CCmdUI& ui) {
    ui.Enable(m_pEdit->canPaste());
}

}  // namespace drel
