#include "game/core/LinesBoard.h"

#include <QtEndian>
#include <deque>

namespace velmar::lines {

namespace {

// Points by total, 0 to 29. The drop from 9 to 10 is part of the game.
constexpr std::array<int, 30> kPoints{0,  0,  0,  0,  0,  10, 12, 18, 26, 48, 7,  8,  9,  10, 11,
                                      12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26};

constexpr std::array<Cell, 4> kDirections{Cell{1, 0}, Cell{0, 1}, Cell{1, 1}, Cell{1, -1}};

Cell Step(Cell c, Cell d, int sense) {
    return Cell{c.x + d.x * sense, c.y + d.y * sense};
}

} // namespace

int PointsForTotal(int total) {
    if (total < 0) return 0;
    if (total < int(kPoints.size())) return kPoints[size_t(total)];
    // Several long lines at once can pass the table; the rule of its upper part goes on.
    return total - 3;
}

void LinesBoard::set(Cell c, int value) {
    if (Inside(c)) cells_[Index(c)] = quint8(value);
}

void LinesBoard::Clear() {
    cells_.fill(0);
    score_ = 0;
}

int LinesBoard::EmptyCount() const {
    int n = 0;
    for (int x = 0; x < size_; ++x)
        for (int y = 0; y < size_; ++y)
            n += at({x, y}) == 0;
    return n;
}

std::optional<Cell> LinesBoard::NthEmpty(int k) const {
    const int empty = EmptyCount();
    if (empty == 0 || k < 1) return std::nullopt;
    // Walking round and round lands where the count modulo the empty cells does.
    int wanted = (k - 1) % empty;
    for (int x = 0; x < size_; ++x)
        for (int y = 0; y < size_; ++y)
            if (at({x, y}) == 0 && wanted-- == 0) return Cell{x, y};
    return std::nullopt;
}

bool LinesBoard::HasPath(Cell from, Cell to) const {
    if (!Inside(from) || !Inside(to) || at(to) != 0 || from == to) return false;
    std::array<bool, 100> seen{};
    std::deque<Cell> queue{from};
    seen[size_t(Index(from))] = true;
    static constexpr std::array<Cell, 4> kNeighbours{Cell{-1, 0}, Cell{1, 0}, Cell{0, -1},
                                                     Cell{0, 1}};
    while (!queue.empty()) {
        const Cell c = queue.front();
        queue.pop_front();
        for (Cell d : kNeighbours) {
            const Cell n{c.x + d.x, c.y + d.y};
            if (!Inside(n)) continue;
            if (n == to) return true;
            if (at(n) != 0 || seen[size_t(Index(n))]) continue;
            seen[size_t(Index(n))] = true;
            queue.push_back(n);
        }
    }
    return false;
}

LineCheck LinesBoard::RemoveLines(Cell c) {
    LineCheck result;
    const int colour = at(c);
    if (colour == 0) return result;
    for (Cell d : kDirections) {
        std::vector<Cell> run;
        for (int sense : {-1, 1})
            for (Cell n = Step(c, d, sense); Inside(n) && at(n) == colour; n = Step(n, d, sense))
                run.push_back(n);
        const int count = 1 + int(run.size());
        if (count < kLineLength) continue;
        result.removed = true;
        result.total += count;
        for (Cell r : run) {
            set(r, 0);
            result.cleared.push_back(r);
        }
    }
    if (!result.removed) return result;
    set(c, 0);
    result.cleared.push_back(c);
    result.points = PointsForTotal(result.total);
    score_ += result.points;
    return result;
}

QByteArray LinesBoard::Save() const {
    QByteArray bytes(8, '\0');
    qToLittleEndian<qint32>(size_, bytes.data());
    qToLittleEndian<qint32>(score_, bytes.data() + 4);
    for (int x = 0; x < size_; ++x)
        for (int y = 0; y < size_; ++y)
            bytes.append(char(at({x, y})));
    return bytes;
}

bool LinesBoard::Load(const QByteArray& bytes) {
    if (bytes.size() < 8) return false;
    const int size = qFromLittleEndian<qint32>(bytes.constData());
    const int score = qFromLittleEndian<qint32>(bytes.constData() + 4);
    // The cell array has room for 9 × 9 only: any other size would read or write past it.
    if (size != kBoardSize || score < 0 || bytes.size() != 8 + size * size) return false;
    std::array<quint8, 100> cells{};
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y) {
            const auto value = quint8(bytes[8 + x * size + y]);
            if (value > kColours) return false;
            cells[size_t(Index({x, y}))] = value;
        }
    cells_ = cells;
    size_ = size;
    score_ = score;
    return true;
}

} // namespace velmar::lines
