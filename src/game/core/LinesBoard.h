#pragma once
// The Lines board: 9 × 9 cells, each empty (0) or a ball of colour 1 to 7, and the score
// of the running game. It knows the rules that need no randomness: where a ball can go,
// which lines a ball completes and what they earn. No widget in here.

#include <QByteArray>
#include <array>
#include <optional>
#include <vector>

namespace velmar::lines {

constexpr int kBoardSize = 9;
constexpr int kColours = 7;
// The shortest line that vanishes.
constexpr int kLineLength = 5;

struct Cell {
    int x = 0;
    int y = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// Points for the total of one removal (each scoring direction adds its run, the centre
// counted once per direction). Below 5 nothing; from 10 on the total minus 3.
int PointsForTotal(int total);

struct LineCheck {
    bool removed = false;
    int total = 0;
    int points = 0;
    // The emptied cells: the runs in direction order, the centre last.
    std::vector<Cell> cleared;
};

class LinesBoard {
public:
    int size() const { return size_; }
    int score() const { return score_; }
    void setScore(int score) { score_ = score; }

    static bool Inside(Cell c) {
        return c.x >= 0 && c.y >= 0 && c.x < kBoardSize && c.y < kBoardSize;
    }
    // 0 for an empty cell and for any cell off the board.
    int at(Cell c) const { return Inside(c) ? cells_[Index(c)] : 0; }
    void set(Cell c, int value);

    // Empties every cell and sets the score to 0.
    void Clear();
    int EmptyCount() const;
    int BallCount() const { return size_ * size_ - EmptyCount(); }
    bool IsFull() const { return EmptyCount() == 0; }

    // Counting the empty cells 1, 2, 3 ... by x and by y within one x, starting again at
    // the first after the last, the cell where the count reaches k (k >= 1). None when the
    // board is full.
    std::optional<Cell> NthEmpty(int k) const;

    // Whether a ball at `from` can travel to the empty cell `to` through empty cells,
    // stepping across and down only.
    bool HasPath(Cell from, Cell to) const;

    // Removes the lines of five or more through the ball at `c`, along x, along y and both
    // diagonals, and adds their points to the score.
    LineCheck RemoveLines(Cell c);

    // The archive form: size and score as 32-bit little-endian numbers, then size × size
    // cell bytes, x outer and y inner.
    QByteArray Save() const;
    // Takes the archive form back; false (and the board unchanged) when the bytes are not
    // exactly a 9 × 9 board with colours 0 to 7 and a score of 0 or more.
    bool Load(const QByteArray& bytes);

private:
    // The stored layout keeps a spare row and column: cell (x, y) is byte x × 10 + y.
    static int Index(Cell c) { return c.x * 10 + c.y; }

    std::array<quint8, 100> cells_{};
    int size_ = kBoardSize;
    int score_ = 0;
};

} // namespace velmar::lines
