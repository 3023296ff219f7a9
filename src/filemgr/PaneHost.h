#pragma once
// What a pane needs of the frame that holds it. The main frame implements it; tests put a
// small recorder in its place.

#include <QString>

namespace velmar {

class CPaneList;

class PaneHost {
public:
    virtual ~PaneHost() = default;
    // Replace the menu bar and tool bar by resource id (128, 151 or 152).
    virtual void SetMenuBar(int resourceId) = 0;
    // Show the focused row's full path in the path field.
    virtual void SetPathText(const QString& text) = 0;
    // The pane took the keyboard focus: commands now go to it.
    virtual void SetActivePane(CPaneList* pane) = 0;
    // The target of copy and move: the second pane for the first, else the first.
    virtual CPaneList* OtherPane(CPaneList* pane) = 0;
    // The pane commands go to; none when the host does not tell.
    virtual CPaneList* ActivePane() const { return nullptr; }
    // A key is about to be matched against the command shortcuts: their enabled states must
    // be those of this moment (a disabled action's key is not taken).
    virtual void RefreshCommandStates() {}
};

} // namespace velmar
