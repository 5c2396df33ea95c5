#include "framework/CDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <limits>
#include <utility>

#include "framework/CComboBox.h"
#include "framework/CDataExchange.h"
#include "framework/CGroupBox.h"
#include "framework/DialogStyles.h"

namespace drel {

namespace {

// The dialog base units of `font`: the average width of the 52 letters and the full height,
// computed the way the dialog templates' layouts were measured against.
QSize BaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

// value * numerator / denominator, rounded to the nearest whole number.
int Scale(int value, int numerator, int denominator) {
    return static_cast<int>((static_cast<long long>(value) * numerator * 2 + denominator) /
                            (2 * denominator));
}

// The size of the large icons the desktop shows, and so of an icon control.
constexpr QSize kIconSize(32, 32);

bool IsArrowKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

// The button of a radio group that Tab stops on: the checked one, or the first.
const QAbstractButton* GroupTabStop(const QButtonGroup& group) {
    if (const QAbstractButton* checked = group.checkedButton()) {
        return checked;
    }
    const QList<QAbstractButton*> buttons = group.buttons();
    return buttons.isEmpty() ? nullptr : buttons.first();
}

Qt::FocusPolicy FocusPolicyFor(const DialogControl& item) {
    if (item.kind == ControlKind::StaticText || item.kind == ControlKind::GroupBox ||
        item.kind == ControlKind::Icon) {
        return Qt::NoFocus;
    }
    return (item.style & WS_TABSTOP) != 0 ? Qt::StrongFocus : Qt::ClickFocus;
}

}  // namespace

CDialog::CDialog(const DialogTemplate& dlgTemplate, QWidget* parent)
    : QDialog(parent), m_template(dlgTemplate) {
    ApplyWindowStyle();
    // Qt changes the focus policies of a QButtonGroup's buttons as they take the focus; the
    // template and the checked buttons decide which controls Tab reaches, so they are put back.
    connect(qApp, &QApplication::focusChanged, this, [this] { RestoreFocusPolicies(); });
}

void CDialog::ApplyWindowStyle() {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((m_template.style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint;
    }
    if ((m_template.style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(QString::fromLocal8Bit(m_template.caption));
    setSizeGripEnabled(false);

    // The face a template names is rarely installed here; the desktop's own family at the
    // template's size keeps the proportions the layout was drawn for.
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(m_template.font.pointSize);
    setFont(dialogFont);
    m_baseUnits = BaseUnits(dialogFont);
    setFixedSize(MapDialogRect(0, 0, m_template.cx, m_template.cy).size());
}

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    return {Scale(x, m_baseUnits.width(), 4), Scale(y, m_baseUnits.height(), 8),
            Scale(cx, m_baseUnits.width(), 4), Scale(cy, m_baseUnits.height(), 8)};
}

int CDialog::DoModal() {
    if (m_running) {
        return -1;
    }
    CreateControls();
    m_running = true;
    m_endResult.reset();
    if (OnInitDialog()) {
        FocusFirstTabStop();
    }
    if (!m_endResult) {
        exec();
    }
    m_running = false;
    DestroyControls();
    return m_endResult.value_or(IDCANCEL);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!m_running) {
        return false;
    }
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return !exchange.Failed();
}

void CDialog::EndDialog(int result) {
    if (!m_running) {
        return;
    }
    m_endResult = result;
    if (isVisible()) {
        done(result);
    }
}

QWidget* CDialog::GetDlgItem(int id) const {
    for (const Control& control : m_controls) {
        if (control.item->id == id) {
            return control.widget;
        }
    }
    return nullptr;
}

std::vector<QAbstractButton*> CDialog::RadioGroup(int firstId) const {
    const auto first = std::find_if(m_controls.begin(), m_controls.end(),
                                    [firstId](const Control& c) { return c.item->id == firstId; });
    if (first == m_controls.end() || first->item->kind != ControlKind::RadioButton ||
        (first->item->style & WS_GROUP) == 0) {
        return {};
    }
    std::vector<QAbstractButton*> buttons;
    for (auto it = first; it != m_controls.end(); ++it) {
        if (it != first && (it->item->style & WS_GROUP) != 0) {
            break;
        }
        if (it->item->kind == ControlKind::RadioButton) {
            buttons.push_back(static_cast<QAbstractButton*>(it->widget));
        }
    }
    return buttons;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::accept() {
    OnOK();
}

void CDialog::reject() {
    OnCancel();
}

void CDialog::CreateControls() {
    QButtonGroup* radioGroup = nullptr;
    // Widgets join the focus chain in the order they are created, so template order is the
    // Tab order without further work.
    for (const DialogControl& item : m_template.controls) {
        if ((item.style & WS_GROUP) != 0) {
            radioGroup = nullptr;
        }
        QWidget* widget = CreateControl(item, radioGroup);
        widget->setFocusPolicy(FocusPolicyFor(item));
        PlaceControl(item, widget);
        widget->show();
        m_controls.push_back({&item, widget});
    }
    // A group box only frames its buttons; it must never cover them.
    for (const Control& control : m_controls) {
        if (control.item->kind == ControlKind::GroupBox) {
            control.widget->lower();
        }
    }
}

QWidget* CDialog::CreateControl(const DialogControl& item, QButtonGroup*& radioGroup) {
    const QString caption = QString::fromLocal8Bit(item.caption ? item.caption : "");
    switch (item.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(caption, this);
            button->setDefault((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
            if (item.id == IDOK) {
                connect(button, &QPushButton::clicked, this, [this] { OnOK(); });
            } else if (item.id == IDCANCEL) {
                connect(button, &QPushButton::clicked, this, [this] { OnCancel(); });
            }
            return button;
        }
        case ControlKind::GroupBox:
            return new CGroupBox(caption, this);
        case ControlKind::ComboBox:
            return new CComboBox(item.style, this);
        case ControlKind::StaticText: {
            auto* label = new QLabel(caption, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            return label;
        }
        case ControlKind::RadioButton: {
            auto* button = new QRadioButton(caption, this);
            // All buttons are siblings on the dialog: exclusiveness comes from the template
            // group, not from the parent widget.
            button->setAutoExclusive(false);
            if (radioGroup == nullptr) {
                radioGroup = new QButtonGroup(this);
                m_radioGroups.push_back(radioGroup);
                connect(radioGroup, &QButtonGroup::buttonToggled, this,
                        [this] { RestoreFocusPolicies(); });
            }
            radioGroup->addButton(button);
            button->installEventFilter(this);
            return button;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(caption, this);
            edit->setFrame((item.style & WS_BORDER) != 0);
            // An edit control of a template sets no length limit of its own; a line edit would
            // cut its text to 32767 characters, and OK would then store the cut text.
            edit->setMaxLength(std::numeric_limits<int>::max());
            return edit;
        }
        case ControlKind::Icon: {
            // A static icon keeps the icon's own size, whatever size the template gives it.
            auto* icon = new QLabel(this);
            icon->setPixmap(QIcon(caption).pixmap(kIconSize));
            icon->setFixedSize(kIconSize);
            return icon;
        }
    }
    return new QWidget(this);
}

void CDialog::PlaceControl(const DialogControl& item, QWidget* widget) const {
    QRect rect = MapDialogRect(item.x, item.y, item.cx, item.cy);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The template height includes the dropped-down list; the closed box keeps its own.
        const int closed = combo->sizeHint().height();
        const int itemHeight = QFontMetrics(font()).height() + 2;
        combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / itemHeight));
        rect.setHeight(closed);
    }
    widget->setGeometry(rect);
}

void CDialog::DestroyControls() {
    // Deleting the control that has the focus moves the focus, and the focus handler walks the
    // list of controls: the list must not hold any deleted control by then.
    const std::vector<Control> controls = std::exchange(m_controls, {});
    for (const Control& control : controls) {
        delete control.widget;
    }
    for (QButtonGroup* group : m_radioGroups) {
        delete group;
    }
    m_radioGroups.clear();
}

// A group of radio buttons that Tab reaches is one Tab stop, as on every desktop: its checked
// button (the first while none is), and the arrow keys move within the group.
void CDialog::RestoreFocusPolicies() {
    for (const Control& control : m_controls) {
        Qt::FocusPolicy policy = FocusPolicyFor(*control.item);
        const auto* button = qobject_cast<QAbstractButton*>(control.widget);
        if (policy == Qt::StrongFocus && button != nullptr && button->group() != nullptr &&
            button != GroupTabStop(*button->group())) {
            policy = Qt::ClickFocus;
        }
        control.widget->setFocusPolicy(policy);
    }
}

void CDialog::FocusFirstTabStop() {
    for (const Control& control : m_controls) {
        if ((control.item->style & WS_TABSTOP) != 0 && control.widget->isEnabled()) {
            control.widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button != nullptr && IsArrowKey(key->key()) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            const bool forward = key->key() == Qt::Key_Down || key->key() == Qt::Key_Right;
            return MoveWithinGroup(button, forward ? 1 : -1);
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Arrow keys walk the button's template group in template order, wrapping at the ends, and
// check the button they arrive at.
bool CDialog::MoveWithinGroup(QAbstractButton* button, int step) {
    QButtonGroup* group = button->group();
    if (group == nullptr) {
        return false;
    }
    const QList<QAbstractButton*> buttons = group->buttons();
    const qsizetype count = buttons.size();
    const qsizetype from = buttons.indexOf(button);
    for (qsizetype i = 1; i < count; ++i) {
        QAbstractButton* next = buttons.at((from + step * i + count * count) % count);
        if (next->isEnabled() && next->isVisible()) {
            next->setFocus(Qt::OtherFocusReason);
            next->click();
            return true;
        }
    }
    return true;
}

}  // namespace drel
