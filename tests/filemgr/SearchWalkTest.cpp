// The search walk and Dir Sizes on a real tree, with their threads and no window shown: the
// walk's order, relative names, areas, hidden folders, links to folders, the content test;
// hits taken while the worker runs; folder sums above 4 GiB.
#include "SearchTestSupport.h"

#include <thread>

using namespace velmar;
using namespace velmar::test;

namespace {

TEST_F(SearchTreeTest, WalkOrderNamesAndAreas) {
    // What is looked for (mask, into folders, text, its case, hidden folders) and the runs found.
    using Case = std::tuple<const char*, const char*, bool, const char*, bool, int, const char*>;
    const Case cases[] = {
        {"depth first", "*.txt", true, "", false, 0, "sub/deep/:c.txt | sub/:a.txt | :a.txt,d.TXT"},
        {"current folder only", "*.txt", false, "", false, 0, ":a.txt,d.TXT"},
        {"every name", "*.*", false, "", false, 0, ":a.txt,b.doc,d.TXT"},
        {"content, any case", "*.txt", true, "needle", false, 0, "sub/deep/:c.txt | :a.txt"},
        {"content, exact case", "*.txt", true, "needle", true, 0, "sub/deep/:c.txt"},
        {"hidden folders when shown", "x.txt", true, "", false, 1, ".hid/:x.txt"},
        {"hidden folders when not", "x.txt", true, "", false, 0, ""},
    };
    for (const auto& [name, mask, recursive, text, caseSensitive, showHidden, runs] : cases) {
        const QStringList hits = Search(QString::fromLatin1(mask), recursive,
                                        QString::fromLatin1(text), caseSensitive, showHidden);
        EXPECT_EQ(Runs(hits), QString::fromLatin1(runs)) << name; // no hit through sub/loop
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

TEST_F(SearchTreeTest, HitsTakenWhileTheWorkerRunsAreTheWalksHits) {
    const QStringList alone = Search("*.*", true, {}, false, 1);
    SearchJob job;
    job.root = PanePath(dir.path());
    job.showHidden = 1;
    std::thread worker([&job] { RunSearch(job); });
    QStringList taken;
    while (!job.progress.ended.load())
        for (const SearchHit& h : job.TakeHits())
            taken << h.record.name;
    worker.join();
    for (const SearchHit& h : job.TakeHits())
        taken << h.record.name;
    EXPECT_EQ(taken, alone);
    EXPECT_EQ(job.progress.files.load(), alone.size());
}

TEST_F(SearchTreeTest, DirSizesSumEveryFolderBelowIn64Bits) {
    ASSERT_TRUE(QFile::resize(dir.write("sub/deep/big.bin", {}), 5LL << 30)); // sparse
    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    const uint64_t sub = (5ULL << 30) + 2 + 306;
    ASSERT_TRUE(w.left->OnCommand(ids::kCmdDirSizes));
    auto size = [&](const char* name) {
        return w.left->model()->index(w.left->controller().FindRow(name), 1).data().toString();
    };
    EXPECT_EQ(size("sub"), FormatSize(sub));
    EXPECT_EQ(size(".hid"), FormatSize(6));
    EXPECT_EQ(size(".."), "<DIR>");
    EXPECT_EQ(size("a.txt"), FormatSize(12)) << "files keep their sizes";
    w.left->controller().RefillPane();
    WaitListed(w.left->controller());
    EXPECT_EQ(size("sub"), "<DIR>") << "until the next refill";
}

} // namespace
