#pragma once

// The document of a terminal window: one serial port. A new document asks for the port and its
// line settings and opens the connection; its text is what its first view shows. A document
// opened from a file is a plain text window with no port.

#include "connection/ConnectionUserInterface.h"
#include "connection/PortConnection.h"
#include "framework/CDocument.h"

namespace drel {

class CDrelDoc : public CDocument {
  public:
    CDrelDoc();
    ~CDrelDoc() override;

    // The port dialog, then the connection's open step; the document's title becomes the
    // dialog's summary. False (no window is left) when the dialog is cancelled or the port does
    // not open.
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
    ConnectionUserInterface m_ui;
    PortConnection m_connection;
};

}  // namespace drel
