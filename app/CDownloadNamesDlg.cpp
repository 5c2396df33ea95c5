#include "app/CDownloadNamesDlg.h"

#include "app/DownloadNames.h"
#include "framework/CDataExchange.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

namespace drel {

CDownloadNamesDlg::CDownloadNamesDlg(QWidget* parent) : CDialog(DownloadNamesTemplate(), parent) {}

void CDownloadNamesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FIRST_FILE_NAME, m_strFirstFileName);
    DDX_Text(pDX, IDC_SECOND_FILE_NAME, m_strSecondFileName);
}

int EditDownloadNames(DownloadNames& names, QWidget* parent) {
    CDownloadNamesDlg dialog(parent);
    dialog.m_strFirstFileName = names.GetDownloadName(0);
    dialog.m_strSecondFileName = names.GetDownloadName(1);
    const int result = dialog.DoModal();
    if (result == IDOK) {
        names.SetDownloadName(0, std::move(dialog.m_strFirstFileName));
        names.SetDownloadName(1, std::move(dialog.m_strSecondFileName));
    }
    return result;
}

}  // namespace drel
