// Search files through its dialog and the progress dialog: remembered values, hits in the
// pane and copied from it, the areas, cancel; an FTP pane's search through its connection.
#include "SearchTestSupport.h"
#include "ftp/FtpServerList.h"
#include "support/FtpServer.h"

using namespace velmar;
using namespace velmar::test;

namespace {

// Runs `command` in `pane`, the search dialog answered by `fill` (its values as they are, by
// default), the progress dialog closed at "Done" (or at once) with its counter in `counter`.
bool Scripted(CPaneList& pane, int command, bool waitForDone,
              std::function<void(QDialog*)> fill = {}, QString* counter = nullptr) {
    SetDialogHookForTesting([=](QDialog* d) {
        if (ControlIdOf(d) == ids::kDlgSearchFiles) {
            fill ? fill(d) : d->accept();
            return;
        }
        ASSERT_EQ(ControlIdOf(d), ids::kDlgProgress);
        if (waitForDone) EXPECT_TRUE(WaitDone(d));
        auto* count = FindControl<QLabel>(d, ids::kIdcProgressCount);
        d->accept();
        if (counter) *counter = count->text();
    });
    return pane.OnCommand(command);
}

TEST_F(SearchTreeTest, PaneShowsHitsAndRemembersTheDialogValues) {
    WriteStoreSetting("ShowHidden", 0); // the pane's filter holds in the search too
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    QString counter;
    ASSERT_TRUE(Scripted(
        *w.left, ids::kCmdSearchFiles, true,
        [](QDialog* d) {
            EXPECT_EQ(FindControl<QLineEdit>(d, ids::kIdcSearchMask)->text(), "*.*");
            EXPECT_TRUE(FindControl<QCheckBox>(d, ids::kIdcSearchCase)->isChecked());
            EXPECT_TRUE(FindControl<QRadioButton>(d, ids::kIdcSearchFromCurrent)->isChecked());
            FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("*.txt");
            FindControl<QLineEdit>(d, ids::kIdcSearchText)->setText("needle");
            FindControl<QCheckBox>(d, ids::kIdcSearchCase)->setChecked(false);
            d->accept();
        },
        &counter));
    EXPECT_EQ(counter, QStringLiteral("Files found: 2"));
    EXPECT_EQ(Runs(Names(*w.left)), ":.. | sub/deep/:c.txt | :a.txt"); // the parent row first
    EXPECT_EQ(w.left->controller().mask(), "*.txt");
    EXPECT_EQ(w.left->controller().currentPath(), PanePath(dir.path()));
    EXPECT_EQ(
        w.left->controller().model()->data(w.left->controller().model()->index(1, 1)).toString(),
        "")
        << "hits show no size";

    // An unchecked case box is not remembered.
    const SearchMemory& m = RememberedSearch();
    EXPECT_EQ(std::tuple(m.mask, m.text, m.caseSensitive), std::tuple("*.txt", "needle", 1));

    // An empty mask searches "*.*" and leaves the remembered mask alone; "in current folder
    // only" enters no folder.
    ShowFolder(*w.left, dir.path());
    ASSERT_TRUE(Scripted(*w.left, ids::kCmdSearchFiles, true, [](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcSearchMask)->clear();
        FindControl<QLineEdit>(d, ids::kIdcSearchText)->clear();
        FindControl<QRadioButton>(d, ids::kIdcSearchCurrentOnly)->setChecked(true);
        d->accept();
    }));
    EXPECT_EQ(w.left->controller().mask(), "*.*");
    EXPECT_EQ(RememberedSearch().mask, "*.txt");
    EXPECT_EQ(Runs(Names(*w.left).mid(1)), ":a.txt,b.doc,d.TXT");
}

// A local hit's record is made when first asked for: it tells the file as it is then, keeps
// the hit's relative name, and a file gone since the walk has none. A sort by size makes
// every record first.
TEST_F(SearchTreeTest, HitRecordsTellTheFileAsItIsWhenAsked) {
    WriteStoreSetting("ShowHidden", 1);
    dir.write("sub/.h.txt", QByteArray(40, 'h'));
    PaneWindow w;
    PaneController& pane = w.left->controller();
    ShowFolder(*w.left, dir.path());
    ASSERT_TRUE(Scripted(*w.left, ids::kCmdSearchFiles, true, [](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("*.txt");
        d->accept();
    }));
    ASSERT_TRUE(QFile::resize(dir.file("a.txt"), 5000));
    ASSERT_TRUE(QFile::remove(dir.file("sub/a.txt")));
    // A hit, its size (-1: gone since the walk), hidden.
    using Row = std::tuple<const char*, int, bool>;
    const Row cases[] = {{"a.txt", 5000, false},   {"sub/a.txt", -1, false},
                         {"d.TXT", 12, false},     {"sub/deep/c.txt", 306, false},
                         {".hid/x.txt", 6, false}, {"sub/.h.txt", 40, true}};
    for (const auto& [name, size, hidden] : cases) {
        SCOPED_TRACE(name);
        ASSERT_GT(pane.FindRow(name), 0);
        const FindRecord* r = pane.RowRecord(pane.FindRow(name));
        ASSERT_EQ(r != nullptr, size >= 0);
        if (!r) continue;
        EXPECT_EQ(std::tuple(r->name, r->size, r->lastWriteTime != 0,
                             (r->attributes & attr::Hidden) != 0, r->isFolder()),
                  std::tuple(QString(name), uint64_t(size), true, hidden, false));
    }
    ShowFolder(*w.left, dir.path());
    ASSERT_TRUE(Scripted(*w.left, ids::kCmdSearchFiles, true));
    ASSERT_TRUE(QFile::resize(dir.file("sub/deep/c.txt"), 0));
    pane.SortByColumn(kSortBySize);
    QStringList bySize = {"sub/deep/c.txt", ".hid/x.txt", "d.TXT", "sub/.h.txt", "a.txt"};
    if (SortMode != 0) std::reverse(bySize.begin(), bySize.end());
    EXPECT_EQ(Names(pane).mid(1).join(" ").toStdString(), bySize.join(" ").toStdString());
}

TEST_F(SearchTreeTest, FromRootSearchesTheRootAndCancelKeepsThePane) {
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    // Cancel: nothing changes.
    ASSERT_TRUE(Scripted(*w.left, ids::kCmdSearchFiles, false, [](QDialog* d) { d->reject(); }));
    EXPECT_EQ(w.left->controller().currentPath(), PanePath(dir.path()));
    EXPECT_TRUE(Names(*w.left).contains("sub"));

    // From the root, stopped at once by closing the progress dialog.
    ASSERT_TRUE(Scripted(*w.left, ids::kCmdSearchFiles, false, [](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("no-such-name-*.zz");
        FindControl<QRadioButton>(d, ids::kIdcSearchFromRoot)->setChecked(true);
        d->accept();
    }));
    EXPECT_EQ(w.left->controller().currentPath(), "/");
    EXPECT_EQ(Names(*w.left).value(0), "..");
}

// Both back ends on pyftpdlib: by mask only, depth first, relative names; a hit copies to a
// local pane; closing the progress dialog at once keeps the hits so far and the connection;
// a server gone in the middle is told.
TEST_F(SearchTreeTest, FtpPaneSearchesByMaskThroughItsConnection) {
    for (const bool own : {false, true}) {
        SCOPED_TRACE(own ? "own client" : "libcurl");
        PyFtpServer server;
        ASSERT_TRUE(server.ok()) << server.error().toStdString();
        for (const char* name : {"a.txt", "d.TXT", "b.doc", "sub/a.txt", "sub/deep/c.txt"})
            server.home().write(name, ReadAll(dir.file(name)));
        messages.shown.clear();
        WriteStoreSetting("InternalFTP", own ? 1 : 0);
        SaveFtpServerList({CFtpNode{"127.0.0.1", PyFtpServer::kPassword, PyFtpServer::kUser, 0,
                                    uint32_t(server.port())}});
        ChooseTheOnlyServer();
        PaneWindow w;
        CPaneList& pane = *w.left;
        pane.OnCommand(ids::kCmdFtp);
        ASSERT_TRUE(WaitFor([&] { return pane.controller().listingJob().done.load(); }));
        EXPECT_TRUE(Enabled(pane, ids::kCmdSearchFiles));

        ASSERT_TRUE(Scripted(pane, ids::kCmdSearchFiles, true, [](QDialog* d) {
            auto* text = FindControl<QLineEdit>(d, ids::kIdcSearchText);
            EXPECT_TRUE(text->isReadOnly()) << "contents are searched in local files only";
            for (int id : {ids::kIdcSearchHex, ids::kIdcSearchCase})
                EXPECT_FALSE(FindControl<QCheckBox>(d, id)->isEnabled());
            text->setText("needle");
            FindControl<QLineEdit>(d, ids::kIdcSearchMask)->setText("*.txt");
            d->accept();
        }));
        const QStringList all = Names(pane);
        EXPECT_EQ(Runs(all.mid(1)), "sub/deep/:c.txt | sub/:a.txt | :a.txt,d.TXT");

        // A hit copies to the other pane's folder under its own name.
        TempDir target;
        ShowFolder(*w.right, target.path());
        pane.controller().SelectAndFocus(pane.controller().FindRow("sub/deep/c.txt"));
        ASSERT_TRUE(Scripted(pane, ids::kCmdCopy, true));
        EXPECT_EQ(ReadAll(target.file("c.txt")), QByteArray(300, 'x') + "needle");

        ASSERT_TRUE(Scripted(pane, ids::kCmdSearchFiles, false));
        const QStringList stopped = Names(pane);
        EXPECT_EQ(stopped, all.mid(0, stopped.size()));
        // A connection the stop broke is made anew: by this search...
        ASSERT_TRUE(Scripted(pane, ids::kCmdSearchFiles, true));
        EXPECT_EQ(Names(pane), all);
        // ...or by the pane's next listing.
        ASSERT_TRUE(Scripted(pane, ids::kCmdSearchFiles, false));
        pane.controller().RefillPane();
        WaitListed(pane.controller());
        EXPECT_TRUE(WaitFor([&] {
            QCoreApplication::processEvents();
            return pane.controller().listingJob().done.load() && Names(pane).contains("sub");
        })) << "the pane lists through its connection after the stop";
        EXPECT_EQ(pane.controller().sourceKind(), kSourceFtp);
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join("; ").toStdString();
        // A server gone in the middle: the hits are short, and the user is told so.
        server.Stop();
        ASSERT_TRUE(Scripted(pane, ids::kCmdSearchFiles, true));
        EXPECT_EQ(messages.shown, QStringList{"Ftp connection closed"});
    }
}

} // namespace
