#include "sources/DirSource.h"
#include "sources/ListingThread.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
    std::vector<std::unique_ptr<FileEntry>> entries;
    QStringList folders; // of each batch
    int batches = 0;
    int closed = 0;
    bool event(QEvent* e) override {
        const QEvent::Type type = ReceivedType(e);
        if (type == kEntryEventType) {
            ++batches;
            auto* batch = static_cast<EntryPostedEvent*>(e);
            folders.append(batch->folder);
            for (FileEntry& entry : batch->entries)
                entries.push_back(std::make_unique<FileEntry>(std::move(entry)));
            return true;
        }
        if (type == kConnectionClosedEventType) {
            ++closed;
            return true;
        }
        return QObject::event(e);
    }
};

void WaitDone(ListingJob& job) {
    QElapsedTimer t;
    t.start();
    while (!job.done.load() && t.elapsed() < 10000)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

TEST(LocalDirSource, FoldersFirstThenFilesWithTheMask) {
    test::TempDir dir;
    dir.mkdir("B");
    dir.mkdir("A");
    dir.write("d", "");
    dir.write("c", "");
    dir.mkdir("x");
    dir.write("y.doc", "");
    dir.write("z.txt", "");

    LocalDirSource all;
    Delivered d = Drain(all, dir.path() + "/*.*");
    // All folders (kind 2) before any file (kind 1).
    EXPECT_EQ(d.kinds, (QList<int>{2, 2, 2, 1, 1, 1, 1}));
    EXPECT_EQ(QSet<QString>(d.names.begin(), d.names.begin() + 3), (QSet<QString>{"A", "B", "x"}));

    LocalDirSource masked;
    d = Drain(masked, dir.path() + "/*.txt");
    EXPECT_EQ(d.kinds, (QList<int>{2, 2, 2, 1}));
    EXPECT_EQ(d.names.last(), "z.txt");
    EXPECT_TRUE(d.names.contains("x")) << "folders ignore the mask";
    FindRecord r;
    EXPECT_EQ(masked.Next(r), kEntryEnd) << "and stays at the end";
}

TEST(LocalDirSource, MissingFolderAndReopenAfterEnd) {
    test::TempDir dir;
    LocalDirSource src;
    EXPECT_TRUE(Drain(src, dir.path() + "/nope/*.*").names.isEmpty());
    dir.write("f", "");
    EXPECT_EQ(Drain(src, dir.path() + "/*.*").names, QStringList{"f"});
    EXPECT_EQ(FolderPattern("/Docs/*.txt"), "/Docs/*.*");
    EXPECT_EQ(CreateDirSource(7), nullptr);
    EXPECT_NE(dynamic_cast<LocalDirSource*>(CreateDirSource(kSourceLocal).get()), nullptr);
}

TEST(ListingThread, PostsEntriesInOrderWithOrdinalsAndKinds) {
    test::TempDir dir;
    dir.mkdir("A");
    dir.mkdir("B");
    dir.write("c", QByteArray(1536, 'c'));
    dir.write("one blank ", "");
    dir.write("two blanks  ", "");

    Sink sink;
    ListingJob job;
    job.pane = &sink;
    int busyOn = 0, busyOff = 0;
    job.busy = [&](bool on) { on ? ++busyOn : ++busyOff; };
    StartListing(job, dir.path() + "/*.*");
    WaitDone(job);
    ASSERT_EQ(sink.entries.size(), 5u);
    EXPECT_EQ(busyOn, 1);
    EXPECT_EQ(busyOff, 1);
    EXPECT_EQ(sink.folders, QStringList{dir.path() + "/*.*"});
    QStringList names;
    for (size_t i = 0; i < sink.entries.size(); ++i) {
        const FileEntry& e = *sink.entries[i];
        EXPECT_EQ(e.ordinal, int(i) + 1);
        EXPECT_EQ(e.kind, i < 2 ? kEntryFolder : kEntryFile);
        names.append(e.find.name);
        if (e.find.name == "c") EXPECT_EQ(e.find.size, 1536u);
    }
    // Local names are exact: no trailing blank is cut.
    EXPECT_TRUE(names.contains("one blank "));
    EXPECT_TRUE(names.contains("two blanks  "));
}

// A folder without end: only a stop ends its listing.
class EndlessSource : public DirSource {
public:
    bool Open(const QString& path) override {
        mask = path;
        return true;
    }
    EntryKind Next(FindRecord& out) override {
        out = FindRecord{};
        out.name = QStringLiteral("f%1 ").arg(++count_);
        return kEntryFile;
    }

private:
    int count_ = 0;
};

TEST(ListingThread, StopEndsTheListingAndFailedSourcePostsClosed) {
    RegisterDirSourceFactory(kSourceFtp,
                             [] { return std::unique_ptr<DirSource>(new EndlessSource); });
    Sink sink;
    ListingJob job;
    job.pane = &sink;
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
    // Batches arrive whole and in order: nothing lost, repeated or swapped between them.
    for (size_t i = 0; i < stopped; ++i) {
        ASSERT_EQ(sink.entries[i]->ordinal, int(i) + 1);
        ASSERT_EQ(sink.entries[i]->find.name, QStringLiteral("f%1").arg(i + 1));
    }
    // One trailing blank of a server's name is the listing's, not the name's.
    EXPECT_EQ(sink.entries[0]->find.name, "f1");
    RegisterDirSourceFactory(kSourceFtp, nullptr);

    // A source that cannot connect posts the connection-closed message and nothing else.
    Sink ftpSink;
    ListingJob ftp;
    ftp.pane = &ftpSink;
    ftp.sourceKind = kSourceFtp;
    ftp.connect = [] { return false; };
    StartListing(ftp, "/pub/*.*");
    WaitDone(ftp);
    EXPECT_EQ(ftpSink.closed, 1);
    EXPECT_TRUE(ftpSink.entries.empty());
}
