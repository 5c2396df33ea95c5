#include "framework/EditControl.h"

#include <QKeyEvent>
#include <QList>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextCursor>

#include "framework/CEditView.h"
#include "framework/CFrameWnd.h"
#include "framework/EditTextCodec.h"

namespace drel {

namespace {

// Mouse and key state bits of OnLButtonDblClk's flags.
constexpr unsigned MK_LBUTTON = 0x0001;
constexpr unsigned MK_RBUTTON = 0x0002;
constexpr unsigned MK_SHIFT = 0x0004;
constexpr unsigned MK_CONTROL = 0x0008;
constexpr unsigned MK_MBUTTON = 0x0010;

// OnChar's flags: the low byte of the scan code, bit 13 with Alt held, bit 14 for a key that
// was already down (auto-repeat).
unsigned KeyFlags(const QKeyEvent& event) {
    unsigned flags = event.nativeScanCode() & 0xFFu;
    if (event.modifiers() & Qt::AltModifier) {
        flags |= 0x2000u;
    }
    if (event.isAutoRepeat()) {
        flags |= 0x4000u;
    }
    return flags;
}

unsigned MouseFlags(const QMouseEvent& event) {
    unsigned flags = 0;
    flags |= (event.buttons() & Qt::LeftButton) ? MK_LBUTTON : 0;
    flags |= (event.buttons() & Qt::RightButton) ? MK_RBUTTON : 0;
    flags |= (event.buttons() & Qt::MiddleButton) ? MK_MBUTTON : 0;
    flags |= (event.modifiers() & Qt::ShiftModifier) ? MK_SHIFT : 0;
    flags |= (event.modifiers() & Qt::ControlModifier) ? MK_CONTROL : 0;
    return flags;
}

bool IsLatin1(const QString& text) {
    for (const QChar ch : text) {
        if (ch.unicode() > 0xFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<unsigned> CharacterCodes(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if ((modifiers & Qt::MetaModifier) || (alt && !ctrl)) {
        return {};
    }
    const int key = event.key();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return {ctrl ? 0x0Au : 0x0Du};
        case Qt::Key_Backspace:
            return {ctrl ? 0x7Fu : 0x08u};
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return ctrl ? std::vector<unsigned>{} : std::vector<unsigned>{0x09u};
        case Qt::Key_Escape:
            return {0x1Bu};
        case Qt::Key_Delete:
            return {};
        default:
            break;
    }
    if (ctrl && !alt) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            return {static_cast<unsigned>(key - Qt::Key_A + 1)};
        }
        switch (key) {
            case Qt::Key_BracketLeft:
                return {0x1Bu};
            case Qt::Key_Backslash:
                return {0x1Cu};
            case Qt::Key_BracketRight:
                return {0x1Du};
            default:
                return {};
        }
    }
    std::vector<unsigned> codes;
    for (const char32_t codePoint : event.text().toUcs4()) {
        if (codePoint >= 0x20 && codePoint != 0x7F) {
            codes.push_back(codePoint <= 0xFF ? codePoint : '?');
        }
    }
    return codes;
}

EditControl::EditControl(CEditView& view) : m_view(view) {}

bool EditControl::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* frame = dynamic_cast<const CFrameWnd*>(window());
        if (frame != nullptr && frame->IsAcceleratorKey(*static_cast<QKeyEvent*>(event))) {
            // Left unclaimed, the key goes to the frame's shortcut.
            event->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void EditControl::keyPressEvent(QKeyEvent* event) {
    const std::vector<unsigned> codes = CharacterCodes(*event);
    if (codes.empty()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    m_pKeyEvent = event;
    m_bOwnKeyDone = false;
    const unsigned flags = KeyFlags(*event);
    for (unsigned code : codes) {
        m_view.OnChar(code, 1, flags);
    }
    m_pKeyEvent = nullptr;
    event->accept();
}

void EditControl::RunOwnCharacter(unsigned ch) {
    if (m_pKeyEvent != nullptr && IsLatin1(m_pKeyEvent->text())) {
        if (!m_bOwnKeyDone) {
            m_bOwnKeyDone = true;
            QPlainTextEdit::keyPressEvent(m_pKeyEvent);
        }
        return;
    }
    switch (ch) {
        case 0x08:
            textCursor().deletePreviousChar();
            break;
        case 0x0D:
            insertPlainText(QStringLiteral("\n"));
            break;
        case 0x09:
            insertPlainText(QStringLiteral("\t"));
            break;
        default:
            if (ch >= 0x20 && ch <= 0xFF && ch != 0x7F) {
                insertPlainText(QString(QChar(static_cast<char16_t>(ch))));
            }
            break;
    }
}

void EditControl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QPlainTextEdit::mouseDoubleClickEvent(event);
        return;
    }
    m_pDoubleClick = event;
    m_view.OnLButtonDblClk(MouseFlags(*event), event->position().toPoint());
    m_pDoubleClick = nullptr;
}

void EditControl::RunOwnDoubleClick() {
    if (m_pDoubleClick != nullptr) {
        QPlainTextEdit::mouseDoubleClickEvent(m_pDoubleClick);
    }
}

void EditControl::insertFromMimeData(const QMimeData* source) {
    if (source != nullptr && source->hasText()) {
        insertPlainText(ToEightBit(source->text()));
    }
}

}  // namespace drel
