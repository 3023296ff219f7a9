// A local tree copy hands its small files to other threads and takes them back in order:
// what must not change is what the user is asked and told, what is counted, what a stop
// leaves, and what a move removes. Trees larger than the number of files out at once.
#include "platform/FileOps.h"
#include "sources/CopyPool.h"
#include "support/Printers.h"
#include "support/TempDir.h"
#include "support/TransferFixture.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace velmar;
using velmar::test::FolderItem;
using velmar::test::Pattern;
using velmar::test::ReadAll;
using velmar::test::TempDir;

namespace {

// Two copying threads beside the worker, whatever the machine and its load.
struct ParallelCopy : test::TransferFixture<> {
    ParallelCopy() { CopyPool::SetThreadsForTesting(2); }
    ~ParallelCopy() override { CopyPool::SetThreadsForTesting(-1); }
};

constexpr int kFiles = 150;
QString Name(int i) {
    return QString("f%1").arg(i, 3, 10, QChar('0'));
}
// Small files but one over the pool's limit, which the worker copies itself.
QByteArray Contents(int i) {
    return i == 50 ? Pattern(1536 << 10, i) : Pattern(1000 + i, i);
}

std::atomic<int> blocks{0};
std::atomic<int>* stopAt100 = nullptr;

} // namespace

// In the middle of the tree a name is taken (the overwrite question, once, and its answer
// obeyed) and a name is a folder (its failure, the rest copied); a move removes the sources
// of what arrived and keeps the one that failed.
TEST_F(ParallelCopy, QuestionsAndFailuresInTheMiddleComeOnceAndInOrder) {
    const TempDir shm("/dev/shm"); // another file system: a move copies, then removes
    struct Row {
        bool copy;
        bool overwrite;
    };
    for (const Row row : {Row{true, true}, Row{true, false}, Row{false, true}}) {
        SCOPED_TRACE(testing::Message() << "copy " << row.copy << " overwrite " << row.overwrite);
        QDir(dir.file("S")).removeRecursively();
        QDir(shm.path() + "/T").removeRecursively();
        for (int i = 0; i < kFiles; ++i)
            dir.write("S/T/" + Name(i), Contents(i));
        dir.write("S/T/sub/last", "last");
        const QString to = shm.path() + "/T/";
        ASSERT_TRUE(QDir().mkpath(to + Name(110))); // a folder where a file goes
        QFile old(to + Name(70));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        user = test::ScriptedUser();
        user.answers = {row.overwrite, true}; // then, for a move, remove the folder
        Prepare(row.copy, dir.file("S"), shm.path(), {FolderItem("T")});
        RunTransfer(job);

        QStringList asked = {kAskOverwrite.arg(to + Name(70))};
        if (!row.copy) asked << kAskRemoveFolder.arg(dir.file("S/T"));
        EXPECT_EQ(user.asked, asked);
        ASSERT_EQ(user.failures.size(), 1) << user.failures.join("; ").toStdString();
        EXPECT_TRUE(user.failures[0].startsWith(to + Name(110) + "\n"));
        EXPECT_EQ(job.progress.files.load(), kFiles + 1 - 1 - (row.overwrite ? 0 : 1));
        EXPECT_EQ(ReadAll(to + Name(70)), row.overwrite ? Contents(70) : "old");
        EXPECT_EQ(ReadAll(to + "sub/last"), "last");
        for (int i = 0; i < kFiles; ++i) {
            if (i == 70 || i == 110) continue;
            EXPECT_EQ(ReadAll(to + Name(i)), Contents(i)) << i;
            EXPECT_EQ(QFileInfo::exists(dir.file("S/T/" + Name(i))), row.copy) << i;
        }
        // What did not arrive keeps its source.
        EXPECT_EQ(ReadAll(dir.file("S/T/" + Name(110))), Contents(110));
        EXPECT_EQ(QFileInfo::exists(dir.file("S/T/" + Name(70))), row.copy || !row.overwrite);
        EXPECT_EQ(QDir(to).entryList({".vlf*"}, QDir::Files | QDir::Hidden), QStringList());
    }
}

// A stop in the middle ends every thread's copying: no part, no half file, and the count
// is what stands in the target.
TEST_F(ParallelCopy, AStopInTheMiddleLeavesWholeFilesCountedExactly) {
    constexpr int kMany = 400;
    for (int i = 0; i < kMany; ++i)
        dir.write(QString("S/T/d%1/").arg(i % 4) + Name(i), Pattern(3000 + i, i));
    dir.mkdir("D");
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T")});
    blocks = 0;
    stopAt100 = &job.progress.running;
    platform::SetBlockHook([] {
        if (blocks.fetch_add(1) + 1 == 100) stopAt100->store(0);
    });
    RunTransfer(job);
    platform::SetBlockHook(nullptr);
    int arrived = 0;
    for (int d = 0; d < 4; ++d) {
        const QString folder = dir.file(QString("D/T/d%1").arg(d));
        EXPECT_EQ(QDir(folder).entryList({".vlf*"}, QDir::Files | QDir::Hidden), QStringList());
        for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            ++arrived;
            EXPECT_EQ(ReadAll(folder + "/" + n), ReadAll(dir.file(QString("S/T/d%1/").arg(d) + n)))
                << n.toStdString();
        }
    }
    EXPECT_EQ(job.progress.files.load(), arrived);
    // The stop came at the 100th file copied: the two others being copied then may finish.
    EXPECT_GE(arrived, 100);
    EXPECT_LE(arrived, 100 + 2);
    EXPECT_EQ(job.progress.Take().name, "Done");
}
