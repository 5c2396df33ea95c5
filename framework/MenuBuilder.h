#pragma once

// Menus and actions made from the menu templates: every command item is a QAction that carries
// its command id, triggers the frame's command route, and shows its status prompt (the first
// line of the string with its id) while the pointer rests on it. User-interface thread.

#include <QString>
#include <functional>
#include <string_view>

#include "framework/ResourceTypes.h"

class QAction;
class QMenu;
class QWidget;

namespace drel {

class CCmdUI;

// The command id an action runs; 0 for actions that run none (separators, popups, window list).
int CommandIdOf(const QAction* action);
void SetCommandId(QAction* action, int id);

// An action for command `id` with menu text `text` ("&New\tCtrl+N", system code page) that
// calls `onCommand(id)` when triggered.
QAction* MakeCommandAction(std::string_view text, int id, QWidget* parent,
                           const std::function<void(int)>& onCommand);

// A popup menu with `popup`'s items, nested popups included; owned by `parent`.
QMenu* BuildPopup(const MenuItem& popup, QWidget* parent,
                  const std::function<void(int)>& onCommand);

// Sets an action's enabled and checked state from an update.
void ApplyCmdUI(QAction* action, const CCmdUI& ui);

}  // namespace drel
