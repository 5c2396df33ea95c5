#pragma once

// "Dialog": the modal dialog of the "&Download file name" command, where the user edits the two
// download file names. It only moves the names between its members and its two edit fields;
// EditDownloadNames carries them to and from the application's names.

#include <string>

#include "framework/CDialog.h"

namespace drel {

class DownloadNames;

class CDownloadNamesDlg : public CDialog {
    Q_OBJECT

  public:
    // The dialog with both names "". User-interface thread only, as every member.
    explicit CDownloadNamesDlg(QWidget* parent = nullptr);

    // Exchanged with edit 1023 and edit 1024, as they stand (8-bit characters in the system
    // code page, any length).
    std::string m_strFirstFileName;
    std::string m_strSecondFileName;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// The "&Download file name" command: shows `names` in the dialog and, when it ends with OK,
// makes both of the dialog's names the new ones, changed or not; otherwise changes nothing.
// Returns the dialog's result (IDOK, IDCANCEL). Nothing is written to the settings file.
// User-interface thread only.
int EditDownloadNames(DownloadNames& names, QWidget* parent = nullptr);

}  // namespace drel
