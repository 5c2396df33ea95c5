#include "framework/CMDIFrameWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusTipEvent>
#include <algorithm>

#include "framework/CDocument.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMultiDocTemplate.h"
#include "framework/CStatusBar.h"
#include "framework/CToolBar.h"
#include "framework/CView.h"
#include "framework/CWinApp.h"
#include "framework/MenuBuilder.h"
#include "framework/Resources.h"
#include "framework/StandardIds.h"

namespace drel {

namespace {

constexpr int kIdleIntervalMs = 200;
constexpr const char* kWindowListProperty = "drelWindowListItem";
constexpr const char* kPlaceholderProperty = "drelRecentFilePlaceholder";

bool IsRecentFileId(int id) {
    return id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST;
}

bool IsWindowCommand(int id) {
    return id >= ID_WINDOW_FIRST && id <= ID_WINDOW_LAST;
}

bool HoldsCommand(const QMenu* menu, bool (*matches)(int)) {
    const QList<QAction*> actions = menu->actions();
    return std::any_of(actions.begin(), actions.end(),
                       [matches](const QAction* action) { return matches(CommandIdOf(action)); });
}

Qt::KeyboardModifiers ModifiersOf(unsigned modifiers) {
    Qt::KeyboardModifiers result;
    if (modifiers & kCtrl) {
        result |= Qt::ControlModifier;
    }
    if (modifiers & kShift) {
        result |= Qt::ShiftModifier;
    }
    if (modifiers & kAlt) {
        result |= Qt::AltModifier;
    }
    return result;
}

}  // namespace

CMDIFrameWnd::CMDIFrameWnd() {
    m_idleTimer.setInterval(kIdleIntervalMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { OnIdle(); });
}

CMDIFrameWnd::~CMDIFrameWnd() {
    m_idleTimer.stop();
    // The widgets still send signals while Qt takes them down, after this part is gone.
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
    }
    for (CMDIChildWnd* child : std::vector<CMDIChildWnd*>(m_children)) {
        if (CDocument* doc = child->GetActiveDocument()) {
            doc->OnCloseDocument();
        }
    }
    // Children left are deleted with the window's widgets, after this part of it is gone.
    for (CMDIChildWnd* child : m_children) {
        child->m_pMDIFrame = nullptr;
    }
    m_children.clear();
}

const MessageMap* CMDIFrameWnd::GetMessageMap() const {
    static const MessageMap map(
        CFrameWnd::GetMessageMap(),
        {MapCommand(ID_WINDOW_NEW, &CMDIFrameWnd::OnWindowNew),
         MapUpdateUI(ID_WINDOW_NEW, &CMDIFrameWnd::OnUpdateMDIWindowCmd),
         MapCommandRange(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_HORZ, &CMDIFrameWnd::OnMDIWindowCmd),
         MapUpdateUIRange(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_HORZ,
                          &CMDIFrameWnd::OnUpdateMDIWindowCmd),
         MapCommandRange(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, &CMDIFrameWnd::OnBarCheck),
         MapUpdateUIRange(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR,
                          &CMDIFrameWnd::OnUpdateControlBarMenu)});
    return &map;
}

bool CMDIFrameWnd::LoadFrame(int nIDResource, uint32_t style) {
    m_nIDResource = nIDResource;
    m_dwStyle = style;
    CREATESTRUCT cs{style};
    if (!PreCreateWindow(cs)) {
        return false;
    }
    m_dwStyle = cs.style;
    if (cs.cx > 0 && cs.cy > 0) {
        setGeometry(cs.x, cs.y, cs.cx, cs.cy);
    }
    if (BuildMenu(nIDResource) == nullptr) {
        return false;
    }
    ShowMenu(nIDResource);
    if (const AcceleratorTable* table = AfxFindAccelerators(nIDResource)) {
        CreateAccelerators(*table);
    }
    setWindowIcon(AfxLoadIcon(nIDResource));
    m_strTitle = AfxLoadStringField(nIDResource, 0);
    if (m_strTitle.empty() && AfxGetApp() != nullptr) {
        m_strTitle = AfxGetApp()->GetAppName();
    }

    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* window) { OnSubWindowActivated(window); });
    m_pMdiArea->viewport()->installEventFilter(this);

    if (OnCreate() == -1) {
        return false;
    }
    OnUpdateFrameTitle(true);
    UpdateAllCmdUI();
    m_idleTimer.start();
    return true;
}

int CMDIFrameWnd::OnCreate() {
    return CFrameWnd::OnCreate();
}

const std::vector<QMenu*>* CMDIFrameWnd::BuildMenu(int id) {
    if (auto it = m_menus.find(id); it != m_menus.end()) {
        return &it->second;
    }
    const MenuTemplate* menuTemplate = AfxFindMenu(id);
    if (menuTemplate == nullptr) {
        return nullptr;
    }
    std::vector<QMenu*>& popups = m_menus[id];
    for (const MenuItem& popup : menuTemplate->popups) {
        QMenu* menu = BuildPopup(popup, this, [this](int command) { OnCommand(command); });
        QList<QMenu*> menus = menu->findChildren<QMenu*>();
        menus << menu;
        for (QMenu* each : menus) {
            connect(each, &QMenu::aboutToShow, this, [this, each] { OnInitMenuPopup(each); });
            connect(each, &QMenu::aboutToHide, this, [this] { SetMessageText({}); });
            // A popup is a window of its own, so its status tips do not always travel up to
            // this frame; the prompt is taken from the hovered item directly.
            connect(each, &QMenu::hovered, this,
                    [this](QAction* action) { SetMessageText(ToStdString(action->statusTip())); });
        }
        popups.push_back(menu);
    }
    return &popups;
}

void CMDIFrameWnd::ShowMenu(int id) {
    const std::vector<QMenu*>* popups = BuildMenu(id);
    if (popups == nullptr) {
        id = m_nIDResource;
        popups = BuildMenu(id);
    }
    if (popups == nullptr || id == m_nShownMenu) {
        return;
    }
    m_nShownMenu = id;
    menuBar()->clear();
    for (QMenu* menu : *popups) {
        menuBar()->addMenu(menu);
    }
}

void CMDIFrameWnd::CreateAccelerators(const AcceleratorTable& table) {
    m_pAccelerators = &table;
    for (const Accelerator& entry : table.entries) {
        auto* shortcut = new QShortcut(
            QKeySequence(QKeyCombination(ModifiersOf(entry.modifiers), Qt::Key(entry.key))), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = entry.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { OnCommand(id); });
    }
}

bool CMDIFrameWnd::IsAcceleratorKey(const QKeyEvent& event) const {
    if (m_pAccelerators == nullptr) {
        return false;
    }
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    return std::any_of(m_pAccelerators->entries.begin(), m_pAccelerators->entries.end(),
                       [&](const Accelerator& entry) {
                           return entry.key == event.key() &&
                                  ModifiersOf(entry.modifiers) == modifiers;
                       });
}

CDocument* CMDIFrameWnd::GetActiveDocument() const {
    return m_pActiveChild == nullptr ? nullptr : m_pActiveChild->GetActiveDocument();
}

bool CMDIFrameWnd::OnCmdMsg(int id, CmdMsg code, CCmdUI* pCmdUI) {
    if (m_pActiveChild != nullptr && m_pActiveChild->OnCmdMsg(id, code, pCmdUI)) {
        return true;
    }
    if (CCmdTarget::OnCmdMsg(id, code, pCmdUI)) {
        return true;
    }
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(id, code, pCmdUI);
}

bool CMDIFrameWnd::OnCommand(int id) {
    const bool ran = CFrameWnd::OnCommand(id);
    UpdateAllCmdUI();
    return ran;
}

void CMDIFrameWnd::UpdateAllCmdUI() {
    for (QAction* top : menuBar()->actions()) {
        if (QMenu* menu = top->menu()) {
            UpdateMenuItems(menu);
        }
    }
    for (CToolBar* bar : m_toolBars) {
        bar->UpdateCmdUI(*this);
    }
    if (m_pStatusBar != nullptr) {
        m_pStatusBar->UpdateCmdUI(*this);
    }
}

void CMDIFrameWnd::UpdateMenuItems(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (QMenu* sub = action->menu()) {
            UpdateMenuItems(sub);
        } else if (const int id = CommandIdOf(action); id != 0) {
            CCmdUI ui(id);
            UpdateCmdUI(ui);
            ApplyCmdUI(action, ui);
        }
    }
}

void CMDIFrameWnd::OnInitMenuPopup(QMenu* menu) {
    if (HoldsCommand(menu, IsRecentFileId)) {
        UpdateRecentFileItems(menu);
    }
    if (HoldsCommand(menu, IsWindowCommand)) {
        UpdateWindowList(menu);
    }
    UpdateMenuItems(menu);
}

// The recent-file items replace the placeholder item (the first recent-file command of the
// template); with an empty list the placeholder itself stays, disabled by its update handler.
void CMDIFrameWnd::UpdateRecentFileItems(QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    const auto first = std::find_if(actions.begin(), actions.end(), [](const QAction* action) {
        return IsRecentFileId(CommandIdOf(action));
    });
    QString placeholder = menu->property(kPlaceholderProperty).toString();
    if (placeholder.isEmpty()) {
        placeholder = (*first)->text();
        menu->setProperty(kPlaceholderProperty, placeholder);
    }
    QAction* before = nullptr;
    for (auto it = first; it != actions.end(); ++it) {
        if (!IsRecentFileId(CommandIdOf(*it))) {
            before = *it;
            break;
        }
    }
    for (QAction* action : actions) {
        if (IsRecentFileId(CommandIdOf(action))) {
            menu->removeAction(action);
            action->deleteLater();
        }
    }
    const auto onCommand = [this](int command) { OnCommand(command); };
    const CRecentFileList* list = AfxGetApp() ? AfxGetApp()->GetRecentFileList() : nullptr;
    if (list == nullptr || list->GetSize() == 0) {
        menu->insertAction(before, MakeCommandAction(placeholder.toLocal8Bit().toStdString(),
                                                     ID_FILE_MRU_FILE1, menu, onCommand));
        return;
    }
    for (int i = 0; i < list->GetSize(); ++i) {
        menu->insertAction(before, MakeCommandAction(list->GetMenuText(i), ID_FILE_MRU_FILE1 + i,
                                                     menu, onCommand));
    }
}

void CMDIFrameWnd::UpdateWindowList(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->property(kWindowListProperty).toBool()) {
            menu->removeAction(action);
            action->deleteLater();
        }
    }
    if (m_children.empty()) {
        return;
    }
    menu->addSeparator()->setProperty(kWindowListProperty, true);
    const QString prompt = ToQString(AfxLoadString(AFX_IDS_MDICHILD));
    int number = 1;
    for (CMDIChildWnd* child : m_children) {
        const QString label =
            (number <= 9 ? QStringLiteral("&%1 ") : QStringLiteral("%1 ")).arg(number) +
            child->windowTitle().replace('&', QStringLiteral("&&"));
        ++number;
        QAction* action = menu->addAction(label);
        action->setProperty(kWindowListProperty, true);
        action->setCheckable(true);
        action->setChecked(child == m_pActiveChild);
        action->setStatusTip(prompt);
        QPointer<CMDIChildWnd> target(child);
        connect(action, &QAction::triggered, this, [this, target] {
            if (target) {
                MDIActivate(target);
            }
        });
    }
}

void CMDIFrameWnd::OnUpdateFrameTitle(bool addToTitle) {
    std::string title = m_strTitle;
    if (addToTitle && (m_dwStyle & FWS_ADDTOTITLE) != 0) {
        if (const CDocument* doc = GetActiveDocument()) {
            title += " - " + doc->GetTitle();
        }
    }
    setWindowTitle(ToQString(title));
}

void CMDIFrameWnd::AddChild(CMDIChildWnd* child) {
    m_children.push_back(child);
    m_pMdiArea->addSubWindow(child);
}

void CMDIFrameWnd::RemoveChild(CMDIChildWnd* child) {
    if (std::find(m_children.begin(), m_children.end(), child) == m_children.end()) {
        return;
    }
    std::erase(m_children, child);
    if (child != m_pActiveChild) {
        return;
    }
    // The closing frame's view gets no deactivation: its document may be gone already.
    m_pActiveChild = nullptr;
    CMDIChildWnd* next = nullptr;
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList(QMdiArea::ActivationHistoryOrder)) {
        auto* candidate = dynamic_cast<CMDIChildWnd*>(window);
        if (std::find(m_children.begin(), m_children.end(), candidate) != m_children.end()) {
            next = candidate;
        }
    }
    if (next != nullptr) {
        MDIActivate(next);
        return;
    }
    ShowMenu(m_nIDResource);
    OnUpdateFrameTitle(true);
    UpdateAllCmdUI();
}

void CMDIFrameWnd::OnSubWindowActivated(QMdiSubWindow* window) {
    auto* child = dynamic_cast<CMDIChildWnd*>(window);
    // Null also comes when the main window merely loses the focus: the active child stays.
    if (child == nullptr || child->IsDestroying() ||
        std::find(m_children.begin(), m_children.end(), child) == m_children.end()) {
        return;
    }
    SetActiveChild(child);
}

void CMDIFrameWnd::MDIActivate(CMDIChildWnd* child) {
    if (child->isHidden()) {
        child->show();
    }
    m_pMdiArea->setActiveSubWindow(child);
    SetActiveChild(child);
}

void CMDIFrameWnd::SetActiveChild(CMDIChildWnd* child) {
    if (child == m_pActiveChild) {
        return;
    }
    CMDIChildWnd* old = m_pActiveChild;
    m_pActiveChild = child;
    CView* oldView = old == nullptr || old->IsDestroying() ? nullptr : old->GetActiveView();
    CView* newView = child == nullptr ? nullptr : child->GetActiveView();
    if (oldView != nullptr) {
        oldView->OnActivateView(false, newView, oldView);
    }
    if (newView != nullptr) {
        newView->OnActivateView(true, newView, oldView);
    }
    ShowMenu(child == nullptr ? m_nIDResource : child->GetMenuId());
    OnUpdateFrameTitle(true);
    UpdateAllCmdUI();
}

void CMDIFrameWnd::SetMessageText(const std::string& text) {
    if (m_pStatusBar != nullptr) {
        m_pStatusBar->SetPaneText(0, text.empty() ? AfxLoadString(AFX_IDS_IDLEMESSAGE) : text);
    }
}

void CMDIFrameWnd::EnableDocking(uint32_t dockStyle) {
    m_dockAreas = CToolBar::AreasOf(dockStyle);
}

void CMDIFrameWnd::DockControlBar(CToolBar* bar) {
    Qt::ToolBarArea area = toolBarArea(bar);
    if (area == Qt::NoToolBarArea || (m_dockAreas & area) == 0) {
        area = Qt::TopToolBarArea;
    }
    addToolBar(area, bar);
}

QWidget* CMDIFrameWnd::GetControlBar(int id) const {
    for (CToolBar* bar : m_toolBars) {
        if (bar->GetDlgCtrlID() == id) {
            return bar;
        }
    }
    if (m_pStatusBar != nullptr && m_pStatusBar->GetDlgCtrlID() == id) {
        return m_pStatusBar;
    }
    return nullptr;
}

void CMDIFrameWnd::ShowControlBar(QWidget* bar, bool show) {
    bar->setVisible(show);
}

void CMDIFrameWnd::OnBarCheck(int id) {
    if (QWidget* bar = GetControlBar(id)) {
        ShowControlBar(bar, bar->isHidden());
    }
}

void CMDIFrameWnd::OnUpdateControlBarMenu(CCmdUI& ui) {
    if (QWidget* bar = GetControlBar(ui.m_nID)) {
        ui.SetCheck(bar->isHidden() ? 0 : 1);
    } else {
        ui.Enable(false);
    }
}

void CMDIFrameWnd::OnWindowNew() {
    CDocument* doc = GetActiveDocument();
    if (doc == nullptr || doc->GetDocTemplate() == nullptr) {
        return;
    }
    CMultiDocTemplate* docTemplate = doc->GetDocTemplate();
    if (CMDIChildWnd* frame = docTemplate->CreateNewFrame(doc)) {
        docTemplate->InitialUpdateFrame(frame, doc);
    }
}

void CMDIFrameWnd::OnMDIWindowCmd(int id) {
    switch (id) {
        case ID_WINDOW_CASCADE:
            m_pMdiArea->cascadeSubWindows();
            break;
        case ID_WINDOW_TILE_HORZ:
            m_pMdiArea->tileSubWindows();
            break;
        case ID_WINDOW_ARRANGE:
            ArrangeIcons();
            break;
        default:
            break;
    }
}

void CMDIFrameWnd::OnUpdateMDIWindowCmd(CCmdUI& ui) {
    ui.Enable(m_pActiveChild != nullptr);
}

// Minimised child windows in a row along the bottom of the MDI area, left to right.
void CMDIFrameWnd::ArrangeIcons() {
    int x = 0;
    for (CMDIChildWnd* child : m_children) {
        if (child->isMinimized()) {
            const QSize size = child->size();
            child->move(x, m_pMdiArea->viewport()->height() - size.height());
            x += size.width();
        }
    }
}

void CMDIFrameWnd::OnIdle() {
    for (CToolBar* bar : m_toolBars) {
        bar->UpdateCmdUI(*this);
    }
    if (m_pStatusBar != nullptr) {
        m_pStatusBar->UpdateKeyStates();
        m_pStatusBar->UpdateCmdUI(*this);
    }
}

bool CMDIFrameWnd::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        SetMessageText(ToStdString(static_cast<QStatusTipEvent*>(event)->tip()));
        return true;
    }
    return QMainWindow::event(event);
}

// The child frames that still have the size they gave themselves follow the area's size.
bool CMDIFrameWnd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && m_pMdiArea != nullptr &&
        watched == m_pMdiArea->viewport()) {
        const QSize area = m_pMdiArea->viewport()->size();
        for (CMDIChildWnd* child : m_children) {
            child->FitToArea(area);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMDIFrameWnd::closeEvent(QCloseEvent* event) {
    // OnClose decides, and hides the window itself when the close goes ahead.
    event->ignore();
    if (!m_bClosed) {
        OnClose();
    }
}

void CMDIFrameWnd::OnClose() {
    CWinApp* app = AfxGetApp();
    if (app != nullptr) {
        if (!app->SaveAllModified()) {
            return;
        }
        app->CloseAllDocuments();
    }
    for (CMDIChildWnd* child : std::vector<CMDIChildWnd*>(m_children)) {
        if (CDocument* doc = child->GetActiveDocument()) {
            doc->OnCloseDocument();
        } else {
            child->DestroyWindow();
        }
    }
    m_bClosed = true;
    m_idleTimer.stop();
    hide();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->EndRun();
    }
}

}  // namespace drel
