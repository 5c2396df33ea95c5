#include "app/CDownloadNamesDlg.h"

#include <QLineEdit>
#include <limits>

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

bool CDownloadNamesDlg::OnInitDialog() {
    // A line edit cuts what it is given to 32767 characters unless told otherwise; OK would
    // then store the cut name.
    for (int id : {IDC_FIRST_FILE_NAME, IDC_SECOND_FILE_NAME}) {
        if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id))) {
            edit->setMaxLength(std::numeric_limits<int>::max());
        }
    }
    return CDialog::OnInitDialog();
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
