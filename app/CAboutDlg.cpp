#include "app/CAboutDlg.h"

#include "resources/DialogTemplates.h"

namespace drel {

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(AboutBoxTemplate(), parent) {}

}  // namespace drel
