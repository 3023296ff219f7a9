// Search files and Dir Sizes on a real folder tree: the walk's order, relative names, areas,
// hidden folders, links to folders, the content test; the dialog's remembered values; hits
// in the pane and copied from it; folder sums above 4 GiB.
#include "filemgr/SearchFiles.h"
#include "PaneTestSupport.h"
#include "app/core/SearchMemory.h"
#include "filemgr/FileCommands.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "sources/PatternSearch.h"
#include "sources/SearchJob.h"
#include "sources/SizeText.h"
#include "support/MessageScript.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::test;

namespace {

// The hits as runs of one folder each, names sorted inside a run (a folder's own order is
// the file system's), e.g. "sub/deep/:c.txt | sub/:a.txt | :a.txt,d.TXT".
QString Runs(const QStringList& hits) {
    QStringList runs;
    QString folder;
    QStringList names;
    auto flush = [&] {
        if (names.isEmpty()) return;
        names.sort();
        runs << folder + ":" + names.join(",");
        names.clear();
    };
    for (const QString& h : hits) {
        const qsizetype cut = h.lastIndexOf('/') + 1;
        if (h.left(cut) != folder) flush();
        folder = h.left(cut);
        names << h.mid(cut);
    }
    flush();
    return runs.join(" | ");
}

class SearchTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPaneSettings();
        RememberedSearch() = SearchMemory{};
        dir.write("a.txt", "hello NEEDLE");
        dir.write("d.TXT", "nothing here");
        dir.write("b.doc", "needle");
        dir.write("sub/a.txt", "no");
        dir.write("sub/deep/c.txt", QByteArray(300, 'x') + "needle");
        dir.write(".hid/x.txt", "needle");
        // A link back to the top: entering it would never end.
        QFile::link(dir.path(), dir.file("sub/loop"));
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    QStringList Search(const QString& mask, bool recursive, const QString& text = {},
                       bool caseSensitive = false, int showHidden = 0) {
        PatternSearch pattern;
        SearchJob job;
        job.root = PanePath(dir.path());
        job.mask = mask;
        job.recursive = recursive;
        job.showHidden = showHidden;
        if (!text.isEmpty() && pattern.AddPattern(text, caseSensitive, false)) {
            job.textSearch = true;
            job.pattern = &pattern;
        }
        RunSearch(job);
        EXPECT_EQ(job.progress.Take().name, QStringLiteral("Done"));
        QStringList names;
        for (const SearchHit& h : job.TakeHits())
            names << h.record.name;
        EXPECT_EQ(job.progress.files.load(), names.size());
        return names;
    }

    TempDir dir;
    MessageScript messages;
};

TEST_F(SearchTreeTest, WalkOrderNamesAndAreas) {
    struct Case {
        const char* name;
        const char* mask;
        bool recursive;
        const char* text;
        bool caseSensitive;
        int showHidden;
        const char* runs;
    } cases[] = {
        {"depth first", "*.txt", true, "", false, 0, "sub/deep/:c.txt | sub/:a.txt | :a.txt,d.TXT"},
        {"current folder only", "*.txt", false, "", false, 0, ":a.txt,d.TXT"},
        {"every name", "*.*", false, "", false, 0, ":a.txt,b.doc,d.TXT"},
        {"content, any case", "*.txt", true, "needle", false, 0, "sub/deep/:c.txt | :a.txt"},
        {"content, exact case", "*.txt", true, "needle", true, 0, "sub/deep/:c.txt"},
        {"hidden folders when shown", "x.txt", true, "", false, 1, ".hid/:x.txt"},
        {"hidden folders when not", "x.txt", true, "", false, 0, ""},
    };
    for (const Case& c : cases) {
        const QStringList hits = Search(QString::fromLatin1(c.mask), c.recursive,
                                        QString::fromLatin1(c.text), c.caseSensitive, c.showHidden);
        EXPECT_EQ(Runs(hits), QString::fromLatin1(c.runs)) << c.name;
        for (const QString& h : hits)
            EXPECT_FALSE(h.startsWith(QLatin1String("sub/loop/"))) << c.name << ": followed a link";
    }
}

TEST_F(SearchTreeTest, StoppedBeforeItStartsFindsNothing) {
    SearchJob job;
    job.root = PanePath(dir.path());
    job.progress.running.store(0);
    RunSearch(job);
    EXPECT_TRUE(job.TakeHits().empty());
    EXPECT_TRUE(job.progress.Take().ended);
}

// Answers the search dialog with `fill`, then waits on the progress dialog for "Done"
// (or closes it at once) and closes it.
void ScriptSearch(std::function<void(QDialog*)> fill, bool waitForDone, QString* counter) {
    SetDialogHookForTesting([=](QDialog* d) {
        if (ControlIdOf(d) == ids::kDlgSearchFiles) {
            fill(d);
            return;
        }
        ASSERT_EQ(ControlIdOf(d), ids::kDlgProgress);
        auto* name = FindControl<QLabel>(d, ids::kIdcProgressName);
        if (waitForDone) {
            EXPECT_TRUE(WaitFor([&] { return name->text() == QLatin1String("Done"); }));
        }
        auto* count = FindControl<QLabel>(d, ids::kIdcProgressCount);
        d->accept();
        if (counter) *counter = count->text();
    });
}

TEST_F(SearchTreeTest, PaneShowsHitsAndRemembersTheDialogValues) {
    WriteStoreSetting("ShowHidden", 0); // the pane's filter holds in the search too
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    QString counter;
    ScriptSearch(
        [](QDialog* d) {
            EXPECT_EQ(FindControl<QLineEdit>(d, ids::kIdcSearchMask)->text(), "*.*");
            EXPECT_TRUE(FindControl<QCheckBox>(d, ids::kIdcSearchCase)->isChecked());
            EXPECT_TRUE(FindControl<QRadioButton>(d, ids::kIdcSearchFromCurrent)->isChecked());
            FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("*.txt");
            FindControl<QLineEdit>(d, ids::kIdcSearchText)->setText("needle");
            FindControl<QCheckBox>(d, ids::kIdcSearchCase)->setChecked(false);
            d->accept();
        },
        true, &counter);
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdSearchFiles));
    EXPECT_EQ(counter, QStringLiteral("Files found: 2"));
    QStringList names = Names(*w.left);
    ASSERT_EQ(names.value(0), "..");
    EXPECT_EQ(Runs(names.mid(1)), "sub/deep/:c.txt | :a.txt");
    EXPECT_EQ(w.left->mask(), "*.txt");
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()));
    EXPECT_EQ(w.left->paneModel()->data(w.left->paneModel()->index(1, 1)).toString(), "")
        << "hits show no size";

    const SearchMemory& m = RememberedSearch();
    EXPECT_EQ(m.mask, "*.txt");
    EXPECT_EQ(m.text, "needle");
    EXPECT_EQ(m.caseSensitive, 1) << "an unchecked case box is not remembered";

    // A hit copies to the other pane's folder under its own name.
    TempDir target;
    ShowFolder(*w.right, target.path());
    w.left->SelectAndFocus(w.left->FindRow("sub/deep/c.txt"));
    SetDialogHookForTesting([](QDialog* d) {
        auto* name = FindControl<QLabel>(d, ids::kIdcProgressName);
        if (name) EXPECT_TRUE(WaitFor([&] { return name->text() == QLatin1String("Done"); }));
        d->accept();
    });
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdCopy));
    EXPECT_EQ(ReadAll(target.file("c.txt")), QByteArray(300, 'x') + "needle");
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join("; ").toStdString();

    // An empty mask searches "*.*" and leaves the remembered mask alone; "in current folder
    // only" enters no folder.
    ShowFolder(*w.left, dir.path());
    ScriptSearch(
        [](QDialog* d) {
            FindControl<QLineEdit>(d, ids::kIdcSearchMask)->clear();
            FindControl<QLineEdit>(d, ids::kIdcSearchText)->clear();
            FindControl<QRadioButton>(d, ids::kIdcSearchCurrentOnly)->setChecked(true);
            d->accept();
        },
        true, nullptr);
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdSearchFiles));
    EXPECT_EQ(w.left->mask(), "*.*");
    EXPECT_EQ(RememberedSearch().mask, "*.txt");
    EXPECT_EQ(Runs(Names(*w.left).mid(1)), ":a.txt,b.doc,d.TXT");
}

TEST_F(SearchTreeTest, FromRootSearchesTheRootAndCancelKeepsThePane) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    // Cancel: nothing changes.
    SetDialogHookForTesting([](QDialog* d) { d->reject(); });
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdSearchFiles));
    EXPECT_EQ(w.left->currentPath(), PanePath(dir.path()));
    EXPECT_TRUE(Names(*w.left).contains("sub"));

    // From the root, stopped at once by closing the progress dialog.
    ScriptSearch(
        [](QDialog* d) {
            FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("no-such-name-*.zz");
            FindControl<QRadioButton>(d, ids::kIdcSearchFromRoot)->setChecked(true);
            d->accept();
        },
        false, nullptr);
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdSearchFiles));
    EXPECT_EQ(w.left->currentPath(), "/");
    EXPECT_EQ(Names(*w.left).value(0), "..");
}

TEST_F(SearchTreeTest, DirSizesSumEveryFolderBelowIn64Bits) {
    {
        QFile big(dir.file("sub/deep/big.bin"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(5LL << 30)); // sparse: takes no room
    }
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    const uint64_t sub = (5ULL << 30) + 2 + 306;
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdDirSizes));
    auto size = [&](const char* name) {
        return w.left->paneModel()
            ->data(w.left->paneModel()->index(w.left->FindRow(name), 1))
            .toString();
    };
    EXPECT_EQ(size("sub"), FormatSize(sub));
    EXPECT_EQ(size(".hid"), FormatSize(6));
    EXPECT_EQ(size(".."), "<DIR>");
    EXPECT_EQ(size("a.txt"), FormatSize(12)) << "files keep their sizes";
    w.left->RefillPane();
    EXPECT_EQ(size("sub"), "<DIR>") << "until the next refill";
}

} // namespace
