#pragma once

// Data exchange: moving values between a dialog's members and its controls in one direction,
// chosen by the exchange context. A dialog's DoDataExchange lists one DDX_ call per member;
// CDialog::UpdateData runs it.
//
// Texts are 8-bit strings in the system code page; they are converted at the control.
// A call that names no control of the right kind fails the exchange (a fault in the dialog's
// code, not in the user's input); every later call of the same exchange then does nothing, and
// UpdateData reports the failure. Everything here runs on the user-interface thread.

#include <string>

namespace drel {

class CDialog;

class CDataExchange {
  public:
    // An exchange on `dialog`: controls to members when `saveAndValidate`, else members to
    // controls.
    CDataExchange(CDialog* dialog, bool saveAndValidate);

    // Marks the exchange failed.
    void Fail() { m_bFailed = true; }
    bool Failed() const { return m_bFailed; }

    bool m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

  private:
    bool m_bFailed = false;
};

// Combo box `id` and `value`. Save: the text of its edit field. Load: selects the first list
// entry that begins with `value` (ignoring case) and shows it; when none does, `value` goes into
// the edit field as it stands. An empty `value` empties the field.
void DDX_CBString(CDataExchange* pDX, int id, std::string& value);

// The radio group that starts with button `firstId` and `value`, the index of the checked
// button counting the group's radio buttons from 0 in template order. Save: -1 when none is
// checked. Load: checks that button and unchecks the others; -1 (or any index past the group)
// unchecks them all. Fails when `firstId` is no radio button that starts a group (WS_GROUP).
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);

// Edit field `id` and `value`, as it stands both ways.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);

}  // namespace drel
