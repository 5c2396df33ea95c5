#include "framework/CComboBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include "framework/DialogStyles.h"
#include "framework/ListDescriptionDelegate.h"

namespace drel {

CComboBox::CComboBox(uint32_t style, QWidget* parent) : QComboBox(parent) {
    setEditable((style & CBS_DROPDOWN) != 0);
    if (isEditable()) {
        // The field keeps exactly what was typed: no completion from the list, and Enter neither
        // adds the text to the list nor stops at the combo box, so it reaches the default button.
        setCompleter(nullptr);
        setInsertPolicy(QComboBox::NoInsert);
    }
}

int CComboBox::AddString(const std::string& text, const std::string& description) {
    const QString item = QString::fromLocal8Bit(text);
    const int position = count();
    const QString shown = currentText();
    const int selected = currentIndex();
    // QComboBox selects the first entry added to an empty list; the dialog's list does not.
    const QSignalBlocker quiet(this);
    insertItem(position, item);
    if (!description.empty()) {
        setItemData(position, QString::fromLocal8Bit(description),
                    ListDescriptionDelegate::DescriptionRole);
        if (qobject_cast<ListDescriptionDelegate*>(itemDelegate()) == nullptr) {
            setItemDelegate(new ListDescriptionDelegate(this));
        }
        // The list opens wide enough for the descriptions, wider than the field if need be.
        view()->setMinimumWidth(view()->sizeHintForColumn(0) +
                                view()->verticalScrollBar()->sizeHint().width());
    }
    if (selected < 0) {
        setCurrentIndex(-1);
        if (isEditable()) {
            setEditText(shown);
        }
    }
    return position;
}

std::string CComboBox::GetDescription(int index) const {
    return itemData(index, ListDescriptionDelegate::DescriptionRole)
        .toString()
        .toLocal8Bit()
        .toStdString();
}

int CComboBox::SelectString(const std::string& prefix) {
    if (prefix.empty()) {
        return -1;
    }
    const QString wanted = QString::fromLocal8Bit(prefix);
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(wanted, Qt::CaseInsensitive)) {
            setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

std::string CComboBox::GetWindowText() const {
    return currentText().toLocal8Bit().toStdString();
}

void CComboBox::SetWindowText(const std::string& text) {
    if (!isEditable()) {
        return;
    }
    setCurrentIndex(-1);
    setEditText(QString::fromLocal8Bit(text));
}

void CComboBox::keyPressEvent(QKeyEvent* event) {
    const bool step = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
                      (event->modifiers() & Qt::AltModifier) == 0;
    if (step && isEditable() && currentIndex() < 0) {
        if (const int named = findText(currentText(), Qt::MatchFixedString); named >= 0) {
            setCurrentIndex(named);
        }
    }
    QComboBox::keyPressEvent(event);
}

}  // namespace drel
