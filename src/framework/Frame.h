#pragma once
// A frame: a main window with a command bar (menu bar and tool bar built from the tables
// of res/MenuTables.h) and an active view. Every command is a QAction carrying its id;
// a triggered command goes to the active view, then the frame, then the application,
// and the first target that handles it wins. States are asked along the same route
// before a menu opens, when the focus moves, and on a short timer for the tool bar.

#include "framework/Command.h"

#include <QMainWindow>
#include <map>

class QAction;
class QMenu;
class QTimer;
class QToolBar;

namespace velmar {

class CView;

class CFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CFrame(QWidget* parent = nullptr);
    ~CFrame() override;

    CView* activeView() const { return activeView_; }
    void SetActiveView(CView* view);

    // Replaces menu bar and tool bar by resource `resourceId`; false when there is no such
    // table (the bar is then left as it was).
    bool SetCommandBar(int resourceId);
    int commandBarId() const { return commandBarId_; }
    QToolBar* toolBar() const { return toolBar_; }

    // The action of command `id`, made on first use and kept for the frame's life, so that
    // its shortcut works whichever bar is up.
    QAction* action(int id);
    // The action of `id` if the frame has made one.
    QAction* findAction(int id) const;

    // Route `id`: view, frame, application. True when someone handled it.
    bool RouteCommand(int id);
    // Asks the route for the state of `id`; false when nobody knows the command (it is then
    // shown disabled).
    bool QueryCommand(int id, CommandState& state);
    // Brings every action of the frame (or of `menu`) up to date.
    void UpdateCommandStates();
    void UpdateMenuStates(QMenu* menu);

    // The frame's own commands: the help request.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    // Closing any frame's window ends the program, as "E&xit" does.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Trigger(int id);
    void ApplyState(QAction* action, int id);

    CView* activeView_ = nullptr;
    int commandBarId_ = 0;
    QToolBar* toolBar_ = nullptr;
    QTimer* stateTimer_ = nullptr;
    std::map<int, QAction*> actions_;
};

} // namespace velmar
