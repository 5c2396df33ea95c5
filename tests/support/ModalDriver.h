#pragma once

// Driving modal windows from a test. A modal window runs its own event loop, so the test's
// steps must run from inside it: RunModal starts the window and calls the steps once it is
// shown and active. The key helpers type as the user does: into whatever has the focus of the
// active window. User-interface thread only.

#include <QString>
#include <Qt>
#include <functional>

class QWidget;

namespace drel::test {

// Calls `runModal` (which shows a modal window and returns once it has ended, e.g.
// `[&] { return dialog.DoModal(); }`) and, as soon as that window is shown and active, calls
// `drive` with it from inside its loop. Returns what `runModal` returned. A window still open
// after `drive` fails the test and is closed with result -1, as is a modal window that has not
// become active within 10 s. `drive` is not called when `runModal` returns without showing a
// window.
int RunModal(const std::function<int()>& runModal, const std::function<void(QWidget*)>& drive);

// Presses and releases `key` in the active window, as typed on the keyboard.
void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Types `text` (Latin-1 characters) into the active window, one key after another.
void TypeText(const QString& text);

// Clicks `widget` where the user would: on the indicator of a radio button, in the middle of
// anything else.
void Click(QWidget* widget);

// Clicks into the text field `field` and replaces its whole text by typing `text`.
void Retype(QWidget* field, const QString& text);

// The widget that has the keyboard focus, taking a widget that only forwards its focus (the
// edit field of a combo box) as the widget it forwards to.
QWidget* FocusedControl();

}  // namespace drel::test
