#include "framework/Frame.h"

#include "framework/Browser.h"
#include "framework/Icons.h"
#include "framework/Routing.h"
#include "framework/View.h"
#include "res/MenuTables.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

namespace velmar {

namespace {
CommandTarget* g_app = nullptr;
CFrame* g_activeFrame = nullptr;
constexpr int kStatePollMs = 500;
} // namespace

void SetApplicationTarget(CommandTarget* app) {
    g_app = app;
}
CommandTarget* ApplicationTarget() {
    return g_app;
}
void SetActiveFrame(CFrame* frame) {
    g_activeFrame = frame;
}
CFrame* ActiveFrame() {
    return g_activeFrame;
}

CFrame::CFrame(QWidget* parent) : QMainWindow(parent) {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("commandToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // A slim bar, as the handheld's command bar: the panes keep the room.
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    setContextMenuPolicy(Qt::NoContextMenu);

    // The tool bar has no menu that could ask before it shows: keep it current.
    stateTimer_ = new QTimer(this);
    stateTimer_->setInterval(kStatePollMs);
    connect(stateTimer_, &QTimer::timeout, this, [this] {
        for (QAction* a : toolBar_->actions())
            if (int id = a->data().toInt()) ApplyState(a, id);
    });
    connect(qApp, &QApplication::focusChanged, this, [this] {
        if (isVisible()) UpdateCommandStates();
    });
}

CFrame::~CFrame() {
    // QWidget's destructor still moves the focus; by then there is no frame to ask.
    disconnect(qApp, nullptr, this, nullptr);
    activeView_ = nullptr;
    if (g_activeFrame == this) g_activeFrame = nullptr;
}

void CFrame::SetActiveView(CView* view) {
    activeView_ = view;
    if (isVisible()) UpdateCommandStates();
}

QAction* CFrame::findAction(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* CFrame::action(int id) {
    if (QAction* a = findAction(id)) return a;
    auto* a = new QAction(this);
    a->setData(id);
    a->setObjectName(QStringLiteral("cmd%1").arg(id));
    if (const res::ButtonDef* b = res::FindButton(id)) {
        a->setText(QString::fromUtf8(b->text));
        a->setToolTip(QString::fromUtf8(b->tip));
        a->setIcon(CommandIcon(id));
        a->setIconVisibleInMenu(false);
    }
    connect(a, &QAction::triggered, this, [this, id] { Trigger(id); });
    addAction(a); // shortcuts work whichever menu bar is up
    actions_.emplace(id, a);
    return a;
}

bool CFrame::SetCommandBar(int resourceId) {
    const res::CommandBarDef* def = res::FindCommandBar(resourceId);
    if (!def) return false;
    // Both panes ask for their style's bar on every refresh; the bar up already stays.
    if (resourceId == commandBarId_) return true;
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menuBar%1").arg(resourceId));
    for (const res::PopupDef& popup : def->popups) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(popup.title));
        for (const res::MenuItemDef& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* a = action(item.id);
            a->setText(QString::fromUtf8(item.text));
            if (item.shortcut)
                a->setShortcuts(QKeySequence::listFromString(QString::fromUtf8(item.shortcut)));
            menu->addAction(a);
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuStates(menu); });
    }
    setMenuBar(bar); // deletes the previous bar; the actions stay with the frame
    toolBar_->clear();
    for (int id : def->toolbar)
        toolBar_->addAction(action(id));
    commandBarId_ = resourceId;
    if (isVisible()) UpdateCommandStates();
    return true;
}

bool CFrame::QueryCommand(int id, CommandState& state) {
    state = CommandState{};
    if (activeView_ && activeView_->OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    if (OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    if (g_app && g_app->OnUpdateCommand(id, state)) return true;
    state = CommandState{};
    state.enabled = false;
    return false;
}

bool CFrame::RouteCommand(int id) {
    if (activeView_ && activeView_->OnCommand(id)) return true;
    if (OnCommand(id)) return true;
    return g_app && g_app->OnCommand(id);
}

void CFrame::ApplyState(QAction* a, int id) {
    CommandState state;
    QueryCommand(id, state);
    a->setEnabled(state.enabled);
    a->setCheckable(state.checkable || state.checked);
    a->setChecked(state.checked);
}

void CFrame::UpdateCommandStates() {
    for (const auto& [id, a] : actions_)
        ApplyState(a, id);
}

void CFrame::UpdateMenuStates(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (int id = a->data().toInt()) ApplyState(a, id);
}

void CFrame::Trigger(int id) {
    // A shortcut may fire on a state that has changed since it was last asked.
    CommandState state;
    if (!QueryCommand(id, state) || !state.enabled) {
        if (QAction* a = findAction(id)) ApplyState(a, id);
        return;
    }
    RouteCommand(id);
    if (QAction* a = findAction(id)) ApplyState(a, id);
}

bool CFrame::OnCommand(int id) {
    if (id == ids::kCmdHelp) {
        OpenHelp();
        return true;
    }
    return false;
}

bool CFrame::OnUpdateCommand(int id, CommandState& state) {
    return id == ids::kCmdHelp;
}

void CFrame::closeEvent(QCloseEvent* event) {
    if (!g_app) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    // Ends the program through the application's exit handler, which closes the frames.
    QTimer::singleShot(0, this, [this] { RouteCommand(ids::kCmdExit); });
}

void CFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    UpdateCommandStates();
    stateTimer_->start();
}

void CFrame::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    stateTimer_->stop();
}

} // namespace velmar
