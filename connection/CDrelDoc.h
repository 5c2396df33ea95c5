#pragma once

// The document of a terminal window: one serial port. A new document asks for the port and its
// line settings (or takes those the command line gave) and opens the connection; its text is what
// its first view shows. A document opened from a file is a plain text window with no port.

#include <optional>
#include <string>

#include "connection/ConnectionUserInterface.h"
#include "connection/LineSettings.h"
#include "connection/PortConnection.h"
#include "framework/CDocument.h"

namespace drel {

class CDrelDoc : public CDocument {
  public:
    CDrelDoc();
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

  private:
    // A port to open: its name, line settings and the document's title.
    struct PortSetup {
        std::string port;
        LineSettings lineSettings;
        std::string title;
    };

    std::optional<PortSetup> ChoosePort();

    ConnectionUserInterface m_ui;
    PortConnection m_connection;
};

}  // namespace drel
