#include "connection/CDrelDoc.h"

#include "connection/CPortSettingsDlg.h"
#include "connection/ConnectionDisplay.h"
#include "connection/ConnectionLifecycle.h"
#include "connection/PresetPortSource.h"
#include "framework/CArchive.h"
#include "framework/CEditView.h"
#include "framework/CWinApp.h"
#include "platform/SerialService.h"
#include "terminal/CDrelView.h"

namespace drel {

CDrelDoc::CDrelDoc() : m_connection(platform::SystemSerialService(), m_ui) {
    // The application keeps the download file names the connection's prompt reaction sends.
    m_connection.downloadNames = dynamic_cast<const DownloadNameSource*>(AfxGetApp());
    m_connection.reconnect = dynamic_cast<const ReconnectChoice*>(AfxGetApp());
}

CDrelDoc::~CDrelDoc() {
    CloseConnection(m_connection);
}

bool CDrelDoc::OnNewDocument() {
    m_connection.downloading = 0;
    m_connection.connected = 0;
    const std::optional<PortSetup> setup = ChoosePort();
    if (!setup) {
        return false;
    }
    // A device may answer the open at once (a greeting, a reset on DTR), before the window is
    // first activated: its view shows text from the start, so none of that is lost.
    if (auto* view = dynamic_cast<OutputView*>(GetFirstView())) {
        SetOutputView(m_connection, view);
    }
    if (!OpenConnection(m_connection, setup->port, setup->lineSettings)) {
        return false;
    }
    SetTitle(setup->title);
    return CDocument::OnNewDocument();
}

// The port the application has chosen already, made up as the dialog would make it up, or else
// what the port dialog returns; nothing when the dialog is cancelled.
std::optional<CDrelDoc::PortSetup> CDrelDoc::ChoosePort() {
    std::optional<PortChoices> preset;
    if (auto* source = dynamic_cast<PresetPortSource*>(AfxGetApp())) {
        preset = source->TakePresetPort();
    }
    if (preset) {
        PortSetup setup{preset->port, LineSettings{}, PortTitle(*preset)};
        ApplyPortChoices(*preset, setup.lineSettings);
        return setup;
    }
    CPortSettingsDlg dlg;
    if (dlg.DoModal() != IDOK) {
        return std::nullopt;
    }
    return PortSetup{dlg.m_strPort, dlg.m_lineSettings, dlg.m_strTitle};
}

bool CDrelDoc::CanCloseFrame(CFrameWnd*) {
    CloseConnection(m_connection);
    return true;
}

void CDrelDoc::PreCloseDocument() {
    CloseConnection(m_connection);
}

void CDrelDoc::Serialize(CArchive& ar) {
    // A terminal saves everything received so far, also what waits for the next frame.
    if (auto* terminal = dynamic_cast<CDrelView*>(GetFirstView()); terminal && ar.IsStoring()) {
        terminal->ApplyPendingText();
    }
    if (auto* view = dynamic_cast<CEditView*>(GetFirstView())) {
        view->SerializeRaw(ar);
    }
}

}  // namespace drel
