#pragma once
// The game mode's frame: its own menu and tool bar (150) and the board view.

#include "framework/Frame.h"

namespace velmar {

class CLinesDoc;
class CLinesView;

class CMainFrameGame : public CFrame {
    Q_OBJECT
public:
    explicit CMainFrameGame(CLinesDoc* doc, QWidget* parent = nullptr);
    CLinesView* view() const { return view_; }

private:
    CLinesView* view_ = nullptr;
};

} // namespace velmar
