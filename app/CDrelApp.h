#pragma once

// The application: start-up, the one document template (terminal documents), the About box and
// the two download file names that every connection's auto-download chain sends.

#include <atomic>
#include <optional>

#include "app/DownloadNames.h"
#include "connection/PresetPortSource.h"
#include "connection/ReconnectChoice.h"
#include "framework/CWinApp.h"

namespace drel {

class CDrelApp : public CWinApp,
                 public DownloadNames,
                 public PresetPortSource,
                 public ReconnectChoice {
  public:
    CDrelApp();

    // The command line is read first: a bad one is told in one line on stderr and ends the
    // program before any window. Then settings under "Ovex", the recent-file list, the template,
    // the main frame (hidden), and what the command line asks: with no argument the first port
    // dialog shows before the main window; with --port that port opens without the dialog.
    // False ends the program (a bad command line, no main frame, or a command line that printed
    // or failed).
    bool InitInstance() override;

    // The framework's end; the exit status is 2 after a bad command line.
    int ExitInstance() override;

    // The port --port names, for the connection made at start-up only.
    std::optional<PortChoices> TakePresetPort() override;

    // The stored choice, or on for a run started with --reconnect. Any thread.
    bool ReconnectAutomatically() const override;

    // "Reconnect &Automatically": turns the choice over for every connection and stores it.
    void OnReconnectAutomatically();
    void OnUpdateReconnectAutomatically(CCmdUI& cmdUI);

    // "&About drel...".
    void OnAppAbout();

    // "&Download file name": edits the two names.
    void OnDownloadFileName();

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    bool m_bBadCommandLine = false;
    std::optional<PortChoices> m_presetPort;
    std::atomic<bool> m_reconnect{false};
};

// The application object. User-interface thread, except for the download names.
CDrelApp& DrelApp();

}  // namespace drel
