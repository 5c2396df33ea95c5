#include "framework/ListDescriptionDelegate.h"

#include <QPainter>

namespace drel {

namespace {

// The space between an entry's text and its description, in widths of an 'M'.
constexpr int kGapEms = 2;

int Gap(const QStyleOptionViewItem& option) {
    return kGapEms * option.fontMetrics.horizontalAdvance(u'M');
}

}  // namespace

void ListDescriptionDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QString description = index.data(DescriptionRole).toString();
    if (description.isEmpty()) {
        return;
    }
    const int textWidth = option.fontMetrics.horizontalAdvance(index.data().toString());
    QRect area = option.rect.adjusted(textWidth + Gap(option) + 4, 0, 0, 0);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(description, Qt::ElideRight, area.width()));
    painter->restore();
}

QSize ListDescriptionDelegate::sizeHint(const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString description = index.data(DescriptionRole).toString();
    if (!description.isEmpty()) {
        size.rwidth() += Gap(option) + option.fontMetrics.horizontalAdvance(description);
    }
    return size;
}

}  // namespace drel
