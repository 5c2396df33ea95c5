// The terminal's "&Transfer" menu: sending a file with YMODEM or XMODEM.

#include "connection/CDrelDoc.h"
#include "connection/FileTransfer.h"
#include "framework/CFileDialog.h"
#include "framework/DialogStyles.h"
#include "resources/resource.h"

namespace drel {

namespace {

transfer::TransferProtocol ProtocolOf(int id) {
    switch (id) {
        case ID_TRANSFER_XMODEM1K:
            return transfer::TransferProtocol::Xmodem1k;
        case ID_TRANSFER_XMODEM:
            return transfer::TransferProtocol::Xmodem;
        default:
            return transfer::TransferProtocol::Ymodem;
    }
}

}  // namespace

void CDrelDoc::OnTransferSend(int id) {
    CFileDialog dialog(true);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const std::string error = StartFileTransfer(m_connection, ProtocolOf(id), dialog.GetPathName());
    if (!error.empty()) {
        m_ui.MessageBox(error, {}, UserInterface::Icon::Warning);
    }
}

void CDrelDoc::OnTransferCancel() {
    CancelFileTransfer(m_connection);
}

void CDrelDoc::OnUpdateTransferSend(CCmdUI& ui) {
    ui.Enable(m_connection.connected != 0 && m_connection.transferring == 0 &&
              m_connection.downloading == 0);
}

void CDrelDoc::OnUpdateTransferCancel(CCmdUI& ui) {
    ui.Enable(m_connection.transferring != 0);
}

}  // namespace drel
