#include "game/MainFrameGame.h"

#include "game/LinesDoc.h"
#include "game/LinesView.h"
#include "res/Ids.h"

namespace velmar {

CMainFrameGame::CMainFrameGame(CLinesDoc* doc, QWidget* parent) : CFrame(parent) {
    setObjectName(QStringLiteral("gameFrame"));
    SetCommandBar(ids::kResGame);
    view_ = new CLinesView(doc, this);
    setCentralWidget(view_);
    SetActiveView(view_);
    view_->setFocus();
    resize(640, 560);
}

} // namespace velmar
