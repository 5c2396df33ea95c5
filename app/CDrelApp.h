#pragma once

// The application: start-up, the one document template (terminal documents), the About box and
// the two download file names that every connection's auto-download chain sends.

#include "app/DownloadNames.h"
#include "framework/CWinApp.h"

namespace drel {

class CDrelApp : public CWinApp, public DownloadNames {
  public:
    CDrelApp();

    // Settings under "Ovex", the recent-file list, the template, the main frame (hidden), then
    // the command line: with no argument the first port dialog shows before the main window.
    // False ends the program (no main frame, or a command line that printed or failed).
    bool InitInstance() override;

    // "&About drel...".
    void OnAppAbout();

    // "&Download file name": edits the two names.
    void OnDownloadFileName();

  protected:
    const MessageMap* GetMessageMap() const override;
};

// The application object. User-interface thread, except for the download names.
CDrelApp& DrelApp();

}  // namespace drel
