#pragma once
// One game of Lines: the board, the selected ball, the preview colours, and the turn
// rules (new balls, moves, the end of a game). The view turns taps and keys into cells and
// draws what the listener reports; the document offers scores to the high-score table.

#include "game/core/LinesBoard.h"
#include "game/core/Random.h"

#include <array>
#include <memory>
#include <optional>

namespace velmar::lines {

enum class Beep {
    Blocked, // no path to the tapped cell
    Line,    // a line vanished
};

class GameListener {
public:
    virtual ~GameListener() = default;
    // A game ends (new game, or a full board): its score goes to the high-score table.
    virtual void OfferScore(int score) {}
    // The board is full; the next game starts when this returns.
    virtual void GameOver() {}
    virtual void CellChanged(Cell c) {}
    // A new game has its first balls: everything is to be drawn again.
    virtual void BoardChanged() {}
    virtual void ScoreChanged(int score) {}
    virtual void PreviewChanged() {}
    virtual void Sound(Beep beep) {}
};

enum class TapResult {
    Ignored,  // off the board, or an empty cell with nothing selected
    Selected, // a ball is now selected
    Moved,    // the selected ball moved
    Blocked,  // no path: the selection stays
};

// Preview slots kept; a new game fills five of them, the three shown are used by a turn.
constexpr int kPreviewSlots = 10;
constexpr int kShownPreviews = 3;
constexpr int kNewGameBalls = 5;
constexpr int kTurnBalls = 3;

class LinesGame {
public:
    explicit LinesGame(std::unique_ptr<RandomSource> random);

    void SetListener(GameListener* listener) { listener_ = listener; }
    void SetRandom(std::unique_ptr<RandomSource> random) { random_ = std::move(random); }

    // Offers the running game's score, empties the board and places five balls.
    void NewGame();
    // Brings n new balls in from the preview colours (or at random).
    void AddBalls(int n);
    // A tap on cell `c`: select a ball, or move the selected one there.
    TapResult Tap(Cell c);

    bool showNext() const { return showNext_; }
    void setShowNext(bool on) { showNext_ = on; }
    // The preview colour of `slot`, or -1 for none.
    int nextColour(int slot) const;

    std::optional<Cell> selected() const { return selected_; }
    const LinesBoard& board() const { return board_; }
    // For setting up positions; the caller redraws.
    LinesBoard& board() { return board_; }
    int score() const { return board_.score(); }

private:
    int RandomColour();
    void Deselect();
    // The line check at `c` with its sounds and redraws; true when a line vanished.
    bool CheckLines(Cell c);
    void EndOfGame();

    LinesBoard board_;
    std::unique_ptr<RandomSource> random_;
    GameListener* listener_ = nullptr;
    GameListener silent_;
    std::array<int, kPreviewSlots> next_;
    std::optional<Cell> selected_;
    bool showNext_ = false;
};

} // namespace velmar::lines
