#include "framework/CPrintDialog.h"

#include <QPrintDialog>

#include "framework/DialogStyles.h"

namespace drel {

namespace {

std::function<int(CPrintDialog&)>& Hook() {
    static std::function<int(CPrintDialog&)> hook;
    return hook;
}

}  // namespace

CPrintDialog::CPrintDialog(bool printSetupOnly, QPrinter& printer, QWidget* parent)
    : m_bSetupOnly(printSetupOnly), m_printer(printer), m_pParent(parent) {}

int CPrintDialog::DoModal() {
    if (Hook()) {
        return Hook()(*this);
    }
    QPrintDialog dialog(&m_printer, m_pParent);
    if (m_bSetupOnly) {
        dialog.setWindowTitle(QObject::tr("Print Setup"));
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    }
    return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CPrintDialog::SetHook(std::function<int(CPrintDialog&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace drel
