#pragma once

// A toolbar of command buttons made from a toolbar template and its image strip.
//
// Each button is an action for its command: a click runs the command through the frame's
// route, and the frame's idle timer keeps its enabled state current (a command nothing handles
// is greyed). With CBRS_TOOLTIPS a button shows its tooltip (the second line of its command's
// string), with CBRS_FLYBY its status prompt (the first line) while the pointer rests on it.
// The bar can be moved to any side its docking style allows, and floated.
// User-interface thread only.

#include <QToolBar>
#include <cstdint>

#include "framework/FrameStyles.h"
#include "framework/StandardIds.h"

namespace drel {

class CFrameWnd;
class CMDIFrameWnd;

class CToolBar : public QToolBar {
    Q_OBJECT

  public:
    CToolBar();
    ~CToolBar() override;

    // Puts the bar into `parent` on the side `style` names (CBRS_TOP when none), shown when
    // WS_VISIBLE; `id` is its control id, which is also its show/hide command. False when it
    // was already created or there is no parent.
    bool Create(CMDIFrameWnd* parent, uint32_t style = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                int id = AFX_IDW_TOOLBAR);

    // Makes the buttons of toolbar template `nIDResource` with the images of the image strip of
    // the same id (light grey, 192/192/192, is transparent). False, with no button made, when
    // the template or the strip is missing or the strip has too few images.
    bool LoadToolBar(int nIDResource);

    uint32_t GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(uint32_t style) { m_dwStyle = style; }

    // The sides (CBRS_ALIGN_*) the bar may be docked on; it can always float.
    void EnableDocking(uint32_t dockStyle);

    int GetDlgCtrlID() const { return m_nID; }

    // Sets every button's state from the command route of `target`.
    void UpdateCmdUI(CFrameWnd& target);

    // The toolbar areas of CBRS_ALIGN_* bits.
    static Qt::ToolBarAreas AreasOf(uint32_t alignStyle);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CMDIFrameWnd* m_pFrame = nullptr;
    uint32_t m_dwStyle = 0;
    int m_nID = 0;
};

}  // namespace drel
