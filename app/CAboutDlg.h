#pragma once

// "About drel": the application icon, the program's name and version, copyright and author,
// and an OK button that closes it. It exchanges no data and has no behaviour of its own.

#include "framework/CDialog.h"

namespace drel {

class CAboutDlg : public CDialog {
    Q_OBJECT

  public:
    // The About box; run it with DoModal. User-interface thread only.
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace drel
