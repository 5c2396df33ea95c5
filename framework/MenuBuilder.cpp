#include "framework/MenuBuilder.h"

#include <QAction>
#include <QMenu>

#include "framework/CCmdUI.h"
#include "framework/Resources.h"

namespace drel {

namespace {

constexpr const char* kCommandIdProperty = "drelCommandId";

QString FromLocal8Bit(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int CommandIdOf(const QAction* action) {
    return action == nullptr ? 0 : action->property(kCommandIdProperty).toInt();
}

void SetCommandId(QAction* action, int id) {
    action->setProperty(kCommandIdProperty, id);
}

QAction* MakeCommandAction(std::string_view text, int id, QWidget* parent,
                           const std::function<void(int)>& onCommand) {
    // QMenu shows the part after a tab right-aligned as the shortcut text.
    auto* action = new QAction(FromLocal8Bit(text), parent);
    SetCommandId(action, id);
    action->setStatusTip(FromLocal8Bit(AfxLoadStringField(id, 0)));
    QObject::connect(action, &QAction::triggered, parent, [onCommand, id] { onCommand(id); });
    return action;
}

QMenu* BuildPopup(const MenuItem& popup, QWidget* parent,
                  const std::function<void(int)>& onCommand) {
    auto* menu = new QMenu(FromLocal8Bit(popup.text), parent);
    for (const MenuItem& item : popup.items) {
        if (!item.items.empty()) {
            menu->addMenu(BuildPopup(item, menu, onCommand));
        } else if (item.id != 0) {
            menu->addAction(MakeCommandAction(item.text, item.id, menu, onCommand));
        } else {
            menu->addSeparator();
        }
    }
    return menu;
}

void ApplyCmdUI(QAction* action, const CCmdUI& ui) {
    action->setEnabled(ui.IsEnabled());
    if (ui.GetCheck() >= 0) {
        action->setCheckable(true);
        action->setChecked(ui.GetCheck() == 1);
    } else if (action->isCheckable()) {
        action->setChecked(false);
    }
}

}  // namespace drel
