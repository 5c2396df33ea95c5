#include "framework/CDataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>

#include "framework/CComboBox.h"
#include "framework/CDialog.h"

namespace drel {

namespace {

// The control `id` of the exchange's dialog as a `Widget`, or nullptr with the exchange failed.
// Nothing is looked up once the exchange has failed.
template <typename Widget>
Widget* Control(CDataExchange* pDX, int id) {
    if (pDX->Failed()) {
        return nullptr;
    }
    auto* widget = qobject_cast<Widget*>(pDX->m_pDlgWnd->GetDlgItem(id));
    if (widget == nullptr) {
        pDX->Fail();
    }
    return widget;
}

void CheckOnly(const std::vector<QAbstractButton*>& buttons, int index) {
    QButtonGroup* group = buttons.front()->group();
    // An exclusive group refuses to uncheck its last checked button; -1 needs exactly that.
    const bool exclusive = group != nullptr && group->exclusive();
    if (exclusive) {
        group->setExclusive(false);
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(static_cast<int>(i) == index);
    }
    if (exclusive) {
        group->setExclusive(true);
    }
}

}  // namespace

CDataExchange::CDataExchange(CDialog* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

void DDX_CBString(CDataExchange* pDX, int id, std::string& value) {
    auto* combo = Control<CComboBox>(pDX, id);
    if (combo == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = combo->GetWindowText();
    } else if (combo->SelectString(value) < 0) {
        combo->SetWindowText(value);
    }
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& value) {
    if (pDX->Failed()) {
        return;
    }
    const std::vector<QAbstractButton*> buttons = pDX->m_pDlgWnd->RadioGroup(firstId);
    if (buttons.empty()) {
        pDX->Fail();
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        CheckOnly(buttons, value);
        return;
    }
    value = -1;
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked()) {
            value = static_cast<int>(i);
        }
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    auto* edit = Control<QLineEdit>(pDX, id);
    if (edit == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = edit->text().toLocal8Bit().toStdString();
    } else {
        edit->setText(QString::fromLocal8Bit(value));
    }
}

}  // namespace drel
