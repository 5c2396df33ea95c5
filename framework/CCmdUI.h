#pragma once

// The state of one command's menu items and toolbar buttons, as an update handler sets it.
//
// Before a menu shows, after a command, when the active window changes and on an idle timer,
// the frame asks the command route for each command's state: an update handler along the route
// (bound with MapUpdateUI) sets it through this object; without one, the command is enabled when
// some object along the route handles it and disabled when none does. User-interface thread.

namespace drel {

class CCmdUI {
  public:
    explicit CCmdUI(int id) : m_nID(id) {}

    // Enables or disables the command's items.
    void Enable(bool on = true) { m_bEnabled = on; }

    // Checks (1) or unchecks (0) the command's menu items and buttons.
    void SetCheck(int check = 1) { m_nCheck = check; }

    bool IsEnabled() const { return m_bEnabled; }
    // 1 checked, 0 unchecked, -1 when no handler set it.
    int GetCheck() const { return m_nCheck; }

    const int m_nID;

  private:
    bool m_bEnabled = true;
    int m_nCheck = -1;
};

}  // namespace drel
