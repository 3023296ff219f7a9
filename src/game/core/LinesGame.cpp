#include "game/core/LinesGame.h"

#include <algorithm>

namespace velmar::lines {

LinesGame::LinesGame(std::unique_ptr<RandomSource> random) : random_(std::move(random)) {
    next_.fill(-1);
    listener_ = &silent_;
}

int LinesGame::nextColour(int slot) const {
    return slot >= 0 && slot < kPreviewSlots ? next_[size_t(slot)] : -1;
}

int LinesGame::RandomColour() {
    return int(random_->Next() % kColours) + 1;
}

void LinesGame::NewGame() {
    listener_->OfferScore(board_.score());
    board_.Clear();
    selected_.reset();
    listener_->ScoreChanged(0);
    AddBalls(kNewGameBalls);
    listener_->BoardChanged();
}

void LinesGame::EndOfGame() {
    listener_->GameOver();
    NewGame();
}

void LinesGame::AddBalls(int n) {
    n = std::clamp(n, 0, kPreviewSlots);
    // Every ball's colour is fixed before the first is placed: a board that fills on the
    // way starts a new game, whose own balls must not change the colours of the rest.
    std::array<int, kPreviewSlots> colours{};
    for (int i = 0; i < n; ++i) {
        int& preview = next_[size_t(i)];
        colours[size_t(i)] = showNext_ && preview != -1 ? preview : RandomColour();
        preview = -1;
    }
    for (int i = 0; i < n; ++i) {
        if (board_.IsFull()) {
            // The ball that found no room is dropped; the rest go on the new board.
            EndOfGame();
            continue;
        }
        const int k = int(random_->Next() % 1000) + 20;
        const Cell c = *board_.NthEmpty(k);
        board_.set(c, colours[size_t(i)]);
        listener_->CellChanged(c);
        CheckLines(c);
    }
    if (board_.IsFull()) EndOfGame();
    Deselect();
    if (showNext_) {
        for (int i = 0; i < n; ++i)
            next_[size_t(i)] = RandomColour();
    }
    listener_->PreviewChanged();
}

void LinesGame::Deselect() {
    if (!selected_) return;
    const Cell c = *selected_;
    selected_.reset();
    listener_->CellChanged(c);
}

bool LinesGame::CheckLines(Cell c) {
    const LineCheck check = board_.RemoveLines(c);
    if (!check.removed) return false;
    listener_->Sound(Beep::Line);
    for (Cell gone : check.cleared)
        listener_->CellChanged(gone);
    listener_->ScoreChanged(board_.score());
    return true;
}

TapResult LinesGame::Tap(Cell c) {
    if (!LinesBoard::Inside(c)) return TapResult::Ignored;
    if (board_.at(c) != 0) {
        Deselect();
        selected_ = c;
        listener_->CellChanged(c);
        return TapResult::Selected;
    }
    if (!selected_) return TapResult::Ignored;
    const Cell from = *selected_;
    if (!board_.HasPath(from, c)) {
        listener_->Sound(Beep::Blocked);
        return TapResult::Blocked;
    }
    board_.set(c, board_.at(from));
    board_.set(from, 0);
    selected_.reset();
    listener_->CellChanged(from);
    listener_->CellChanged(c);
    if (!CheckLines(c)) AddBalls(kTurnBalls);
    return TapResult::Moved;
}

} // namespace velmar::lines
