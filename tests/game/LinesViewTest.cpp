// The game window under the offscreen platform: layout and drawing at several sizes,
// taps and keys, the menu toggles, the high-score dialogs with their settings, and a whole
// game played by a scripted player with a fixed seed.
#include "game/LinesView.h"
#include "ScriptedRandom.h"
#include "framework/Dialogs.h"
#include "game/LinesDoc.h"
#include "game/MainFrameGame.h"
#include "platform/Settings.h"
#include "res/Ids.h"
#include "support/MessageScript.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace velmar;
using lines::Cell;
using lines::LinesBoard;
using test::BoardFrom;

namespace {

constexpr quint32 kSeed = 2026;

QByteArray SettingsBytes() {
    QFile file(platform::SettingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct GameWindow : ::testing::Test {
    test::MessageScript messages;
    std::deque<quint32> script;
    std::unique_ptr<CLinesDoc> doc;
    std::unique_ptr<CMainFrameGame> frame;
    CLinesView* view = nullptr;
    // What the name dialog showed, and what it answers.
    QStringList offered;
    std::optional<QString> answerName = QStringLiteral("Tester");
    int dialogs = 0;

    void SetUp() override {
        QFile::remove(platform::SettingsFilePath());
        SetDialogHookForTesting([this](QDialog* d) { Answer(d); });
    }
    void TearDown() override {
        SetDialogHookForTesting(nullptr);
        frame.reset();
        doc.reset();
        QFile::remove(platform::SettingsFilePath());
    }

    void Open(QSize size = QSize(640, 560)) {
        doc = std::make_unique<CLinesDoc>(std::make_unique<test::ScriptedRandom>(&script, kSeed));
        frame = std::make_unique<CMainFrameGame>(doc.get());
        view = frame->view();
        view->OnInitialUpdate();
        frame->resize(size);
        frame->show();
        QApplication::processEvents();
    }

    virtual void Answer(QDialog* d) {
        ++dialogs;
        if (ControlIdOf(d) != ids::kDlgInsertName) return;
        offered.append(FindControl<QLabel>(d, ids::kIdcScoreValue)->text());
        if (!answerName) return; // left open: rejected, as Cancel
        FindControl<QLineEdit>(d, ids::kIdcScoreName)->setText(*answerName);
        FindControl<QPushButton>(d, ids::kIdOk)->click();
    }

    QString Label(int id) const { return FindControl<QLabel>(view, id)->text(); }
    const LinesBoard& Board() const { return doc->game().board(); }
    void SetBoard(std::initializer_list<const char*> rows, int score = 0) {
        doc->game().board() = BoardFrom(rows, score);
        view->update();
    }
    void Click(QPoint p) { QTest::mouseClick(view, Qt::LeftButton, {}, p); }
    void Click(Cell c) { Click(view->CellRect(c).center()); }
    void Key(int key, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(view, Qt::Key(key));
    }
    bool Checked(int id) {
        CommandState state;
        EXPECT_TRUE(frame->QueryCommand(id, state));
        return state.checked;
    }
    static void StoreScores(std::initializer_list<int> scores) {
        int i = 0;
        for (int s : scores) {
            platform::WriteStringSetting("GamesScore", QStringLiteral("Name%1").arg(i),
                                         QStringLiteral("p%1").arg(i));
            platform::WriteSetting("GamesScore", QStringLiteral("Score%1").arg(i++), s);
        }
    }
};

} // namespace

TEST_F(GameWindow, TheBoardStaysSquareAndWholeBelowTheStripAtAnySize) {
    Open();
    const QSize sizes[] = {{640, 560}, {320, 760}, {1100, 420}, {200, 230}};
    for (QSize size : sizes) {
        frame->resize(size);
        QApplication::processEvents();
        SetBoard({"1234567..", ".........", "........."});
        doc->game().Tap({2, 0});
        const QRect all = view->rect();
        const QRect board = view->CellRect({0, 0}).united(view->CellRect({8, 8}));
        const QRect best = FindControl<QLabel>(view, 1)->geometry();
        const QRect score = FindControl<QLabel>(view, 2)->geometry();
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
        EXPECT_EQ(board.width(), board.height()) << at;
        EXPECT_TRUE(all.contains(board)) << at;
        EXPECT_GE(board.top(), best.bottom()) << at;
        EXPECT_LE(std::abs(board.left() - (all.width() - board.right() - 1)), 1) << at;
        // As large as the window allows: no room left for another row of cells.
        EXPECT_TRUE(all.width() - board.width() < 9 ||
                    all.height() - best.height() - board.height() < 9)
            << at;
        // Best on the left, score on the right, the previews between them.
        EXPECT_EQ(best.left(), 0) << at;
        EXPECT_LE(score.right(), all.right()) << at;
        for (int i = 0; i < 3; ++i) {
            EXPECT_GT(view->SlotRect(i).left(), best.right()) << at;
            EXPECT_LT(view->SlotRect(i).right(), score.left()) << at;
        }

        const QImage shot = view->grab().toImage();
        shot.save(QStringLiteral("/tmp/lines_%1.png").arg(QString::fromStdString(at)));
        for (int colour = 1; colour <= 7; ++colour) {
            const Cell c{colour - 1, 0};
            EXPECT_EQ(shot.pixelColor(view->CellRect(c).center()), CLinesView::BallColour(colour))
                << at << " colour " << colour;
        }
        EXPECT_EQ(shot.pixelColor(view->CellRect({4, 4}).center()), CLinesView::kBoardColour) << at;
        // The selected ball sits on the inverted square.
        EXPECT_EQ(shot.pixelColor(view->CellRect({2, 0}).topLeft() + QPoint(2, 2)),
                  QColor(255, 0, 0))
            << at;
        EXPECT_EQ(shot.pixelColor(view->CellRect({3, 0}).topLeft() + QPoint(2, 2)),
                  CLinesView::kBoardColour)
            << at;
    }
}

TEST_F(GameWindow, ANewGameShowsFiveBallsScoreNoughtAndTheStoredBest) {
    StoreScores({120, 80});
    Open();
    EXPECT_EQ(Board().BallCount(), 5);
    EXPECT_EQ(Label(1), "120");
    EXPECT_EQ(Label(2), "0");
    EXPECT_EQ(frame->commandBarId(), ids::kMenuGame);
}

TEST_F(GameWindow, TapsSelectAndMoveAndTapsOffTheBoardDoNothing) {
    Open();
    SetBoard({"1........", ".........", "..2......", "........3"});
    const QRect board = view->CellRect({0, 0}).united(view->CellRect({8, 8}));
    // The strip, the margin beside the board, and below it.
    for (QPoint p : {QPoint(5, 5), QPoint(board.left() - 3, board.center().y()),
                     QPoint(board.right() + 3, board.top() + 2),
                     QPoint(board.center().x(), board.bottom() + 2)}) {
        if (!view->rect().contains(p)) continue;
        Click(p);
        EXPECT_EQ(doc->game().selected(), std::nullopt) << p.x() << "," << p.y();
    }
    Click(Cell{0, 0});
    EXPECT_EQ(doc->game().selected(), (Cell{0, 0}));
    Click(Cell{2, 2});
    EXPECT_EQ(doc->game().selected(), (Cell{2, 2}));
    // Cells are told apart at their edges too.
    Click(view->CellRect({5, 7}).bottomRight());
    EXPECT_EQ(Board().at({5, 7}), 2);
    EXPECT_EQ(Board().at({2, 2}), 0);
    EXPECT_EQ(Board().BallCount(), 3 + 3);
}

TEST_F(GameWindow, ArrowsMoveTheCursorAndSpaceOrEnterSelectAndMove) {
    Open();
    SetBoard({"1111.....", ".........", "........1"});
    view->setFocus();
    // From the middle: to the far left (it stops at the edge), then the top row.
    Key(Qt::Key_Left, 6);
    Key(Qt::Key_Up, 6);
    EXPECT_EQ(view->cursor(), (Cell{0, 0}));
    Key(Qt::Key_Right, 8);
    Key(Qt::Key_Down, 2);
    EXPECT_EQ(view->cursor(), (Cell{8, 2}));
    Key(Qt::Key_Space);
    EXPECT_EQ(doc->game().selected(), (Cell{8, 2}));
    Key(Qt::Key_Up, 2);
    Key(Qt::Key_Left, 4);
    Key(Qt::Key_Return);
    EXPECT_EQ(Board().BallCount(), 0);
    EXPECT_EQ(Label(2), "10");
    Key(Qt::Key_Enter); // an empty cell with nothing selected
    EXPECT_EQ(Board().BallCount(), 0);
}

TEST_F(GameWindow, TheTogglesCarryCheckMarksAndShowNextFillsThePreviewSlots) {
    Open();
    EXPECT_FALSE(Checked(ids::kCmdShowNextColors));
    EXPECT_FALSE(Checked(ids::kCmdSound));
    frame->action(ids::kCmdSound)->trigger();
    EXPECT_TRUE(Checked(ids::kCmdSound));
    EXPECT_TRUE(view->sound());

    const auto slotColour = [this](int i) {
        return view->grab().toImage().pixelColor(view->SlotRect(i).center());
    };
    EXPECT_EQ(slotColour(0), QColor(Qt::white));
    frame->action(ids::kCmdShowNextColors)->trigger();
    EXPECT_TRUE(Checked(ids::kCmdShowNextColors));
    SetBoard({"1........", ".........", "........."});
    Click(Cell{0, 0});
    Click(Cell{0, 4}); // a turn draws the next colours
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(slotColour(i), CLinesView::BallColour(doc->game().nextColour(i))) << i;
    frame->grab().save(QStringLiteral("/tmp/lines_frame.png"));
    frame->action(ids::kCmdShowNextColors)->trigger();
    EXPECT_FALSE(Checked(ids::kCmdShowNextColors));
    EXPECT_EQ(slotColour(0), QColor(Qt::white));
}

TEST_F(GameWindow, AScoreAboveTheTenthAsksForANameAndEntersTheTableBelowItsEquals) {
    StoreScores({90, 50, 50, 40, 30, 20, 10, 5, 3, 2});
    Open();
    struct Offer {
        int score;
        std::optional<QString> name;
        bool asked;
        QString best;
    };
    const Offer offers[] = {
        {2, QStringLiteral("x"), false, "90"}, // equal to the tenth
        {50, QStringLiteral("Ann"), true, "90"},
        {91, QString(), true, "91"}, // an empty name is taken
    };
    for (const Offer& o : offers) {
        answerName = o.name;
        offered.clear();
        doc->OfferScore(o.score);
        EXPECT_EQ(offered.size(), o.asked ? 1 : 0) << o.score;
        if (o.asked) EXPECT_EQ(offered.value(0), QString::number(o.score));
        EXPECT_EQ(Label(1), o.best) << o.score;
    }
    std::vector<std::pair<QString, int>> table;
    for (const lines::HighScoreEntry& e : doc->highScores().entries())
        table.emplace_back(e.name, e.score);
    EXPECT_EQ(table, (std::vector<std::pair<QString, int>>{{"", 91},
                                                           {"p0", 90},
                                                           {"p1", 50},
                                                           {"p2", 50},
                                                           {"Ann", 50},
                                                           {"p3", 40},
                                                           {"p4", 30},
                                                           {"p5", 20},
                                                           {"p6", 10},
                                                           {"p7", 5}}));
    EXPECT_EQ(platform::ReadStringSetting("GamesScore", "Name0", "missing"), "");
    EXPECT_EQ(platform::ReadSetting("GamesScore", "Score9", -1), 5);
}

TEST_F(GameWindow, CancelInTheNameDialogChangesNothing) {
    StoreScores({90, 50, 50, 40, 30, 20, 10, 5, 3, 2});
    Open();
    const QByteArray before = SettingsBytes();
    answerName.reset();
    doc->OfferScore(500);
    EXPECT_EQ(offered, QStringList{"500"});
    EXPECT_EQ(SettingsBytes(), before);
    EXPECT_EQ(Label(1), "90");
    EXPECT_EQ(doc->highScores().entries().size(), 10u);
    EXPECT_EQ(doc->best(), 90);
}

TEST_F(GameWindow, NewGameInTheMiddleOffersThatGamesScore) {
    Open();
    SetBoard({"1........"}, 33);
    frame->action(ids::kCmdNewGame)->trigger();
    EXPECT_EQ(offered, QStringList{"33"});
    EXPECT_EQ(Label(1), "33");
    EXPECT_EQ(Label(2), "0");
    EXPECT_EQ(Board().BallCount(), 5);
    EXPECT_EQ(platform::ReadStringSetting("GamesScore", "Name0", ""), "Tester");
}

TEST_F(GameWindow, HighScoresListsTheTableInTwoColumns) {
    StoreScores({90, 50});
    Open();
    QStringList rows;
    QStringList headers;
    int nameWidth = -1, listWidth = 0;
    SetDialogHookForTesting([&](QDialog* d) {
        auto* list = FindControl<QTreeWidget>(d, ids::kIdcScoreList);
        ASSERT_NE(list, nullptr);
        headers = {list->headerItem()->text(0), list->headerItem()->text(1)};
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows.append(list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1));
        nameWidth = list->columnWidth(0);
        listWidth = list->width();
        d->accept();
    });
    frame->action(ids::kCmdHighScores)->trigger();
    EXPECT_EQ(headers, (QStringList{"Name", "Score"}));
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0], "p0|90");
    EXPECT_EQ(rows[1], "p1|50");
    EXPECT_EQ(rows[9], "|0");
    EXPECT_EQ(nameWidth, listWidth / 2 - 4);
}

namespace {

int LongestRun(const LinesBoard& b, Cell c) {
    int longest = 0;
    for (Cell d : {Cell{1, 0}, Cell{0, 1}, Cell{1, 1}, Cell{1, -1}}) {
        int n = 1;
        for (int sense : {-1, 1})
            for (Cell m{c.x + d.x * sense, c.y + d.y * sense};
                 LinesBoard::Inside(m) && b.at(m) == b.at(c);
                 m = Cell{m.x + d.x * sense, m.y + d.y * sense})
                ++n;
        longest = std::max(longest, n);
    }
    return longest;
}

// A plain player: a move that makes a line if there is one, else the move that makes the
// longest run of one colour.
std::optional<std::pair<Cell, Cell>> ChooseMove(const LinesBoard& b) {
    std::optional<std::pair<Cell, Cell>> best;
    int bestValue = -1;
    for (int fx = 0; fx < 9; ++fx)
        for (int fy = 0; fy < 9; ++fy) {
            const Cell from{fx, fy};
            if (b.at(from) == 0) continue;
            for (int tx = 0; tx < 9; ++tx)
                for (int ty = 0; ty < 9; ++ty) {
                    const Cell to{tx, ty};
                    if (!b.HasPath(from, to)) continue;
                    LinesBoard t = b;
                    t.set(to, t.at(from));
                    t.set(from, 0);
                    const int value = LongestRun(t, to) >= 5 ? 100 : LongestRun(t, to);
                    if (value > bestValue) {
                        bestValue = value;
                        best = std::make_pair(from, to);
                    }
                }
        }
    return best;
}

} // namespace

TEST_F(GameWindow, AScriptedPlayerPlaysAWholeGameToTheEndAndEntersTheTable) {
    Open();
    frame->action(ids::kCmdShowNextColors)->trigger();
    int finalScore = -1;
    int ballsAtOffer = -1;
    int moves = 0;
    int scoringMoves = 0;
    while (!messages.shown.contains("The End.") && moves < 3000) {
        const auto move = ChooseMove(Board());
        ASSERT_TRUE(move.has_value()) << "no move after " << moves;
        const int balls = Board().BallCount();
        const int score = doc->game().score();
        finalScore = score;
        ballsAtOffer = -1;
        // The offer comes while the full board is still there.
        SetDialogHookForTesting([&](QDialog* d) {
            ballsAtOffer = Board().BallCount();
            Answer(d);
        });
        Click(move->first);
        Click(move->second);
        ++moves;
        if (moves == 25) frame->grab().save(QStringLiteral("/tmp/lines_midgame.png"));
        if (messages.shown.contains("The End.")) break;
        EXPECT_EQ(Label(2), QString::number(doc->game().score()));
        if (doc->game().score() == score)
            ASSERT_EQ(Board().BallCount(), balls + 3) << "move " << moves;
        else if (Board().BallCount() < balls)
            ++scoringMoves;
    }
    ASSERT_EQ(messages.shown, QStringList{"The End."}) << moves << " moves";
    std::cerr << moves << " moves, " << scoringMoves << " scoring, final " << finalScore << "\n";
    ASSERT_GT(finalScore, 0);
    EXPECT_GT(scoringMoves, 0);
    // The game that ended offered its score (the new balls of its last turn may have
    // scored too), with the board still full.
    ASSERT_EQ(offered.size(), 1);
    EXPECT_GE(offered[0].toInt(), finalScore);
    EXPECT_EQ(ballsAtOffer, 81);
    // The next game is under way and the table holds the score.
    EXPECT_EQ(Board().BallCount(), 5);
    EXPECT_EQ(Label(2), "0");
    EXPECT_EQ(Label(1), offered[0]);
    EXPECT_EQ(platform::ReadStringSetting("GamesScore", "Name0", ""), "Tester");
    EXPECT_EQ(QString::number(platform::ReadSetting("GamesScore", "Score0", 0)), offered[0]);
}
