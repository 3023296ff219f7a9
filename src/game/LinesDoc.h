#pragma once
// The game's document: the running game (board, score, previews), the high-score table
// and best, its first score. Views follow it through its signals.

#include "framework/View.h"
#include "game/core/HighScores.h"
#include "game/core/LinesGame.h"

#include <memory>

class QWidget;

namespace velmar {

class CLinesDoc : public CDocument, private lines::GameListener {
    Q_OBJECT
public:
    // Without a source the games are seeded afresh.
    explicit CLinesDoc(std::unique_ptr<lines::RandomSource> random = nullptr,
                       QObject* parent = nullptr);

    lines::LinesGame& game() { return game_; }
    const lines::HighScoreTable& highScores() const { return scores_; }
    int best() const { return best_; }

    // The first game, when the first view comes up; later calls do nothing.
    void StartFirstGame();
    // A score that beats the tenth entry asks for a name and enters the table.
    void OfferScore(int score) override;
    // The "High Scores" dialog.
    void ShowHighScores();

    // "New Game" and "High Scores"; the view passes them on.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

signals:
    void cellChanged(int x, int y);
    void boardChanged();
    void scoreChanged(int score);
    void bestChanged(int best);
    void previewChanged();
    void sound(lines::Beep beep);

private:
    void LoadScores();

    void GameOver() override;
    void CellChanged(lines::Cell c) override { emit cellChanged(c.x, c.y); }
    void BoardChanged() override { emit boardChanged(); }
    void ScoreChanged(int score) override { emit scoreChanged(score); }
    void PreviewChanged() override { emit previewChanged(); }
    void Sound(lines::Beep beep) override { emit sound(beep); }

    lines::LinesGame game_;
    lines::HighScoreTable scores_;
    int best_ = 0;
    bool started_ = false;
};

} // namespace velmar
