#include "connection/CSendHexDlg.h"

#include "framework/AfxMessageBox.h"
#include "framework/CComboBox.h"
#include "framework/CDataExchange.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

namespace drel {

CSendHexDlg::CSendHexDlg(const HexHistory& history, QWidget* parent)
    : CDialog(SendHexTemplate(), parent), m_history(history) {
    if (!history.Entries().empty()) {
        m_strText = history.Entries().front();
    }
}

void CSendHexDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_CBString(pDX, IDC_HEX_BYTES, m_strText);
}

bool CSendHexDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Filled after the text went into the field, so it stands there as it is.
    auto* list = qobject_cast<CComboBox*>(GetDlgItem(IDC_HEX_BYTES));
    for (const std::string& text : m_history.Entries()) {
        list->AddString(text);
    }
    return true;
}

void CSendHexDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    HexBytes parsed = ParseHexBytes(m_strText);
    if (!parsed.error.empty()) {
        AfxMessageBox(parsed.error, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_bytes = std::move(parsed.bytes);
    EndDialog(IDOK);
}

int SendHexBytes(HexHistory& history, const std::function<void(std::string)>& write,
                 QWidget* parent) {
    CSendHexDlg dialog(history, parent);
    const int result = dialog.DoModal();
    if (result == IDOK) {
        history.Add(dialog.m_strText);
        write(std::move(dialog.m_bytes));
    }
    return result;
}

}  // namespace drel
