#pragma once
// A random source for the game tests: the queued numbers first, then a fixed-seed stream.

#include "game/core/LinesBoard.h"
#include "game/core/Random.h"

#include <deque>

namespace velmar::test {

class ScriptedRandom : public lines::RandomSource {
public:
    explicit ScriptedRandom(std::deque<quint32>* script, quint32 seed = 1)
        : script_(script), rest_(seed) {}
    quint32 Next() override {
        if (script_ && !script_->empty()) {
            const quint32 n = script_->front();
            script_->pop_front();
            return n;
        }
        return rest_.Next();
    }

private:
    std::deque<quint32>* script_;
    lines::Random rest_;
};

// The two numbers that bring a ball of `colour` to `target` on `board` (which must have
// `target` empty): first the colour, then the place.
inline std::deque<quint32> BallAt(const lines::LinesBoard& board, int colour, lines::Cell target) {
    for (quint32 r = 0; r < 1000; ++r)
        if (board.NthEmpty(int(r % 1000) + 20) == target) return {quint32(colour - 1), r};
    return {};
}

// A board drawn as nine rows of nine characters, y down the rows: '.' empty, '1'-'7' balls.
inline lines::LinesBoard BoardFrom(std::initializer_list<const char*> rows, int score = 0) {
    lines::LinesBoard b;
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; row[x] && x < lines::kBoardSize; ++x)
            b.set({x, y}, row[x] == '.' ? 0 : row[x] - '0');
        ++y;
    }
    b.setScore(score);
    return b;
}

// A board no line can ever come out of (no two neighbours share a colour), with a few
// empty cells.
inline lines::LinesBoard Crowded(std::initializer_list<lines::Cell> empty) {
    lines::LinesBoard board;
    for (int x = 0; x < lines::kBoardSize; ++x)
        for (int y = 0; y < lines::kBoardSize; ++y)
            board.set({x, y}, (x + 2 * y) % 4 + 1);
    for (lines::Cell c : empty)
        board.set(c, 0);
    return board;
}

} // namespace velmar::test
