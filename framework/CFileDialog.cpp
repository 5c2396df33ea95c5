#include "framework/CFileDialog.h"

#include <QFileDialog>
#include <algorithm>

#include "framework/CFrameWnd.h"
#include "framework/DialogStyles.h"

namespace drel {

namespace {

std::function<int(CFileDialog&)>& Hook() {
    static std::function<int(CFileDialog&)> hook;
    return hook;
}

}  // namespace

CFileDialog::CFileDialog(bool openFileDialog, const std::string& fileName, QWidget* parent)
    : m_bOpen(openFileDialog), m_strPathName(fileName), m_pParent(parent) {}

int CFileDialog::DoModal() {
    if (Hook()) {
        return Hook()(*this);
    }
    // The desktop's own dialogs may add an extension of their choosing; Qt's own never does.
    QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    if (!m_bConfirmOverwrite) {
        options |= QFileDialog::DontConfirmOverwrite;
    }
    const QString offered = ToQString(m_strPathName);
    QStringList filters;
    for (const std::string& filter : m_filters) {
        filters << ToQString(filter);
    }
    QString filter = filters.value(m_nFilterIndex);
    const QString chosen =
        m_bOpen ? QFileDialog::getOpenFileName(m_pParent, QObject::tr("Open"), offered,
                                               filters.join(";;"), &filter, options)
                : QFileDialog::getSaveFileName(m_pParent, QObject::tr("Save As"), offered,
                                               filters.join(";;"), &filter, options);
    if (chosen.isEmpty()) {
        return IDCANCEL;
    }
    m_strPathName = ToStdString(chosen);
    m_nFilterIndex = std::max(0, static_cast<int>(filters.indexOf(filter)));
    return IDOK;
}

void CFileDialog::SetHook(std::function<int(CFileDialog&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace drel
