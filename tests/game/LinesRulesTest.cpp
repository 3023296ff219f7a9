// The Lines rules without a window: lines and their points, paths, where new balls land,
// the archive form, and the turns of a game with scripted random numbers.
#include "ScriptedRandom.h"
#include "game/core/LinesGame.h"

#include <gtest/gtest.h>
#include <map>

using namespace velmar;
using namespace velmar::lines;
using test::BoardFrom;

namespace {

struct LineCase {
    const char* name;
    std::initializer_list<const char*> rows;
    Cell centre;
    int total, points, ballsLeft;
};

const LineCase kLineCases[] = {
    {"fourDoNothing", {"1111....."}, {3, 0}, 0, 0, 4},
    {"fiveAtTheFarEdge", {"....22222"}, {4, 0}, 5, 10, 0},
    {"sixAcross", {".333333.."}, {3, 0}, 6, 12, 0},
    {"fiveDownBesideOthers", {".4.", ".4.", "14.", ".41", ".4.", "5.."}, {1, 2}, 5, 10, 3},
    {"fiveDiagonalUp", {"....6", "...6", "..6", ".6", "6"}, {0, 4}, 5, 10, 0},
    {"aStrangerEndsTheRun", {"11211111."}, {3, 0}, 5, 10, 3},
    {"nineScoreFortyEight", {"777777777"}, {8, 0}, 9, 48, 0},
    // Across and down through one ball: a total of 10 earns less than a line of nine.
    {"crossingFivesScoreSeven", {"..1..", "..1..", "11111", "..1..", "..1.."}, {2, 2}, 10, 7, 0},
    {"fourLinesThroughOneBall", {"3.3.3", ".333.", "33333", ".333.", "3.3.3"}, {2, 2}, 20, 17, 0},
};

} // namespace

TEST(Board, RemovesTheLinesThroughTheBallAndScoresByTheTable) {
    for (const LineCase& c : kLineCases) {
        LinesBoard board = BoardFrom(c.rows, 100);
        const int total = board.RemoveLines(c.centre).total;
        EXPECT_EQ(std::tuple(total, board.score(), board.BallCount()),
                  std::tuple(c.total, 100 + c.points, c.ballsLeft))
            << c.name;
    }
}

TEST(Board, PathsGoAcrossAndDownThroughEmptyCellsOnly) {
    struct Case {
        const char* name;
        std::initializer_list<const char*> rows;
        Cell to;
        bool reachable;
    };
    const Case cases[] = {
        {"openBoard", {"1"}, {8, 8}, true},
        // Closed across and down, open on the diagonals.
        {"enclosedCell", {"1", "", "", "", "..2", ".2.2", "..2"}, {2, 5}, false},
        {"wallWithAGap", {"1", "", "", "", "22222222."}, {0, 8}, true},
        {"wallAcross", {"1", "", "", "", "222222222"}, {0, 8}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoardFrom(c.rows).HasPath({0, 0}, c.to), c.reachable) << c.name;
}

TEST(Board, NewBallPlacesCountRoundTheEmptyCellsByXThenY) {
    LinesBoard board = BoardFrom({"1"});
    EXPECT_EQ(board.NthEmpty(9), (Cell{1, 0})); // (0,0) is taken: (1,0) is the ninth
    EXPECT_EQ(board.NthEmpty(80 + 9), (Cell{1, 0}));
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            board.set({x, y}, x == 7 && y == 0 ? 0 : 1);
    EXPECT_EQ(board.NthEmpty(1019), (Cell{7, 0}));
}

TEST(Board, TheArchiveHoldsSizeScoreAndCellsAndRefusesAnythingElse) {
    LinesBoard board = BoardFrom({".3", "5"}, 1234);
    const QByteArray bytes = board.Save();
    ASSERT_EQ(bytes.size(), 8 + 81);
    EXPECT_EQ(bytes.left(8), QByteArray::fromHex("09000000d2040000"));
    EXPECT_EQ(bytes[8 + 1], 5); // (0, 1): x outer, y inner
    EXPECT_EQ(bytes[8 + 9], 3); // (1, 0)

    QByteArray tenWide = bytes + QByteArray(19, '\0');
    tenWide[0] = 10;
    QByteArray badColour = bytes;
    badColour[8 + 40] = 8;
    for (const QByteArray& bad : {bytes.left(50), bytes + '\0', tenWide, badColour}) {
        LinesBoard back = BoardFrom({"7"});
        EXPECT_FALSE(back.Load(bad));
        EXPECT_EQ(back.at({0, 0}), 7);
    }
    LinesBoard back;
    ASSERT_TRUE(back.Load(bytes));
    EXPECT_EQ(back.Save(), bytes);
}

namespace {

struct Recorder : GameListener {
    std::vector<Beep> beeps;
    void Sound(Beep beep) override { beeps.push_back(beep); }
};

struct GameTest : ::testing::Test {
    std::deque<quint32> script;
    LinesGame game{std::make_unique<test::ScriptedRandom>(&script)};
    Recorder seen;
    GameTest() { game.SetListener(&seen); }
    // Queues the numbers that bring the next balls to these cells, on the board as it
    // will be after the move: all colours first, then the places, each ball in place and
    // any line it makes gone before the next one comes.
    void QueueBalls(std::vector<std::pair<int, Cell>> balls, Cell from, Cell to) {
        LinesBoard future = game.board();
        future.set(to, future.at(from));
        future.set(from, 0);
        std::deque<quint32> places;
        for (auto [colour, cell] : balls) {
            const std::deque<quint32> numbers = test::BallAt(future, colour, cell);
            ASSERT_EQ(numbers.size(), 2u);
            script.push_back(numbers[0]);
            places.push_back(numbers[1]);
            future.set(cell, colour);
            future.RemoveLines(cell);
        }
        script.insert(script.end(), places.begin(), places.end());
    }
};

} // namespace

TEST_F(GameTest, TapsSelectBallsAndOffTheBoardOrOnEmptyCellsDoNothing) {
    game.board() = BoardFrom({"1", "", "..2"});
    const std::pair<Cell, std::optional<Cell>> taps[] = {
        {{5, 5}, std::nullopt}, {{0, 0}, Cell{0, 0}},  {{0, 0}, Cell{0, 0}},
        {{2, 2}, Cell{2, 2}},   {{-1, 3}, Cell{2, 2}}, {{9, 0}, Cell{2, 2}},
    };
    for (auto [tap, selected] : taps) {
        game.Tap(tap);
        EXPECT_EQ(game.selected(), selected) << tap.x << "," << tap.y;
    }
    EXPECT_EQ(game.board().BallCount(), 2);
}

TEST_F(GameTest, ATurnScoresItsLinesOrBringsThreeBalls) {
    struct Turn {
        const char* name;
        std::initializer_list<const char*> rows;
        Cell from, to;
        std::vector<std::pair<int, Cell>> newBalls;
        TapResult result;
        int score, balls;
        std::vector<Beep> beeps;
    };
    // clang-format off
    const Turn turns[] = {
        {"noLineThreeBalls", {"1", "", "..2"}, {0, 0}, {0, 5},
         {{3, {8, 8}}, {4, {7, 8}}, {5, {6, 8}}}, TapResult::Moved, 5, 5, {}},
        {"lineScoresNoBalls", {"1111.....", "", "....1", "........2"}, {4, 2}, {4, 0},
         {}, TapResult::Moved, 15, 1, {Beep::Line}},
        {"enclosedCellBeeps", {"1", "", "....2", "...2.2", "....2"}, {0, 0}, {4, 3},
         {}, TapResult::Blocked, 5, 5, {Beep::Blocked}},
        {"newBallsMakeALine", {"6666.....", "", "1"}, {0, 2}, {0, 4},
         {{3, {8, 8}}, {6, {4, 0}}, {5, {6, 8}}}, TapResult::Moved, 15, 3, {Beep::Line}},
    };
    // clang-format on
    for (const Turn& t : turns) {
        SCOPED_TRACE(t.name);
        game.board() = BoardFrom(t.rows, 5);
        seen.beeps.clear();
        QueueBalls(t.newBalls, t.from, t.to);
        game.Tap(t.from);
        const TapResult result = game.Tap(t.to);
        EXPECT_EQ(std::tuple(result, game.score(), game.board().BallCount(), seen.beeps),
                  std::tuple(t.result, t.score, t.balls, t.beeps));
        for (auto [colour, cell] : t.newBalls)
            if (t.score == 5) EXPECT_EQ(game.board().at(cell), colour);
        EXPECT_EQ(game.selected(),
                  t.result == TapResult::Blocked ? std::optional(t.from) : std::nullopt);
    }
}

// The board fills with the first of three new balls: a new game starts and the third ball
// goes on it in the colour drawn for it before anything was placed.
TEST_F(GameTest, ColoursOfOneAddingAreFixedBeforeTheBoardFillsOnTheWay) {
    game.board() = test::Crowded({{8, 8}});
    // Colours 7, 7, 7; the first ball's place; then the new game's five colours (1 to 5)
    // and places; then the third ball's place.
    script = {6, 6, 6, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0};
    game.AddBalls(3);
    std::map<int, int> colours;
    for (int x = 0; x < kBoardSize; ++x)
        for (int y = 0; y < kBoardSize; ++y)
            if (game.board().at({x, y})) ++colours[game.board().at({x, y})];
    EXPECT_EQ(colours, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {7, 1}}));
}

TEST_F(GameTest, WithShowNextTheNewBallsComeInThePreviewColours) {
    game.setShowNext(true);
    game.board() = BoardFrom({"1"});
    game.AddBalls(3);
    std::vector<int> previews{game.nextColour(0), game.nextColour(1), game.nextColour(2)};
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
    EXPECT_EQ(arrived, previews);
}
