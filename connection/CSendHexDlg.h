#pragma once

// "Send Hex": the modal dialog of "Send &Hex...", where the user writes bytes by value
// (HexBytes.h). Its list offers what was sent before in this run. OK reads the text: a text it
// cannot read is told in a message box and the dialog stays open with it; otherwise the dialog
// ends with the bytes.

#include <functional>
#include <string>

#include "connection/HexBytes.h"
#include "framework/CDialog.h"

namespace drel {

class CSendHexDlg : public CDialog {
    Q_OBJECT

  public:
    // The dialog offering `history`, which must outlive it; its field starts with the most recent
    // text. User-interface thread only, as every member.
    explicit CSendHexDlg(const HexHistory& history, QWidget* parent = nullptr);

    // Exchanged with the combo box, as typed.
    std::string m_strText;
    // The bytes of m_strText, valid once DoModal returned IDOK.
    std::string m_bytes;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;

    // Fills the list with the history, most recent first.
    bool OnInitDialog() override;

    // Reads the text; ends the dialog with IDOK only when it holds bytes.
    void OnOK() override;

  private:
    const HexHistory& m_history;
};

// The "Send &Hex..." command: asks for bytes and, when the dialog ends with OK, hands them to
// `write` and puts their text first in `history`. Returns the dialog's result (IDOK,
// IDCANCEL). User-interface thread only.
int SendHexBytes(HexHistory& history, const std::function<void(std::string)>& write,
                 QWidget* parent = nullptr);

}  // namespace drel
