#pragma once

// Draws a list entry's description beside its text, greyed, in a combo box's drop-down list:
// the description helps to pick an entry and is never part of what picking it puts into the
// field. The description is the entry's DescriptionRole data. User-interface thread only.

#include <QStyledItemDelegate>

namespace drel {

class ListDescriptionDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    // The item data role that holds an entry's description.
    static constexpr int DescriptionRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace drel
