#include "sources/DirSource.h"
#include "sources/ListingThread.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

using namespace velmar;

namespace {

struct Delivered {
    QStringList names;
    QList<int> kinds;
};

Delivered Drain(DirSource& src, const QString& path) {
    Delivered d;
    src.Open(path);
    FindRecord r;
    for (int k; (k = src.Next(r)) != kEntryEnd;) {
        d.names.append(r.name);
        d.kinds.append(k);
    }
    return d;
}

// Collects what a listing thread posts.
class Sink : public QObject {
public:
    explicit Sink(ListingJob& j) : job(j) { job.pane = this; }
    ListingJob& job;
    struct Got {
        int ordinal;
        QString name;
    };
    std::vector<Got> entries;
    int ended = 0;
    bool event(QEvent* e) override {
        const QEvent::Type type = ReceivedType(e);
        if (type == EntryEventType()) {
            job.TookBatch();
            auto* batch = static_cast<EntryPostedEvent*>(e);
            for (size_t i = 0; i < batch->rows.size(); ++i)
                entries.push_back({batch->first + int(i), batch->rows[i].name()});
            return true;
        }
        if (type == ListingDoneEventType()) {
            ++ended;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(LocalDirSource, FoldersFirstThenFilesWithTheMask) {
    test::TempDir dir;
    LocalDirSource src;
    EXPECT_TRUE(Drain(src, dir.path() + "/*.*").names.isEmpty());
    for (const char* folder : {"B", "A", "x"})
        dir.mkdir(folder);
    for (const char* file : {"d", "c", "y.doc", "z.txt"})
        dir.write(file, "");
    Delivered d = Drain(src, dir.path() + "/*.*");
    // All folders (kind 2) before any file (kind 1).
    EXPECT_EQ(d.kinds, (QList<int>{2, 2, 2, 1, 1, 1, 1}));
    EXPECT_EQ(QSet<QString>(d.names.begin(), d.names.begin() + 3), (QSet<QString>{"A", "B", "x"}));
    // Folders ignore the mask; the end stays the end.
    d = Drain(src, dir.path() + "/*.txt");
    EXPECT_EQ(d.kinds, (QList<int>{2, 2, 2, 1}));
    EXPECT_EQ(d.names.last(), "z.txt");
    FindRecord r;
    EXPECT_EQ(src.Next(r), kEntryEnd);
    EXPECT_TRUE(Drain(src, dir.path() + "/nope/*.*").names.isEmpty());
    EXPECT_EQ(FolderPattern("/Docs/*.txt"), "/Docs/*.*");
    EXPECT_EQ(CreateDirSource(7), nullptr);
}

// Ordinals, size texts, folders first, the pane's filter and names with trailing blanks through
// the pane: PaneThreadTest, PaneListTest, RenameTest.

// A folder without end: only a stop ends its listing.
struct EndlessSource : DirSource {
    bool Open(const QString& path) override {
        mask = path;
        return true;
    }
    EntryKind Next(FindRecord& out) override {
        out = FindRecord{.name = QString("f%1 ").arg(++count)};
        return kEntryFile;
    }
    int count = 0;
};

// A failed connect through the pane: PaneThreadTest.
TEST(ListingThread, StopEndsTheListing) {
    RegisterDirSourceFactory(kSourceFtp,
                             [] { return std::unique_ptr<DirSource>(new EndlessSource); });
    ListingJob job;
    Sink sink(job);
    job.sourceKind = kSourceFtp;
    StartListing(job, "/pub/*.*");
    // Past the first batch, so that a batch boundary lies inside what is checked below.
    while (sink.entries.size() <= size_t(kEntryBatchSize))
        QCoreApplication::processEvents();
    StopListing(job);
    EXPECT_TRUE(job.done.load());
    // Nothing is posted once the stop has returned.
    QCoreApplication::processEvents();
    const size_t stopped = sink.entries.size();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.entries.size(), stopped);
    EXPECT_EQ(sink.ended, 0); // a stopped listing has no end to report
    // Batches arrive whole and in order: nothing lost, repeated or swapped between them.
    // One trailing blank of a server's name is the listing's, not the name's.
    for (size_t i = 0; i < stopped; ++i) {
        ASSERT_EQ(sink.entries[i].ordinal, int(i) + 1);
        ASSERT_EQ(sink.entries[i].name, QString("f%1").arg(i + 1));
    }
    RegisterDirSourceFactory(kSourceFtp, nullptr);
}
