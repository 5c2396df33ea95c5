#include "framework/CToolBar.h"

#include <QAction>
#include <QBitmap>
#include <QEvent>
#include <QPixmap>
#include <algorithm>

#include "framework/CCmdUI.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/MenuBuilder.h"
#include "framework/Resources.h"

namespace drel {

namespace {

// The background colour of toolbar image strips, shown as the button face.
constexpr QRgb kTransparentColour = qRgb(192, 192, 192);

Qt::ToolBarArea AreaOf(uint32_t style) {
    if (style & CBRS_ALIGN_BOTTOM) {
        return Qt::BottomToolBarArea;
    }
    if (style & CBRS_ALIGN_LEFT) {
        return Qt::LeftToolBarArea;
    }
    if (style & CBRS_ALIGN_RIGHT) {
        return Qt::RightToolBarArea;
    }
    return Qt::TopToolBarArea;
}

QPixmap ButtonImage(const QImage& strip, int index, QSize size) {
    const QImage image = strip.copy(index * size.width(), 0, size.width(), size.height());
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(kTransparentColour)));
    return pixmap;
}

}  // namespace

CToolBar::CToolBar() = default;

CToolBar::~CToolBar() {
    if (m_pFrame != nullptr) {
        std::erase(m_pFrame->m_toolBars, this);
    }
}

Qt::ToolBarAreas CToolBar::AreasOf(uint32_t alignStyle) {
    Qt::ToolBarAreas areas;
    if (alignStyle & CBRS_ALIGN_TOP) {
        areas |= Qt::TopToolBarArea;
    }
    if (alignStyle & CBRS_ALIGN_BOTTOM) {
        areas |= Qt::BottomToolBarArea;
    }
    if (alignStyle & CBRS_ALIGN_LEFT) {
        areas |= Qt::LeftToolBarArea;
    }
    if (alignStyle & CBRS_ALIGN_RIGHT) {
        areas |= Qt::RightToolBarArea;
    }
    return areas;
}

bool CToolBar::Create(CMDIFrameWnd* parent, uint32_t style, int id) {
    if (parent == nullptr || m_pFrame != nullptr) {
        return false;
    }
    m_pFrame = parent;
    m_dwStyle = style;
    m_nID = id;
    const Qt::ToolBarArea area = AreaOf(style);
    setMovable(true);
    setFloatable(true);
    setAllowedAreas(area);
    parent->addToolBar(area, this);
    parent->m_toolBars.push_back(this);
    setVisible((style & WS_VISIBLE) != 0);
    return true;
}

bool CToolBar::LoadToolBar(int nIDResource) {
    const ToolBarTemplate* toolBar = AfxFindToolBar(nIDResource);
    const QImage strip = AfxLoadBitmap(nIDResource);
    if (toolBar == nullptr || strip.isNull() || m_pFrame == nullptr) {
        return false;
    }
    const QSize size(toolBar->imageWidth, toolBar->imageHeight);
    const auto images = std::count_if(toolBar->buttons.begin(), toolBar->buttons.end(),
                                      [](int id) { return id != 0; });
    if (strip.width() < images * size.width() || strip.height() < size.height()) {
        return false;
    }
    setIconSize(size);
    const auto onCommand = [this](int command) { m_pFrame->OnCommand(command); };
    int image = 0;
    for (int id : toolBar->buttons) {
        if (id == 0) {
            addSeparator();
            continue;
        }
        const std::string tip = AfxLoadStringField(id, 1);
        QAction* action = MakeCommandAction(tip, id, this, onCommand);
        action->setToolTip(ToQString(tip));
        action->setIcon(ButtonImage(strip, image++, size));
        addAction(action);
        if (QWidget* button = widgetForAction(action)) {
            button->installEventFilter(this);
        }
    }
    return true;
}

void CToolBar::EnableDocking(uint32_t dockStyle) {
    setAllowedAreas(AreasOf(dockStyle));
    setFloatable(true);
}

void CToolBar::UpdateCmdUI(CFrameWnd& target) {
    for (QAction* action : actions()) {
        if (const int id = CommandIdOf(action); id != 0) {
            CCmdUI ui(id);
            target.UpdateCmdUI(ui);
            ApplyCmdUI(action, ui);
        }
    }
}

bool CToolBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && (m_dwStyle & CBRS_TOOLTIPS) == 0) {
        return true;
    }
    if (event->type() == QEvent::StatusTip && (m_dwStyle & CBRS_FLYBY) == 0) {
        return true;
    }
    return QToolBar::eventFilter(watched, event);
}

}  // namespace drel
