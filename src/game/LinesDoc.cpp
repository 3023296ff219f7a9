#include "game/LinesDoc.h"

#include "framework/Dialogs.h"
#include "framework/Frame.h"
#include "framework/Message.h"
#include "framework/Routing.h"
#include "game/HighScoreDialogs.h"
#include "res/Ids.h"

namespace velmar {

namespace {
std::unique_ptr<lines::RandomSource> OrFresh(std::unique_ptr<lines::RandomSource> random) {
    if (random) return random;
    return std::make_unique<lines::Random>(lines::Random::FreshSeed());
}
} // namespace

CLinesDoc::CLinesDoc(std::unique_ptr<lines::RandomSource> random, QObject* parent)
    : CDocument(parent), game_(OrFresh(std::move(random))) {
    setObjectName(QStringLiteral("CLinesDoc"));
    game_.SetListener(this);
    LoadScores();
}

void CLinesDoc::LoadScores() {
    scores_.Load();
    best_ = scores_.best();
}

void CLinesDoc::StartFirstGame() {
    if (started_) return;
    started_ = true;
    game_.NewGame();
}

void CLinesDoc::OfferScore(int score) {
    if (!scores_.Qualifies(score)) return;
    InsertNameDialog dialog(score, ActiveFrame());
    if (RunModal(dialog) != QDialog::Accepted) return;
    // One write, merged with what another running copy stored meanwhile.
    scores_.Record(dialog.name(), score);
    best_ = scores_.best();
    emit bestChanged(best_);
}

void CLinesDoc::ShowHighScores() {
    HighScoresDialog dialog(scores_.entries(), ActiveFrame());
    RunModal(dialog);
}

void CLinesDoc::GameOver() {
    ShowMessage(QStringLiteral("The End."));
}

bool CLinesDoc::OnCommand(int id) {
    switch (id) {
    case ids::kCmdNewGame:
        started_ = true;
        game_.NewGame();
        return true;
    case ids::kCmdHighScores:
        ShowHighScores();
        return true;
    default:
        return false;
    }
}

bool CLinesDoc::OnUpdateCommand(int id, CommandState& state) {
    return id == ids::kCmdNewGame || id == ids::kCmdHighScores;
}

} // namespace velmar
