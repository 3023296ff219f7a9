#pragma once
// Command routing: every menu and tool-bar command is a QAction carrying its numeric id.
// A command goes to the active view, then its frame, then the application; the first
// target that handles the id wins. Enabled and checked states are asked along the same route.

namespace velmar {

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when this target handled the command.
    virtual bool OnCommand(int id) { return false; }
    // True when this target knows the command; `state` is then filled in.
    virtual bool OnUpdateCommand(int id, CommandState& state) { return false; }
};

} // namespace velmar
