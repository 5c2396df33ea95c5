#pragma once

// The status bar: a message pane (ID_SEPARATOR) that shows the idle text ("Ready") or the
// prompt of the menu item or button under the pointer, and key-state panes (CAP, NUM, SCRL)
// that show their text while the lock is on, nothing while it is off, and greyed text when the
// state cannot be known here. Any other pane is a command pane: it always shows its text, greyed
// while its command is disabled along the frame's route (an update handler decides, as for a
// menu item). User-interface thread only.

#include <QStatusBar>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/FrameStyles.h"
#include "framework/KeyLockState.h"
#include "framework/StandardIds.h"

class QLabel;

namespace drel {

class CFrameWnd;
class CMDIFrameWnd;

class CStatusBar : public QStatusBar {
    Q_OBJECT

  public:
    CStatusBar();
    ~CStatusBar() override;

    // Makes this `parent`'s status bar, shown when WS_VISIBLE; `id` is its control id, which is
    // also its show/hide command. False when already created or there is no parent.
    bool Create(CMDIFrameWnd* parent, uint32_t style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                int id = AFX_IDW_STATUS_BAR);

    // Makes one pane per id, left to right: ID_SEPARATOR is the message pane, any other id a
    // pane showing the string of that id. False, with no pane made, when a string is missing.
    bool SetIndicators(const int* ids, int count);

    // Sets and reads the text of pane `index` (0 for the first); out-of-range indexes are
    // ignored (read as empty).
    void SetPaneText(int index, const std::string& text);
    std::string GetPaneText(int index) const;
    // Whether pane `index` shows its text normally (false: greyed).
    bool IsPaneEnabled(int index) const;

    int GetDlgCtrlID() const { return m_nID; }

    // Refreshes the key-state panes from the keyboard (ReadKeyLocks), or from `locks`.
    void UpdateKeyStates();
    void UpdateKeyStates(const KeyLocks& locks);

    // Enables or greys each command pane as its command's state along `target`'s route says.
    void UpdateCmdUI(CFrameWnd& target);

  private:
    struct Pane {
        int id;
        QLabel* label;
        std::string text;  // the string of the id
    };

    void ShowLock(Pane& pane, LockState state);
    static bool IsCommandPane(int id);

    CMDIFrameWnd* m_pFrame = nullptr;
    int m_nID = 0;
    std::vector<Pane> m_panes;
};

}  // namespace drel
