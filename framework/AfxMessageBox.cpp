#include "framework/AfxMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <mutex>
#include <set>
#include <vector>

#include "framework/UiThread.h"

namespace drel {

namespace {

struct OpenBox {
    const void* owner;
    QPointer<QMessageBox> box;
    bool dismissed = false;
};

// Open boxes, newest last. User-interface thread only.
std::vector<OpenBox*>& OpenBoxes() {
    static std::vector<OpenBox*> boxes;
    return boxes;
}

std::function<int(const MessageBoxRequest&)>& Hook() {
    static std::function<int(const MessageBoxRequest&)> hook;
    return hook;
}

std::mutex& SuppressedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::multiset<const void*>& Suppressed() {
    static std::multiset<const void*> owners;
    return owners;
}

bool IsSuppressed(const void* owner) {
    if (owner == nullptr) {
        return false;
    }
    std::lock_guard lock(SuppressedMutex());
    return Suppressed().count(owner) > 0;
}

int DismissedAnswer(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return IDOK;
        case MB_YESNO:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

QMessageBox::StandardButtons ButtonsOf(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNOCANCEL:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        default:
            return QMessageBox::NoIcon;
    }
}

int AnswerOf(QMessageBox::StandardButton button, unsigned type) {
    switch (button) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Cancel:
            return IDCANCEL;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return DismissedAnswer(type);
    }
}

int ShowBox(const MessageBoxRequest& request) {
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(IconOf(request.type), QString::fromLocal8Bit(request.caption),
                    QString::fromLocal8Bit(request.text), ButtonsOf(request.type), parent);
    OpenBox open{request.owner, &box};
    OpenBoxes().push_back(&open);
    box.exec();
    std::erase(OpenBoxes(), &open);
    if (open.dismissed) {
        return DismissedAnswer(request.type);
    }
    return AnswerOf(box.standardButton(box.clickedButton()), request.type);
}

// User-interface thread.
int RunRequest(const MessageBoxRequest& request) {
    if (IsSuppressed(request.owner)) {
        return DismissedAnswer(request.type);
    }
    if (Hook()) {
        return Hook()(request);
    }
    return ShowBox(request);
}

void DismissOnUiThread(const void* owner) {
    for (OpenBox* open : OpenBoxes()) {
        if (open->owner == owner && !open->dismissed && open->box) {
            open->dismissed = true;
            open->box->done(0);
        }
    }
}

}  // namespace

int AfxMessageBox(const std::string& text, unsigned type, const std::string& caption,
                  const void* owner) {
    MessageBoxRequest request{text, caption, type, owner};
    int answer = DismissedAnswer(type);
    CallOnUiThread([&] {
        if (request.caption.empty()) {
            request.caption = QGuiApplication::applicationDisplayName().toLocal8Bit().toStdString();
        }
        answer = RunRequest(request);
    });
    return answer;
}

void AfxDismissMessageBoxes(const void* owner) {
    if (owner == nullptr) {
        return;
    }
    if (IsUiThread()) {
        DismissOnUiThread(owner);
    } else {
        QMetaObject::invokeMethod(
            qApp, [owner] { DismissOnUiThread(owner); }, Qt::QueuedConnection);
    }
}

void AfxSuppressMessageBoxes(const void* owner, bool suppress) {
    if (owner == nullptr) {
        return;
    }
    {
        std::lock_guard lock(SuppressedMutex());
        if (suppress) {
            Suppressed().insert(owner);
        } else if (auto it = Suppressed().find(owner); it != Suppressed().end()) {
            Suppressed().erase(it);
        }
    }
    if (suppress) {
        AfxDismissMessageBoxes(owner);
    }
}

void AfxSetMessageBoxHook(std::function<int(const MessageBoxRequest&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace drel
