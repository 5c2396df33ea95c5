#include "framework/CStatusBar.h"

#include <QFontMetrics>
#include <QLabel>

#include "framework/CMDIFrameWnd.h"
#include "framework/Resources.h"

namespace drel {

CStatusBar::CStatusBar() = default;

CStatusBar::~CStatusBar() {
    if (m_pFrame != nullptr && m_pFrame->m_pStatusBar == this) {
        m_pFrame->m_pStatusBar = nullptr;
    }
}

bool CStatusBar::Create(CMDIFrameWnd* parent, uint32_t style, int id) {
    if (parent == nullptr || m_pFrame != nullptr) {
        return false;
    }
    m_pFrame = parent;
    m_nID = id;
    parent->setStatusBar(this);
    parent->m_pStatusBar = this;
    setVisible((style & WS_VISIBLE) != 0);
    return true;
}

bool CStatusBar::SetIndicators(const int* ids, int count) {
    std::vector<Pane> panes;
    for (int i = 0; i < count; ++i) {
        const std::string text =
            ids[i] == ID_SEPARATOR ? AfxLoadString(AFX_IDS_IDLEMESSAGE) : AfxLoadString(ids[i]);
        if (ids[i] != ID_SEPARATOR && text.empty()) {
            return false;
        }
        panes.push_back({ids[i], nullptr, text});
    }
    for (Pane& pane : m_panes) {
        delete pane.label;
    }
    for (Pane& pane : panes) {
        pane.label = new QLabel(ToQString(pane.text), this);
        if (pane.id == ID_SEPARATOR) {
            addWidget(pane.label, 1);
        } else {
            // A pane keeps the width of its text when the text is not shown.
            pane.label->setMinimumWidth(
                QFontMetrics(pane.label->font()).horizontalAdvance(ToQString(pane.text)) + 8);
            pane.label->setAlignment(Qt::AlignCenter);
            pane.label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            addPermanentWidget(pane.label);
        }
    }
    m_panes = std::move(panes);
    UpdateKeyStates();
    return true;
}

void CStatusBar::SetPaneText(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(m_panes.size())) {
        m_panes[index].label->setText(ToQString(text));
    }
}

std::string CStatusBar::GetPaneText(int index) const {
    if (index < 0 || index >= static_cast<int>(m_panes.size())) {
        return {};
    }
    return ToStdString(m_panes[index].label->text());
}

bool CStatusBar::IsPaneEnabled(int index) const {
    return index >= 0 && index < static_cast<int>(m_panes.size()) &&
           m_panes[index].label->isEnabled();
}

void CStatusBar::UpdateKeyStates() {
    UpdateKeyStates(ReadKeyLocks());
}

void CStatusBar::UpdateKeyStates(const KeyLocks& locks) {
    for (Pane& pane : m_panes) {
        switch (pane.id) {
            case ID_INDICATOR_CAPS:
                ShowLock(pane, locks.caps);
                break;
            case ID_INDICATOR_NUM:
                ShowLock(pane, locks.num);
                break;
            case ID_INDICATOR_SCRL:
                ShowLock(pane, locks.scroll);
                break;
            default:
                break;
        }
    }
}

bool CStatusBar::IsCommandPane(int id) {
    return id != ID_SEPARATOR && id != ID_INDICATOR_CAPS && id != ID_INDICATOR_NUM &&
           id != ID_INDICATOR_SCRL;
}

void CStatusBar::UpdateCmdUI(CFrameWnd& target) {
    for (Pane& pane : m_panes) {
        if (IsCommandPane(pane.id)) {
            CCmdUI ui(pane.id);
            target.UpdateCmdUI(ui);
            pane.label->setEnabled(ui.IsEnabled());
        }
    }
}

void CStatusBar::ShowLock(Pane& pane, LockState state) {
    pane.label->setText(state == LockState::Off ? QString() : ToQString(pane.text));
    pane.label->setEnabled(state != LockState::Unknown);
}

}  // namespace drel
