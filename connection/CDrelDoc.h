#pragma once

// The document of a terminal window: one serial port. A new document asks for the port and its
// line settings (or takes those the command line gave) and opens the connection; its text is what
// its first view shows. A document opened from a file is a plain text window with no port.
//
// The document runs the Port menu's commands on its connection and greys the status bar's modem
// input panes by its port's modem inputs; they are read at most every few tens of milliseconds,
// on the frame's idle timer, never by the receive loop.

#include <chrono>
#include <optional>
#include <string>

#include "connection/ConnectionUserInterface.h"
#include "connection/HexBytes.h"
#include "connection/LineSettings.h"
#include "connection/LogFormat.h"
#include "connection/PortConnection.h"
#include "framework/CDocument.h"

namespace drel {

class CDrelDoc : public CDocument {
  public:
    // A document whose ports `service` opens; the default one opens the system's ports.
    CDrelDoc();
    explicit CDrelDoc(platform::SerialService& service);
    ~CDrelDoc() override;

    // The port dialog, then the connection's open step; the document's title becomes the
    // dialog's summary. When the application has a port chosen already (PresetPortSource), that
    // port is opened instead, with no dialog. False (no window is left) when the dialog is
    // cancelled or the port does not open.
    bool OnNewDocument() override;

    // Closes the port when it is open, and lets the window close without asking to save: a
    // terminal's text is kept by saving it, never by a prompt on close.
    bool CanCloseFrame(CFrameWnd* frame) override;

    // Closes the port on every other way the document ends (Close, exit).
    void PreCloseDocument() override;

    // Saves and loads the text of the first view, byte for byte.
    void Serialize(CArchive& ar) override;

    PortConnection& Connection() { return m_connection; }

    // "Send &Break", "&DTR" and "&RTS", enabled while connected; DTR and RTS are checked while the
    // user wants the line on, whether or not the port could do it.
    void OnPortSendBreak();
    void OnPortDtr();
    void OnPortRts();
    // "Send &Hex...", enabled while connected too: asks for bytes by value and sends them behind
    // what was typed before, as typed keys go.
    void OnPortSendHex();
    void OnUpdatePortCommand(CCmdUI& ui);
    // The panes of CTS, DSR, DCD and RI: enabled while that input is on; greyed while it is off,
    // when not connected or when the port cannot report its inputs.
    void OnUpdateModemInput(CCmdUI& ui);

    // "&Log to File...": asks for a file and logs what the port receives to it, appended, in
    // the form chosen as the file's type (raw unless the user takes lines with time stamps;
    // the last choice is offered next); a file that cannot be opened is told at once. "Stop
    // &Logging" ends the log. The LOG pane is enabled while a log runs.
    void OnPortLogStart();
    void OnPortLogStop();
    void OnUpdatePortLogStart(CCmdUI& ui);
    void OnUpdatePortLogStop(CCmdUI& ui);

    // "Send with &YMODEM...", "Send with &XMODEM-1K...", "Send with X&MODEM...": asks for a file
    // and sends it (FileTransfer.h), enabled while connected and no transfer or download runs;
    // "&Cancel Transfer" while one runs. What cannot start is told in a box.
    void OnTransferSend(int id);
    void OnTransferCancel();
    void OnUpdateTransferSend(CCmdUI& ui);
    void OnUpdateTransferCancel(CCmdUI& ui);

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    // A port to open: its name, line settings and the document's title.
    struct PortSetup {
        std::string port;
        LineSettings lineSettings;
        std::string title;
        std::string logPath;  // empty: no log
        LogFormat logFormat = LogFormat::Raw;
    };

    std::optional<PortSetup> ChoosePort();
    // The modem inputs, read again when the last reading is older than a frame's update.
    std::optional<uint32_t> ModemInputs();

    ConnectionUserInterface m_ui;
    PortConnection m_connection;
    HexHistory m_hexHistory;                 // what "Send &Hex..." sent in this run
    LogFormat m_logFormat = LogFormat::Raw;  // the form of the last log started from the menu
    std::optional<uint32_t> m_modemInputs;
    std::chrono::steady_clock::time_point m_modemInputsRead;
};

}  // namespace drel
