// The high-score table in the real settings store of the test's private folder: the
// offer rule, where a new score goes, and what is stored.
#include "game/core/HighScores.h"
#include "platform/Settings.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::lines;

namespace {

struct HighScoresTest : ::testing::Test {
    void SetUp() override { QFile::remove(platform::SettingsFilePath()); }
    void TearDown() override { QFile::remove(platform::SettingsFilePath()); }

    // Stores a table of ten entries, scores as given, names "p0" ... "p9".
    static void Store(std::initializer_list<int> scores) {
        int i = 0;
        for (int s : scores) {
            platform::WriteStringSetting("GamesScore", QStringLiteral("Name%1").arg(i),
                                         QStringLiteral("p%1").arg(i));
            platform::WriteSetting("GamesScore", QStringLiteral("Score%1").arg(i), s);
            ++i;
        }
    }
    static std::vector<int> Scores(const HighScoreTable& t) {
        std::vector<int> v;
        for (const HighScoreEntry& e : t.entries())
            v.push_back(e.score);
        return v;
    }
    static QStringList Names(const HighScoreTable& t) {
        QStringList v;
        for (const HighScoreEntry& e : t.entries())
            v.append(e.name);
        return v;
    }
};

} // namespace

TEST_F(HighScoresTest, AFreshInstallationHasTenEmptyEntriesThatOnlyAPositiveScoreBeats) {
    HighScoreTable table;
    table.Load();
    EXPECT_EQ(Scores(table), std::vector<int>(10, 0));
    EXPECT_EQ(Names(table), QStringList(10, QString()));
    EXPECT_EQ(table.best(), 0);
    EXPECT_FALSE(table.Qualifies(0));
    EXPECT_TRUE(table.Qualifies(1));
}

TEST_F(HighScoresTest, OnlyAScoreAboveTheTenthEntersAndTiesGoBelow) {
    Store({90, 80, 70, 70, 60, 50, 40, 30, 20, 10});
    struct Case {
        int score;
        bool qualifies;
        int position; // where it lands when inserted
    };
    const Case cases[] = {{9, false, 10}, {10, false, 10}, {11, true, 9},
                          {70, true, 4},  {71, true, 2},   {95, true, 0}};
    for (const Case& c : cases) {
        HighScoreTable table;
        table.Load();
        EXPECT_EQ(table.Qualifies(c.score), c.qualifies) << c.score;
        table.Insert("new", c.score);
        EXPECT_EQ(Names(table).indexOf("new"), c.position) << c.score;
        EXPECT_EQ(table.entries().size(), 11u);
    }
}

TEST_F(HighScoresTest, SavingWritesTheFirstTenAndTheEleventhIsGone) {
    Store({90, 80, 70, 70, 60, 50, 40, 30, 20, 10});
    HighScoreTable table;
    table.Load();
    table.Insert("Zoë, the second", 85);
    table.Insert("", 15);
    table.Save();

    HighScoreTable back;
    back.Load();
    EXPECT_EQ(Scores(back), (std::vector<int>{90, 85, 80, 70, 70, 60, 50, 40, 30, 20}));
    EXPECT_EQ(Names(back), (QStringList{"p0", "Zoë, the second", "p1", "p2", "p3", "p4", "p5", "p6",
                                        "p7", "p8"}));
    // The stored file, byte for byte: the names (quoted where a comma is in one) and the
    // scores of ten entries, nothing beyond the tenth.
    QFile file(platform::SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "[GamesScore]\n"
                                            "Name0=p0\n"
                                            "Name1=\"Zo\xc3\xab, the second\"\n"
                                            "Name2=p1\nName3=p2\nName4=p3\nName5=p4\n"
                                            "Name6=p5\nName7=p6\nName8=p7\nName9=p8\n"
                                            "Score0=90\nScore1=85\nScore2=80\nScore3=70\n"
                                            "Score4=70\nScore5=60\nScore6=50\nScore7=40\n"
                                            "Score8=30\nScore9=20\n");
}
