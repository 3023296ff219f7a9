// The Lines rules without a window: lines and their points, paths, where new balls land,
// the archive form, and the turns of a game with scripted random numbers.
#include "ScriptedRandom.h"
#include "game/core/LinesGame.h"

#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::lines;
using test::BallAt;
using test::BoardFrom;

namespace {

struct LineCase {
    const char* name;
    std::initializer_list<const char*> rows;
    Cell centre;
    int total;
    int points;
    int ballsLeft;
};

const LineCase kLineCases[] = {
    {"fourDoNothing", {"1111....."}, {3, 0}, 0, 0, 4},
    {"fiveAcross", {"11111...."}, {4, 0}, 5, 10, 0},
    {"fiveAtTheFarEdge", {"....22222"}, {4, 0}, 5, 10, 0},
    {"sixAcross", {".333333.."}, {3, 0}, 6, 12, 0},
    {"fiveDownWithOthersBeside", {".4.", ".4.", "14.", ".41", ".4.", "5.."}, {1, 2}, 5, 10, 3},
    {"fiveDiagonalDown", {"5", ".5", "..5", "...5", "....5"}, {2, 2}, 5, 10, 0},
    {"fiveDiagonalUp", {"....6", "...6", "..6", ".6", "6"}, {0, 4}, 5, 10, 0},
    {"aStrangerBreaksTheRun", {"11211111."}, {3, 0}, 5, 10, 3},
    {"theCentreMustMatch", {"11711....."}, {2, 0}, 0, 0, 5},
    // Across and down through one ball: total 10 earns less than a single line of nine.
    {"crossingFivesScoreSeven", {"..1..", "..1..", "11111", "..1..", "..1.."}, {2, 2}, 10, 7, 0},
    {"nineAcrossScoresFortyEight", {"777777777"}, {8, 0}, 9, 48, 0},
    {"fourLinesThroughOneBall", {"3.3.3", ".333.", "33333", ".333.", "3.3.3"}, {2, 2}, 20, 17, 0},
};

} // namespace

class LineCheckTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineCheckTest, RemovesTheLinesThroughTheBallAndScoresByTheTable) {
    const LineCase& c = GetParam();
    LinesBoard board = BoardFrom(c.rows, 100);
    const int before = board.BallCount();
    const LineCheck check = board.RemoveLines(c.centre);
    EXPECT_EQ(check.removed, c.total > 0);
    EXPECT_EQ(check.total, c.total);
    EXPECT_EQ(check.points, c.points);
    EXPECT_EQ(board.score(), 100 + c.points);
    EXPECT_EQ(board.BallCount(), c.ballsLeft);
    EXPECT_EQ(int(check.cleared.size()), before - c.ballsLeft);
    if (check.removed) EXPECT_EQ(check.cleared.back(), c.centre);
}

INSTANTIATE_TEST_SUITE_P(Lines, LineCheckTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScoreTable, KeepsItsDipAtTenAndGoesOnAboveTwentyNine) {
    const std::pair<int, int> cases[] = {{0, 0},   {4, 0},   {5, 10},  {6, 12},  {7, 18},
                                         {8, 26},  {9, 48},  {10, 7},  {11, 8},  {14, 11},
                                         {20, 17}, {25, 22}, {29, 26}, {30, 27}, {36, 33}};
    for (auto [total, points] : cases)
        EXPECT_EQ(PointsForTotal(total), points) << "total " << total;
}

TEST(Paths, GoAcrossAndDownThroughEmptyCellsOnly) {
    struct Case {
        const char* name;
        std::initializer_list<const char*> rows;
        Cell from, to;
        bool reachable;
    };
    const Case cases[] = {
        {"openBoard", {"1"}, {0, 0}, {8, 8}, true},
        {"enclosedCell",
         {"1........", ".....2...", "....2.2..", ".....2..."},
         {0, 0},
         {5, 2},
         false},
        {"diagonalGapIsNoWay",
         {"1........", "...2.....", "..2.2....", "...2....."},
         {0, 0},
         {3, 2},
         false},
        {"wallWithOneGap",
         {"1...2....", "....2....", "....2....", "....2....", "....2....", "....2....", "....2....",
          "....2....", "........."},
         {0, 0},
         {8, 0},
         true},
        {"wallAcross",
         {"1...2....", "....2....", "....2....", "....2....", "....2....", "....2....", "....2....",
          "....2....", "....2...."},
         {0, 0},
         {8, 0},
         false},
        {"ballsAroundTheSourceBlockIt", {"12.", "2.."}, {0, 0}, {2, 2}, false},
        {"targetHoldsABall", {"1.2"}, {0, 0}, {2, 0}, false},
    };
    for (const Case& c : cases) {
        const LinesBoard board = BoardFrom(c.rows);
        EXPECT_EQ(board.HasPath(c.from, c.to), c.reachable) << c.name;
    }
}

TEST(NewBallPlaces, CountRoundTheEmptyCellsByXThenY) {
    LinesBoard board;
    // The count starts at the first empty cell: k = 1 is (0,0), k = 10 is (1,0).
    EXPECT_EQ(board.NthEmpty(1), (Cell{0, 0}));
    EXPECT_EQ(board.NthEmpty(10), (Cell{1, 0}));
    EXPECT_EQ(board.NthEmpty(20), (Cell{2, 1}));
    EXPECT_EQ(board.NthEmpty(81 + 20), (Cell{2, 1}));
    // Filled cells are not counted; the count starts again after the last empty one.
    board = BoardFrom({"1........", ".........", "........."});
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            if (!(x == 3 && y == 4) && !(x == 7 && y == 0)) board.set({x, y}, 1);
    EXPECT_EQ(board.NthEmpty(1), (Cell{3, 4}));
    EXPECT_EQ(board.NthEmpty(2), (Cell{7, 0}));
    EXPECT_EQ(board.NthEmpty(1019), (Cell{3, 4}));
    board.set({3, 4}, 2);
    board.set({7, 0}, 2);
    EXPECT_EQ(board.NthEmpty(20), std::nullopt);
}

TEST(Archive, WritesSizeScoreAndCellsXOuterAndReadsOnlyWhatItWrote) {
    LinesBoard board = BoardFrom({".3", "5......", "......."}, 1234);
    board.set({8, 8}, 7);
    const QByteArray bytes = board.Save();
    ASSERT_EQ(bytes.size(), 8 + 81);
    EXPECT_EQ(bytes.left(8), QByteArray::fromHex("09000000d2040000"));
    EXPECT_EQ(bytes[8 + 0 * 9 + 1], 5); // (0, 1)
    EXPECT_EQ(bytes[8 + 1 * 9 + 0], 3); // (1, 0)
    EXPECT_EQ(bytes[8 + 8 * 9 + 8], 7); // (8, 8)
    EXPECT_EQ(bytes.count('\0') - 5, 81 - 3);

    LinesBoard back;
    ASSERT_TRUE(back.Load(bytes));
    EXPECT_EQ(back.Save(), bytes);
    EXPECT_EQ(back.score(), 1234);

    struct Bad {
        const char* name;
        QByteArray bytes;
    };
    QByteArray tenWide = bytes;
    tenWide[0] = 10;
    tenWide.append(19, '\0');
    QByteArray badColour = bytes;
    badColour[8 + 40] = 8;
    QByteArray negative = bytes;
    negative[7] = char(0x80);
    const Bad bad[] = {{"empty", {}},
                       {"truncated", bytes.left(50)},
                       {"longer", bytes + QByteArray(1, '\0')},
                       {"sizeTen", tenWide},
                       {"colourEight", badColour},
                       {"negativeScore", negative}};
    for (const Bad& b : bad) {
        EXPECT_FALSE(back.Load(b.bytes)) << b.name;
        EXPECT_EQ(back.Save(), bytes) << b.name;
    }
}

namespace {

// Records what the game reports, in order.
struct Recorder : GameListener {
    std::vector<int> offers;
    int gameOvers = 0;
    int boardRedraws = 0;
    std::vector<Beep> beeps;
    std::vector<Cell> redrawn;
    std::vector<int> scores;
    // The ball count when each game-over came: the board must be full then.
    std::vector<int> ballsAtGameOver;
    const LinesGame* game = nullptr;

    void OfferScore(int score) override { offers.push_back(score); }
    void GameOver() override {
        ++gameOvers;
        ballsAtGameOver.push_back(game->board().BallCount());
    }
    void CellChanged(Cell c) override { redrawn.push_back(c); }
    void BoardChanged() override { ++boardRedraws; }
    void ScoreChanged(int score) override { scores.push_back(score); }
    void Sound(Beep beep) override { beeps.push_back(beep); }
};

struct GameTest : ::testing::Test {
    std::deque<quint32> script;
    LinesGame game{std::make_unique<test::ScriptedRandom>(&script)};
    Recorder seen;
    GameTest() {
        seen.game = &game;
        game.SetListener(&seen);
    }
    void SetBoard(std::initializer_list<const char*> rows, int score = 0) {
        game.board() = BoardFrom(rows, score);
    }
    // Queues the numbers that bring the next balls to these cells, on the board as it will
    // be then: after the move `from` -> `to` (when given), each ball in its cell with any
    // line it completes gone before the next is placed.
    void QueueBalls(std::initializer_list<std::pair<int, Cell>> balls,
                    std::optional<std::pair<Cell, Cell>> move = std::nullopt) {
        LinesBoard future = game.board();
        if (move) {
            future.set(move->second, future.at(move->first));
            future.set(move->first, 0);
        }
        for (auto [colour, cell] : balls) {
            const std::deque<quint32> numbers = BallAt(future, colour, cell);
            ASSERT_EQ(numbers.size(), 2u);
            script.insert(script.end(), numbers.begin(), numbers.end());
            future.set(cell, colour);
            future.RemoveLines(cell);
        }
    }
};

} // namespace

TEST_F(GameTest, ANewGameOffersTheOldScoreAndStartsWithFiveBallsAndNoScore) {
    SetBoard({"1111....."}, 57);
    game.Tap({0, 0});
    game.NewGame();
    EXPECT_EQ(seen.offers, std::vector<int>{57});
    EXPECT_EQ(game.board().BallCount(), 5);
    EXPECT_EQ(game.score(), 0);
    EXPECT_EQ(game.selected(), std::nullopt);
    EXPECT_EQ(seen.boardRedraws, 1);
    EXPECT_EQ(seen.scores.front(), 0);
}

TEST_F(GameTest, TapsSelectBallsAndMoveTheSelectedOne) {
    SetBoard({"1........", ".........", "..2......"});
    struct Step {
        Cell tap;
        TapResult result;
        std::optional<Cell> selected;
    };
    const Step steps[] = {
        {{5, 5}, TapResult::Ignored, std::nullopt}, // empty, nothing selected
        {{0, 0}, TapResult::Selected, Cell{0, 0}},
        {{0, 0}, TapResult::Selected, Cell{0, 0}}, // the same ball again
        {{2, 2}, TapResult::Selected, Cell{2, 2}}, // a second ball takes the selection
        {{-1, 3}, TapResult::Ignored, Cell{2, 2}}, // off the board
        {{9, 0}, TapResult::Ignored, Cell{2, 2}},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(game.Tap(s.tap), s.result) << s.tap.x << "," << s.tap.y;
        EXPECT_EQ(game.selected(), s.selected) << s.tap.x << "," << s.tap.y;
    }
    EXPECT_EQ(game.board().BallCount(), 2);
}

TEST_F(GameTest, AMoveThatCompletesNothingBringsThreeBalls) {
    SetBoard({"1........", ".........", "..2......"});
    QueueBalls({{3, {8, 8}}, {4, {7, 8}}, {5, {6, 8}}}, {{{0, 0}, {0, 5}}});
    game.Tap({0, 0});
    EXPECT_EQ(game.Tap({0, 5}), TapResult::Moved);
    EXPECT_EQ(game.board().at({0, 0}), 0);
    EXPECT_EQ(game.board().at({0, 5}), 1);
    EXPECT_EQ(game.board().at({8, 8}), 3);
    EXPECT_EQ(game.board().at({7, 8}), 4);
    EXPECT_EQ(game.board().at({6, 8}), 5);
    EXPECT_EQ(game.board().BallCount(), 5);
    EXPECT_EQ(game.selected(), std::nullopt);
    // Both cells of the move are redrawn before the new balls come.
    ASSERT_GE(seen.redrawn.size(), 5u);
    EXPECT_EQ(seen.redrawn[1], (Cell{0, 0}));
    EXPECT_EQ(seen.redrawn[2], (Cell{0, 5}));
}

TEST_F(GameTest, AMoveThatCompletesALineScoresAndBringsNoBalls) {
    SetBoard({"1111.....", ".........", "....1....", "........2"}, 5);
    game.Tap({4, 2});
    EXPECT_EQ(game.Tap({4, 0}), TapResult::Moved);
    EXPECT_EQ(game.score(), 15);
    EXPECT_EQ(game.board().BallCount(), 1);
    EXPECT_EQ(seen.beeps, std::vector<Beep>{Beep::Line});
    EXPECT_EQ(seen.scores, std::vector<int>{15});
}

TEST_F(GameTest, AMoveToAnEnclosedCellDoesNotHappenAndBeeps) {
    SetBoard({"1........", ".........", "....2....", "...2.2...", "....2...."});
    game.Tap({0, 0});
    const LinesBoard before = game.board();
    EXPECT_EQ(game.Tap({4, 3}), TapResult::Blocked);
    EXPECT_EQ(game.board().Save(), before.Save());
    EXPECT_EQ(game.selected(), (Cell{0, 0}));
    EXPECT_EQ(seen.beeps, std::vector<Beep>{Beep::Blocked});
}

TEST_F(GameTest, NewBallsThatCompleteALineVanishAndScore) {
    SetBoard({"6666.....", ".........", "1........"});
    QueueBalls({{3, {8, 8}}, {6, {4, 0}}, {5, {6, 8}}}, {{{0, 2}, {0, 4}}});
    game.Tap({0, 2});
    ASSERT_EQ(game.Tap({0, 4}), TapResult::Moved);
    EXPECT_EQ(game.score(), 10);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(game.board().at({x, 0}), 0) << x;
    // The third ball still comes after the line vanished.
    EXPECT_EQ(game.board().at({6, 8}), 5);
    EXPECT_EQ(game.board().BallCount(), 3);
}

TEST_F(GameTest, TheNextColoursAreTheOnesTheNextBallsTake) {
    game.setShowNext(true);
    game.board() = BoardFrom({"1"});
    game.AddBalls(3);
    std::vector<int> previews;
    for (int i = 0; i < 3; ++i)
        previews.push_back(game.nextColour(i));
    for (int c : previews)
        EXPECT_TRUE(c >= 1 && c <= kColours);
    EXPECT_EQ(game.nextColour(3), -1);

    const LinesBoard before = game.board();
    game.AddBalls(3);
    std::vector<int> arrived;
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            if (before.at({x, y}) == 0 && game.board().at({x, y}) != 0)
                arrived.push_back(game.board().at({x, y}));
    std::sort(arrived.begin(), arrived.end());
    std::sort(previews.begin(), previews.end());
    // Unless they happened to complete a line, which this seed does not.
    EXPECT_EQ(arrived, previews);
}

TEST_F(GameTest, AFullBoardEndsTheGameAndTheNextStartsAtOnce) {
    // Three empty cells left in a pattern of colours that can never make a line.
    LinesBoard full;
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            full.set({x, y}, (x + 2 * y) % 4 + 1);
    full.set({8, 8}, 0);
    full.set({4, 4}, 0);
    full.setScore(31);
    game.board() = full;
    // Two balls fill the board; the third finds no room, is dropped, and the game ends.
    QueueBalls({{7, {8, 7}}, {7, {4, 4}}}, {{{8, 7}, {8, 8}}});
    script.push_back(6); // the dropped ball's colour: it takes no place number
    game.Tap({8, 7});
    ASSERT_EQ(game.Tap({8, 8}), TapResult::Moved);
    EXPECT_EQ(seen.gameOvers, 1);
    EXPECT_EQ(seen.ballsAtGameOver, std::vector<int>{81});
    EXPECT_EQ(seen.offers, std::vector<int>{31});
    EXPECT_EQ(game.score(), 0);
    EXPECT_EQ(game.board().BallCount(), 5);
    EXPECT_EQ(game.selected(), std::nullopt);
}

TEST_F(GameTest, WhenTheLastBallFillsTheBoardTheGameEndsAfterIt) {
    LinesBoard full;
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            full.set({x, y}, (x + 2 * y) % 4 + 1);
    full.set({1, 1}, 0);
    full.set({3, 3}, 0);
    full.set({5, 6}, 0);
    full.setScore(12);
    game.board() = full;
    QueueBalls({{7, {1, 0}}, {7, {3, 3}}, {7, {5, 6}}}, {{{1, 0}, {1, 1}}});
    game.Tap({1, 0});
    ASSERT_EQ(game.Tap({1, 1}), TapResult::Moved);
    EXPECT_EQ(seen.ballsAtGameOver, std::vector<int>{81});
    EXPECT_EQ(seen.offers, std::vector<int>{12});
    EXPECT_EQ(game.board().BallCount(), 5);
}
