#include "support/ModalDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

namespace drel::test {

namespace {

constexpr int kShowDeadlineMs = 10000;

QWidget* ActiveModalWindow() {
    QWidget* window = QApplication::activeModalWidget();
    return window != nullptr && window->isVisible() && window->isActiveWindow() ? window : nullptr;
}

// Ends a modal window the test cannot drive, so that its loop returns instead of running for
// ever: a dialog with result -1, any other window by closing it.
void EndModalWindow(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->done(-1);
    } else if (window != nullptr) {
        window->close();
    }
}

}  // namespace

int RunModal(const std::function<int()>& runModal, const std::function<void(QWidget*)>& drive) {
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* window = ActiveModalWindow();
        if (window == nullptr) {
            if (clock.elapsed() > kShowDeadlineMs) {
                poll.stop();
                ADD_FAILURE() << "no modal window became active";
                EndModalWindow(QApplication::activeModalWidget());  // one that is not active
            }
            return;
        }
        poll.stop();
        QPointer<QWidget> guard(window);
        drive(window);
        if (guard && guard->isVisible()) {
            ADD_FAILURE() << "the modal window is still open after the test's steps";
            EndModalWindow(guard.data());
        }
    });
    poll.start();
    const int result = runModal();
    poll.stop();
    return result;
}

void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* window = QApplication::activeWindow();
    ASSERT_NE(window, nullptr) << "no active window to type into";
    QTest::keyClick(window->windowHandle(), key, modifiers);
}

void TypeText(const QString& text) {
    QWidget* window = QApplication::activeWindow();
    ASSERT_NE(window, nullptr) << "no active window to type into";
    for (const QChar ch : text) {
        QTest::keyClick(window->windowHandle(), ch.toLatin1());
    }
}

void Click(QWidget* widget) {
    QPoint at = widget->rect().center();
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        at = radio->style()
                 ->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio)
                 .center();
    }
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

void Retype(QWidget* field, const QString& text) {
    Click(field);
    PressKey(Qt::Key_A, Qt::ControlModifier);
    TypeText(text);
}

QWidget* FocusedControl() {
    QWidget* focus = QApplication::focusWidget();
    while (focus != nullptr && focus->parentWidget() != nullptr &&
           focus->parentWidget()->focusProxy() == focus) {
        focus = focus->parentWidget();
    }
    return focus;
}

}  // namespace drel::test
