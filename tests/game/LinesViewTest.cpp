// The game window under the offscreen platform: layout and drawing at several sizes,
// taps and keys, the menu toggles, the high-score dialogs with the settings they write,
// and the end of a game.
#include "game/LinesView.h"
#include "ScriptedRandom.h"
#include "framework/Dialogs.h"
#include "game/LinesDoc.h"
#include "game/MainFrameGame.h"
#include "platform/Settings.h"
#include "res/Ids.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace velmar;
using lines::Cell;
using lines::LinesBoard;

namespace {

QByteArray SettingsBytes() {
    return test::ReadAll(platform::SettingsFilePath());
}

struct GameWindow : ::testing::Test {
    test::MessageScript messages;
    std::unique_ptr<CLinesDoc> doc;
    std::unique_ptr<CMainFrameGame> frame;
    CLinesView* view = nullptr;
    QStringList offered; // the scores the name dialog showed
    std::optional<QString> answerName = QStringLiteral("Tester"); // none: Cancel

    void SetUp() override {
        QFile::remove(platform::SettingsFilePath());
        SetDialogHookForTesting([this](QDialog* d) { AnswerName(d); });
        Open();
    }
    ~GameWindow() override { SetDialogHookForTesting(nullptr); }
    // A new game window (again, for scores stored after SetUp).
    void Open() {
        frame.reset();
        doc = std::make_unique<CLinesDoc>(std::make_unique<test::ScriptedRandom>(nullptr, 2026));
        frame = std::make_unique<CMainFrameGame>(doc.get());
        view = frame->view();
        view->OnInitialUpdate();
        frame->resize(640, 560);
        frame->show();
        QApplication::processEvents();
    }
    void AnswerName(QDialog* d) {
        if (ControlIdOf(d) != ids::kDlgInsertName) return;
        offered.append(FindControl<QLabel>(d, ids::kIdcScoreValue)->text());
        if (!answerName) return; // left open: rejected, as Cancel
        FindControl<QLineEdit>(d, ids::kIdcScoreName)->setText(*answerName);
        FindControl<QPushButton>(d, ids::kIdOk)->click();
    }
    QString Label(int id) const { return FindControl<QLabel>(view, id)->text(); }
    const LinesBoard& Board() const { return doc->game().board(); }
    void SetBoard(std::initializer_list<const char*> rows, int score = 0) {
        doc->game().board() = test::BoardFrom(rows, score);
        view->update();
    }
    void Click(QPoint p) { QTest::mouseClick(view, Qt::LeftButton, {}, p); }
    void Click(Cell c) { Click(view->CellRect(c).center()); }
    void Keys(int key, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(view, Qt::Key(key));
    }
    bool Checked(int id) {
        CommandState state;
        frame->QueryCommand(id, state);
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

TEST_F(GameWindow, TheBoardStaysSquareWholeAndBelowTheStripAtAnySize) {
    for (QSize size : {QSize(640, 560), QSize(320, 760), QSize(1100, 420), QSize(200, 230)}) {
        frame->resize(size);
        QApplication::processEvents();
        SetBoard({"1234567"});
        doc->game().Tap({2, 0});
        const QRect all = view->rect();
        const QRect board = view->CellRect({0, 0}).united(view->CellRect({8, 8}));
        const QRect best = FindControl<QLabel>(view, 1)->geometry();
        const QRect score = FindControl<QLabel>(view, 2)->geometry();
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        EXPECT_EQ(board.width(), board.height());
        EXPECT_TRUE(all.contains(board));
        EXPECT_GE(board.top(), best.bottom());
        EXPECT_LE(std::abs(board.left() - (all.width() - board.right() - 1)), 1);
        // As large as the window allows: no room for another row of cells.
        EXPECT_TRUE(all.width() - board.width() < 9 ||
                    all.height() - best.height() - board.height() < 9);
        EXPECT_LT(best.right(), view->SlotRect(0).left());
        EXPECT_LT(view->SlotRect(2).right(), score.left());

        const QImage shot = view->grab().toImage();
        for (int colour = 1; colour <= 7; ++colour)
            EXPECT_EQ(shot.pixelColor(view->CellRect({colour - 1, 0}).center()),
                      CLinesView::BallColour(colour))
                << colour;
        EXPECT_EQ(shot.pixelColor(view->CellRect({4, 4}).center()), CLinesView::kBoardColour);
        // The selected ball sits on the inverted square.
        const QPoint corner(2, 2);
        EXPECT_EQ(shot.pixelColor(view->CellRect({2, 0}).topLeft() + corner), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(view->CellRect({3, 0}).topLeft() + corner),
                  CLinesView::kBoardColour);
    }
}

TEST_F(GameWindow, ClicksSelectAndMoveAndClicksOffTheBoardDoNothing) {
    SetBoard({"1", "", "..2", "........3"});
    const QRect board = view->CellRect({0, 0}).united(view->CellRect({8, 8}));
    for (QPoint p : {QPoint(5, 5), QPoint(board.left() - 3, board.center().y()),
                     QPoint(board.right() + 3, board.top() + 2)}) {
        Click(p);
        EXPECT_EQ(doc->game().selected(), std::nullopt) << p.x() << "," << p.y();
    }
    Click(Cell{2, 2});
    EXPECT_EQ(doc->game().selected(), (Cell{2, 2}));
    // The cell's last pixel still belongs to it.
    Click(view->CellRect({5, 7}).bottomRight());
    EXPECT_EQ(Board().at({5, 7}), 2);
}

TEST_F(GameWindow, ArrowsMoveTheCursorAndSpaceOrEnterSelectAndMove) {
    SetBoard({"1111.....", "", "........1"});
    Keys(Qt::Key_Left, 6); // from the middle; it stops at the edge
    Keys(Qt::Key_Up, 6);
    EXPECT_EQ(view->cursor(), (Cell{0, 0}));
    Keys(Qt::Key_Right, 8);
    Keys(Qt::Key_Down, 2);
    Keys(Qt::Key_Space);
    EXPECT_EQ(doc->game().selected(), (Cell{8, 2}));
    Keys(Qt::Key_Up, 2);
    Keys(Qt::Key_Left, 4);
    Keys(Qt::Key_Return);
    EXPECT_EQ(Label(2), "10"); // the line of five went
}

TEST_F(GameWindow, TheTogglesCarryCheckMarksAndShowNextFillsThePreviewSlots) {
    EXPECT_FALSE(Checked(ids::kCmdSound));
    frame->action(ids::kCmdSound)->trigger();
    EXPECT_TRUE(Checked(ids::kCmdSound));
    const auto slotColour = [this](int i) {
        return view->grab().toImage().pixelColor(view->SlotRect(i).center());
    };
    EXPECT_EQ(slotColour(0), QColor(Qt::white));
    frame->action(ids::kCmdShowNextColors)->trigger();
    EXPECT_TRUE(Checked(ids::kCmdShowNextColors));
    SetBoard({"1"});
    Click(Cell{0, 0});
    Click(Cell{0, 4}); // the turn draws the next colours
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(slotColour(i), CLinesView::BallColour(doc->game().nextColour(i))) << i;
    frame->action(ids::kCmdShowNextColors)->trigger();
    EXPECT_FALSE(Checked(ids::kCmdShowNextColors));
    EXPECT_EQ(slotColour(0), QColor(Qt::white));
}

TEST_F(GameWindow, OnlyAScoreAboveTheTenthAsksForANameAndItGoesBelowItsEquals) {
    StoreScores({90, 50, 50, 40, 30, 20, 10, 5, 3, 2});
    Open();
    // The score, the name typed (none: Cancel), the scores asked about, the best shown.
    const std::tuple<int, std::optional<QString>, QStringList, QString> offers[] = {
        {2, "x", {}, "90"},                 // equal to the tenth
        {500, std::nullopt, {"500"}, "90"}, // Cancel
        {50, "Ann", {"50"}, "90"},
        {91, "", {"91"}, "91"}, // an empty name is taken
    };
    for (const auto& [score, name, asked, best] : offers) {
        const QByteArray before = SettingsBytes();
        answerName = name;
        offered.clear();
        doc->OfferScore(score);
        EXPECT_EQ(offered, asked) << score;
        EXPECT_EQ(Label(1), best) << score;
        if (!name || asked.isEmpty()) EXPECT_EQ(SettingsBytes(), before) << score;
    }
    EXPECT_EQ(SettingsBytes().toStdString(), "[GamesScore]\n"
                                             "Name0=\nName1=p0\nName2=p1\nName3=p2\nName4=Ann\n"
                                             "Name5=p3\nName6=p4\nName7=p5\nName8=p6\nName9=p7\n"
                                             "Score0=91\nScore1=90\nScore2=50\nScore3=50\n"
                                             "Score4=50\nScore5=40\nScore6=30\nScore7=20\n"
                                             "Score8=10\nScore9=5\n");
    // Another running copy enters a score after this one read the table: both stay.
    lines::HighScoreTable other;
    other.Load();
    other.Record("Other", 60);
    answerName = "Me";
    doc->OfferScore(70);
    lines::HighScoreTable stored;
    stored.Load();
    QStringList names;
    for (const lines::HighScoreEntry& e : stored.entries())
        names.append(e.name + "=" + QString::number(e.score));
    EXPECT_EQ(names.mid(0, 5), (QStringList{"=91", "p0=90", "Me=70", "Other=60", "p1=50"}));
    // Stored scores below 0 (written, or wrapped from above 2^31) read as 0: a game of 0
    // points never enters the table, and the table stays best first.
    platform::WriteSetting("GamesScore", "Score9", -1);
    platform::WriteStringSetting("GamesScore", "Score8", "4294967295");
    Open();
    offered.clear();
    doc->OfferScore(0);
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(doc->highScores().entries().back().score, 0);
}

TEST_F(GameWindow, NewGameInTheMiddleOffersThatScoreAndHighScoresListsTheTable) {
    StoreScores({90, 50});
    Open();
    SetBoard({"1"}, 33);
    frame->action(ids::kCmdNewGame)->trigger();
    EXPECT_EQ(offered, QStringList{"33"});
    EXPECT_EQ(Label(2), "0");

    QStringList rows;
    int nameWidth = -1, listWidth = 0;
    SetDialogHookForTesting([&](QDialog* d) {
        auto* list = FindControl<QTreeWidget>(d, ids::kIdcScoreList);
        rows.append(list->headerItem()->text(0) + "|" + list->headerItem()->text(1));
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows.append(list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1));
        nameWidth = list->columnWidth(0);
        listWidth = list->width();
    });
    frame->action(ids::kCmdHighScores)->trigger();
    EXPECT_EQ(rows, (QStringList{"Name|Score", "p0|90", "p1|50", "Tester|33", "|0", "|0", "|0",
                                 "|0", "|0", "|0", "|0"}));
    EXPECT_EQ(nameWidth, listWidth / 2 - 4);
}

TEST_F(GameWindow, AFullBoardSaysTheEndAndEntersTheScoreBeforeTheBoardIsCleared) {
    doc->game().board() = test::Crowded({{8, 8}, {4, 4}});
    doc->game().board().setScore(31);
    int ballsAtOffer = -1;
    SetDialogHookForTesting([&](QDialog* d) {
        ballsAtOffer = Board().BallCount();
        AnswerName(d);
    });
    // Two of the three new balls fill the board; the game ends.
    Click(Cell{8, 7});
    Click(Cell{8, 8});
    EXPECT_EQ(messages.shown, QStringList{"The End."});
    EXPECT_EQ(offered, QStringList{"31"});
    EXPECT_EQ(ballsAtOffer, 81);
    EXPECT_EQ(Label(2), "0");
    EXPECT_EQ(Label(1), "31");
    EXPECT_EQ(platform::ReadStringSetting("GamesScore", "Name0", ""), "Tester");
    EXPECT_EQ(platform::ReadSetting("GamesScore", "Score0", 0), 31);
}
