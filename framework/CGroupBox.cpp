#include "framework/CGroupBox.h"

#include <QStylePainter>

namespace drel {

CGroupBox::CGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    setFocusPolicy(Qt::NoFocus);
}

// Styles draw the title above the frame; the template's layout expects the frame's top line
// through the middle of the title, with the buttons placed just below that line.
void CGroupBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    const QFontMetrics metrics(font());

    // Not the style's group box frame: styles place it below a title of their own.
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
    QColor line = palette().color(QPalette::Window).darker(140);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(line);
    painter.drawRoundedRect(QRectF(frame).translated(0.5, 0.5), 2, 2);
    painter.setRenderHint(QPainter::Antialiasing, false);

    if (title().isEmpty()) {
        return;
    }
    const int indent = metrics.averageCharWidth();
    const int gap = metrics.averageCharWidth() / 2;
    const QRect text(indent, 0, metrics.horizontalAdvance(title()) + 2 * gap, metrics.height());
    painter.fillRect(text, palette().window());
    painter.drawItemText(text.adjusted(gap, 0, 0, 0), Qt::AlignLeft | Qt::TextShowMnemonic,
                         palette(), isEnabled(), title(), QPalette::WindowText);
}

}  // namespace drel
