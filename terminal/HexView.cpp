#include "terminal/HexView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "connection/ReceivedHistory.h"
#include "terminal/HexDump.h"

namespace drel {

namespace {

// The longest row: an offset past 4 GiB takes more digits.
constexpr int kRowColumns = 88;
constexpr int kMargin = 2;

}  // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void HexView::SetSource(const ReceivedHistory* history) {
    m_pHistory = history;
    m_firstRow = m_shownEnd = 0;
    Refresh();
}

void HexView::SetKeyReceiver(QWidget* receiver) {
    m_pKeyReceiver = receiver;
}

void HexView::Refresh() {
    const uint64_t end = m_pHistory != nullptr ? m_pHistory->Kept().end : 0;
    UpdateRange();
    if (end != m_shownEnd) {
        m_shownEnd = end;
        viewport()->update();
    }
}

void HexView::ShowEnd() {
    UpdateRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void HexView::UpdateRange() {
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    const ReceivedHistory::Range kept =
        m_pHistory != nullptr ? m_pHistory->Kept() : ReceivedHistory::Range{};
    const uint64_t firstRow = kept.begin / kHexRowBytes;
    const uint64_t rowEnd = (kept.end + kHexRowBytes - 1) / kHexRowBytes;
    // Rows pushed out move the rows still shown up the scroll bar's range.
    const int64_t stay = bar->value() - static_cast<int64_t>(firstRow - m_firstRow);
    m_firstRow = firstRow;
    const int rows = static_cast<int>(rowEnd - firstRow);
    const int fit = RowsThatFit();
    bar->setPageStep(fit);
    bar->setRange(0, std::max(0, rows - fit));
    bar->setValue(following ? bar->maximum()
                            : static_cast<int>(std::clamp<int64_t>(stay, 0, bar->maximum())));
    const int width = kRowColumns * fontMetrics().horizontalAdvance(u'0') + 2 * kMargin;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

int HexView::RowHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int HexView::RowsThatFit() const {
    return std::max(1, viewport()->height() / RowHeight());
}

std::vector<std::string> HexView::RowsShown() const {
    if (m_pHistory == nullptr) {
        return {};
    }
    const uint64_t top = m_firstRow + static_cast<uint64_t>(verticalScrollBar()->value());
    // The last row may show in part.
    return HexDumpRows(*m_pHistory, top, static_cast<size_t>(RowsThatFit()) + 1);
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const int x = kMargin - horizontalScrollBar()->value();
    int y = fontMetrics().ascent();
    for (const std::string& row : RowsShown()) {
        painter.drawText(x, y, QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size())));
        y += RowHeight();
    }
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateRange();
}

void HexView::keyPressEvent(QKeyEvent* event) {
    if (m_pKeyReceiver == nullptr || event->text().isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    QCoreApplication::sendEvent(m_pKeyReceiver, event);
    // The receiver had its turn; the key does not go on to this view's parents.
    event->accept();
}

}  // namespace drel
