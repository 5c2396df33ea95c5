#include "connection/CDrelDoc.h"

#include <iterator>
#include <vector>

#include "connection/CPortSettingsDlg.h"
#include "connection/CSendHexDlg.h"
#include "connection/ConnectionDisplay.h"
#include "connection/ConnectionLifecycle.h"
#include "connection/ConnectionLog.h"
#include "connection/LineControl.h"
#include "connection/PresetPortSource.h"
#include "framework/CArchive.h"
#include "framework/CEditView.h"
#include "framework/CFileDialog.h"
#include "framework/CWinApp.h"
#include "platform/SerialService.h"
#include "resources/resource.h"
#include "terminal/CDrelView.h"

namespace drel {

namespace {

// Panes of one update pass share one reading of the modem inputs.
constexpr std::chrono::milliseconds kModemInputsFresh{50};

// The forms of a log, offered as the types of its file. Every type takes any name: the type
// says how the file is written.
struct LogKind {
    const char* filter;
    LogFormat format;
};
constexpr LogKind kLogKinds[] = {
    {"Raw bytes, as received (*)", LogFormat::Raw},
    {"Lines with the time of day (*)", LogFormat::Iso},
    {"Lines with seconds since the log began (*)", LogFormat::Elapsed},
    {"Lines with seconds since the line before (*)", LogFormat::Delta},
};

uint32_t ModemInputBit(int paneId) {
    switch (paneId) {
        case ID_INDICATOR_CTS:
            return platform::MS_CTS_ON;
        case ID_INDICATOR_DSR:
            return platform::MS_DSR_ON;
        case ID_INDICATOR_DCD:
            return platform::MS_RLSD_ON;
        case ID_INDICATOR_RI:
            return platform::MS_RING_ON;
        default:
            return 0;
    }
}

}  // namespace

CDrelDoc::CDrelDoc() : CDrelDoc(platform::SystemSerialService()) {}

CDrelDoc::CDrelDoc(platform::SerialService& service) : m_connection(service, m_ui) {
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
    // A log asked for with the port records the device from its first byte; a file that cannot
    // be opened is told before the port is.
    if (!setup->logPath.empty()) {
        const std::string error = StartLog(m_connection, setup->logPath, setup->logFormat);
        if (!error.empty()) {
            m_ui.MessageBox(error, {}, UserInterface::Icon::Warning);
            return false;
        }
    }
    if (!OpenConnection(m_connection, setup->port, setup->lineSettings)) {
        StopLog(m_connection);
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
        PortSetup setup{preset->port, LineSettings{}, PortTitle(*preset), preset->logPath,
                        preset->logFormat};
        ApplyPortChoices(*preset, setup.lineSettings);
        return setup;
    }
    CPortSettingsDlg dlg;
    if (dlg.DoModal() != IDOK) {
        return std::nullopt;
    }
    return PortSetup{dlg.m_strPort, dlg.m_lineSettings, dlg.m_strTitle, {}, LogFormat::Raw};
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

void CDrelDoc::OnPortSendBreak() {
    SendBreak(m_connection);
}

void CDrelDoc::OnPortDtr() {
    SetDtr(m_connection, !m_connection.dtrOn);
}

void CDrelDoc::OnPortRts() {
    SetRts(m_connection, !m_connection.rtsOn);
}

void CDrelDoc::OnPortSendHex() {
    // The writer that takes the typed keys, so the bytes keep their place among them.
    SendHexBytes(m_hexHistory,
                 [this](std::string bytes) { m_connection.userWrites.Write(std::move(bytes)); });
}

void CDrelDoc::OnUpdatePortCommand(CCmdUI& ui) {
    ui.Enable(m_connection.connected != 0);
    if (ui.m_nID == ID_PORT_DTR) {
        ui.SetCheck(m_connection.dtrOn ? 1 : 0);
    } else if (ui.m_nID == ID_PORT_RTS) {
        ui.SetCheck(m_connection.rtsOn ? 1 : 0);
    }
}

std::optional<uint32_t> CDrelDoc::ModemInputs() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_modemInputsRead >= kModemInputsFresh) {
        m_modemInputs = ReadModemInputs(m_connection);
        m_modemInputsRead = now;
    }
    return m_modemInputs;
}

void CDrelDoc::OnUpdateModemInput(CCmdUI& ui) {
    const std::optional<uint32_t> inputs = ModemInputs();
    ui.Enable(inputs.has_value() && (*inputs & ModemInputBit(ui.m_nID)) != 0);
}

void CDrelDoc::OnPortLogStart() {
    CFileDialog dialog(false);
    // The log is added to what the file holds; there is nothing to replace.
    dialog.SetConfirmOverwrite(false);
    std::vector<std::string> filters;
    for (const LogKind& kind : kLogKinds) {
        filters.emplace_back(kind.filter);
        if (kind.format == m_logFormat) {
            dialog.SetFilterIndex(static_cast<int>(filters.size()) - 1);
        }
    }
    dialog.SetFilters(std::move(filters));
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const size_t chosen = static_cast<size_t>(dialog.GetFilterIndex());
    m_logFormat = chosen < std::size(kLogKinds) ? kLogKinds[chosen].format : LogFormat::Raw;
    const std::string error = StartLog(m_connection, dialog.GetPathName(), m_logFormat);
    if (!error.empty()) {
        m_ui.MessageBox(error, {}, UserInterface::Icon::Warning);
    }
}

void CDrelDoc::OnPortLogStop() {
    StopLog(m_connection);
}

void CDrelDoc::OnUpdatePortLogStart(CCmdUI& ui) {
    ui.Enable(m_connection.connected != 0);
}

void CDrelDoc::OnUpdatePortLogStop(CCmdUI& ui) {
    ui.Enable(LogRunning(m_connection));
}

const MessageMap* CDrelDoc::GetMessageMap() const {
    static const MessageMap map(
        CDocument::GetMessageMap(),
        {
            MapCommand(ID_PORT_SEND_BREAK, &CDrelDoc::OnPortSendBreak),
            MapCommand(ID_PORT_DTR, &CDrelDoc::OnPortDtr),
            MapCommand(ID_PORT_RTS, &CDrelDoc::OnPortRts),
            MapUpdateUIRange(ID_PORT_SEND_BREAK, ID_PORT_RTS, &CDrelDoc::OnUpdatePortCommand),
            MapCommand(ID_PORT_SEND_HEX, &CDrelDoc::OnPortSendHex),
            MapUpdateUI(ID_PORT_SEND_HEX, &CDrelDoc::OnUpdatePortCommand),
            MapUpdateUIRange(ID_INDICATOR_CTS, ID_INDICATOR_RI, &CDrelDoc::OnUpdateModemInput),
            MapCommand(ID_PORT_LOG_START, &CDrelDoc::OnPortLogStart),
            MapCommand(ID_PORT_LOG_STOP, &CDrelDoc::OnPortLogStop),
            MapUpdateUI(ID_PORT_LOG_START, &CDrelDoc::OnUpdatePortLogStart),
            MapUpdateUI(ID_PORT_LOG_STOP, &CDrelDoc::OnUpdatePortLogStop),
            MapUpdateUI(ID_INDICATOR_LOG, &CDrelDoc::OnUpdatePortLogStop),
            MapCommandRange(ID_TRANSFER_YMODEM, ID_TRANSFER_XMODEM, &CDrelDoc::OnTransferSend),
            MapUpdateUIRange(ID_TRANSFER_YMODEM, ID_TRANSFER_XMODEM,
                             &CDrelDoc::OnUpdateTransferSend),
            MapCommand(ID_TRANSFER_CANCEL, &CDrelDoc::OnTransferCancel),
            MapUpdateUI(ID_TRANSFER_CANCEL, &CDrelDoc::OnUpdateTransferCancel),
        });
    return &map;
}

}  // namespace drel
