// The local file primitives and the transfer worker on real files: mode and time, the remove
// question, and the ways a copy or move could lose data (onto itself, into itself, cancelled,
// a full disk, across file systems).
#include "sources/FilePrimitives.h"
#include "platform/FileOps.h"
#include "platform/NameCodec.h"
#include "support/Printers.h"
#include "support/TransferFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace velmar;
using namespace velmar::test;

namespace {

QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({".vlf*"}, QDir::Files | QDir::Hidden);
}

// A path for a system call, alive to the end of the expression.
struct Native {
    explicit Native(const QString& path) : bytes(platform::EncodeName(path)) {}
    operator const char*() const { return bytes.constData(); }
    QByteArray bytes;
};

// What a symbolic link holds; empty when `path` is no link.
QByteArray LinkText(const QString& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(Native(path), buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

// A 256 KiB file system mounted at `path` while it lives; path is empty when none could be.
struct SmallDisk {
    explicit SmallDisk(const QString& at) : path(at) {
        if (::mount("tmpfs", Native(at), "tmpfs", 0, "size=256k") != 0) path.clear();
    }
    ~SmallDisk() {
        if (!path.isEmpty()) ::umount(Native(path));
    }
    QString path;
};

std::atomic<int>* stopFlag = nullptr;

using Primitives = TransferFixture<>;

} // namespace

// Bytes, time, the overwrite question and names that are not UTF-8: the pair contract of
// file_transfer_tests, which has the local pair too.
TEST_F(Primitives, SameFileIsRefusedWhateverTheName) {
    const QByteArray data = "precious";
    const QString src = dir.write("f.txt", data);
    dir.mkdir("sub");
    ASSERT_EQ(::link(Native(src), Native(dir.file("hard.txt"))), 0);
    ASSERT_TRUE(QFile::link(src, dir.file("soft.txt")));
    const QStringList targets = {src, dir.file("hard.txt"), dir.file("soft.txt"),
                                 dir.file("sub/../f.txt")};
    for (const QString& target : targets) {
        for (bool move : {false, true}) {
            SCOPED_TRACE(target.toStdString() + (move ? " move" : " copy"));
            user.told.clear();
            user.answers = {true, true};
            EXPECT_FALSE(move ? Move(src, target) : Copy(src, target));
            EXPECT_EQ(ReadAll(src), data);
            EXPECT_EQ(user.told.size(), 1);
        }
    }
    EXPECT_TRUE(QFileInfo(dir.file("soft.txt")).isSymLink());
}

TEST_F(Primitives, CancelledCopyLeavesNoPartAndTheOldTargetWhole) {
    // The flag clears right after the first block, as a Close in the middle of a copy would.
    const QString src = dir.write("src", Pattern(1 << 20));
    const QString dst = dir.write("target", "old contents");
    stopFlag = &running;
    platform::SetBlockHook([] { stopFlag->store(0); });
    user.answers = {true};
    const bool result = Copy(src, dst);
    platform::SetBlockHook(nullptr);
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadAll(dst), "old contents");
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
    EXPECT_TRUE(user.told.isEmpty()); // a cancel is no error
}

// A FIFO with no writer, a socket and a device: each is named and skipped, never opened in a
// way that waits (the FIFO would block the worker for ever), alone or inside a folder.
TEST_F(Primitives, SpecialFilesAreNamedAndSkipped) {
    dir.write("S/T/plain", "p");
    ASSERT_EQ(::mkfifo(Native(dir.file("S/T/pipe")), 0600), 0);
    ASSERT_EQ(::mknod(Native(dir.file("S/T/sock")), S_IFSOCK | 0600, 0), 0);
    ASSERT_EQ(::mknod(Native(dir.file("S/T/null")), S_IFCHR | 0600, makedev(1, 3)), 0);
    dir.mkdir("D");
    const TempDir shm("/dev/shm"); // another file system: a move copies
    for (const char* name : {"pipe", "sock", "null"}) {
        SCOPED_TRACE(name);
        const QString src = dir.file(QStringLiteral("S/T/") + name);
        user.told.clear();
        EXPECT_FALSE(Copy(src, dir.file(name)));
        EXPECT_FALSE(Move(src, shm.file(name)));
        EXPECT_EQ(user.told, QStringList(2, kSpecialFileRefused.arg(src)));
        EXPECT_FALSE(local.side->OpenReader(src)); // what an upload reads through
        EXPECT_EQ(local.side->ErrorText(), kSpecialFileRefused.arg(src));
        EXPECT_TRUE(QFileInfo::exists(src));
    }
    user.told.clear();
    // Inside a folder none is even opened (opening a device can act on it).
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, Native(dir.file("S/T")), IN_OPEN), 0);
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T")});
    RunTransfer(job);
    alignas(inotify_event) char events[4096];
    const ssize_t got = ::read(watch, events, sizeof events);
    for (ssize_t at = 0; at < got;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        const QByteArray name = e->len ? QByteArray(e->name) : QByteArray();
        EXPECT_TRUE(name.isEmpty() || name == "plain") << name.constData() << " was opened";
        at += ssize_t(sizeof *e + e->len);
    }
    ::close(watch);
    EXPECT_EQ(ReadAll(dir.file("D/T/plain")), "p");
    EXPECT_EQ(job.progress.files.load(), 1);
    // In a folder each is a question that names it.
    ASSERT_EQ(user.failures.size(), 3);
    for (const QString& f : user.failures)
        EXPECT_TRUE(f.contains(" is a pipe, socket or device")) << f.toStdString();
}

// A copy keeps the mode but never a set-user or set-group id bit; the staging file of a
// server-to-server copy is owner-only and has no name anyone could open.
TEST_F(Primitives, NoSetIdBitIsCopiedAndStagingIsPrivate) {
    const QString src = dir.write("tool", "#!/bin/sh\n");
    ASSERT_EQ(::chmod(Native(src), 06755), 0);
    ASSERT_TRUE(Copy(src, dir.file("copy")));
    struct stat st {};
    ASSERT_EQ(::stat(Native(dir.file("copy")), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    platform::StagingFile stage;
    ASSERT_EQ(stage.Open(dir.path()), 0);
    ASSERT_EQ(::fstat(stage.descriptor(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_nlink, 0u);
}

// A copy killed in the middle never leaves a part under the target's name: a new file has
// no name yet, a replaced one keeps its old contents. A part left by a killed replace goes
// with the next copy into that folder, but never the part of a writer still running.
TEST_F(Primitives, AKilledCopyLeavesTheTargetAloneAndItsPartGoesLater) {
    const QString src = dir.write("big", Pattern(1 << 20));
    const QString target = dir.mkdir("D");
    dir.write("D/.vlf-part.1.init", "a live writer's"); // process 1 always runs
    const auto killedCopy = [&](const QString& to, bool replace) {
        const pid_t child = ::fork();
        if (child == 0) {
            platform::SetBlockHook([] { ::raise(SIGKILL); });
            platform::CopyLocalFile(src, to, replace, nullptr, nullptr);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    };
    killedCopy(target + "/new", false);
    EXPECT_FALSE(QFileInfo::exists(target + "/new"));
    dir.write("D/old", "old");
    killedCopy(target + "/old", true);
    EXPECT_EQ(ReadAll(target + "/old"), "old");
    EXPECT_GE(Leftovers(target).size(), 2);
    ASSERT_TRUE(Copy(dir.write("small", "s"), target + "/small"));
    EXPECT_EQ(Leftovers(target), QStringList{".vlf-part.1.init"});
}

TEST_F(Primitives, FullDiskLeavesTargetAndSourceAlone) {
    const QByteArray data = Pattern(1 << 20);
    const QString src = dir.write("big.bin", data);
    const SmallDisk small(dir.mkdir("small"));
    if (small.path.isEmpty()) GTEST_SKIP() << "cannot mount a small file system";
    const QString dst = small.path + "/big.bin";
    QFile::copy(dir.write("old", "old"), dst);
    user.answers = {true, true};
    EXPECT_FALSE(Copy(src, dst));
    // Across file systems a move is a copy first (on one file system it is a rename).
    EXPECT_FALSE(Move(src, dst));
    EXPECT_EQ(ReadAll(dst), "old");
    EXPECT_TRUE(Leftovers(small.path).isEmpty());
    EXPECT_EQ(ReadAll(src), data);
    // Room is checked before a copy starts, with 32 KiB to spare.
    EXPECT_FALSE(CheckRoomForFile(uint64_t(data.size()), small.path, local, user));
    EXPECT_TRUE(CheckRoomForFile(1000, small.path, local, user));
    EXPECT_FALSE(CheckRoomForFile(uint64_t(1) << 62, dir.path(), local, user));
    EXPECT_EQ(user.told.last(), kTooLarge);
}

// The questions, per folder: SideContractTest.
TEST_F(Primitives, RemoveFolderKeepsWhatThePaneHidesAndWhereLinksLead) {
    // A link inside the tree, and a link as the folder itself, go as links.
    dir.write("Real/keep", "keep");
    dir.write("T/S1/b", "b");
    ASSERT_TRUE(QFile::link(dir.file("Real"), dir.file("T/S1/out")));
    ASSERT_TRUE(QFile::link(dir.file("Real"), dir.file("Link")));
    user.answers = {true, true, true};
    bool whole = false;
    EXPECT_TRUE(RemoveFolder(dir.file("T"), local, user, &whole));
    EXPECT_TRUE(whole);
    EXPECT_FALSE(QFileInfo::exists(dir.file("T")));
    EXPECT_TRUE(RemoveFolder(dir.file("Link"), local, user, &whole));
    EXPECT_FALSE(QFileInfo(dir.file("Link")).isSymLink());
    EXPECT_EQ(ReadAll(dir.file("Real/keep")), "keep");

    // Hidden entries stay while the pane hides them, and with them their folder.
    dir.write("H/.keep", "k");
    dir.write("H/gone", "g");
    local.showHidden = false;
    user.answers = {true};
    EXPECT_TRUE(RemoveFolder(dir.file("H"), local, user, &whole));
    EXPECT_FALSE(whole);
    EXPECT_EQ(ReadAll(dir.file("H/.keep")), "k");
    EXPECT_FALSE(QFileInfo::exists(dir.file("H/gone")));
    EXPECT_TRUE(user.told.isEmpty());
}

TEST_F(Primitives, DirSizeIs64BitAndDoesNotFollowLinks) {
    dir.write("D/a", QByteArray(1000, 'a'));
    dir.write("D/sub/b", QByteArray(24, 'b'));
    ASSERT_TRUE(QFile::resize(dir.write("D/sub/huge", {}), qint64(5) << 30)); // 5 GiB, sparse
    dir.write("Other/big", QByteArray(5000, 'c'));
    ASSERT_TRUE(QFile::link(dir.file("Other"), dir.file("D/link")));
    ASSERT_TRUE(QFile::link(dir.file("D"), dir.file("D/sub/loop")));
    // Links add nothing: neither what they point to nor a loop back up.
    EXPECT_EQ(DirSize(dir.file("D") + "/"), 1024 + (uint64_t(5) << 30));
    // Nor another file system mounted below, nor a virtual one (/proc shows 128 TiB).
    const SmallDisk mounted(dir.mkdir("D/mnt"));
    if (!mounted.path.isEmpty()) {
        dir.write("D/mnt/other", QByteArray(4000, 'm'));
        EXPECT_EQ(DirSize(dir.file("D") + "/"), 1024 + (uint64_t(5) << 30));
    }
    EXPECT_EQ(DirSize("/proc/"), 0u);
}

TEST(ProgressPercent, SixtyFourBitAndCappedAtAHundred) {
    const std::tuple<uint64_t, uint64_t, int> cases[] = {
        {0, 0, 0},
        {1, 1, 0},
        {50, 100, 50},
        {100, 100, 100},
        {150, 100, 100},
        {uint64_t(3) << 30, uint64_t(6) << 30, 50}, // beyond 32 bits
        {uint64_t(1) << 62, uint64_t(1) << 63, 50}, // done × 100 would overflow
        {UINT64_MAX, UINT64_MAX, 100},
    };
    for (const auto& [done, total, percent] : cases)
        EXPECT_EQ(ProgressPercent(done, total), percent) << done << "/" << total;
}

// ---- the worker ----

using Worker = TransferFixture<>;

TEST_F(Worker, CopiesATreeWithThePaneFiltersAndCountsFiles) {
    dir.write("S/T/a", "a");
    dir.write("S/T/.hid", "h");
    dir.write("S/T/deep/b", Pattern(70000));
    dir.write("S/f", "f");
    dir.mkdir("D");
    local.showHidden = false;
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T"), {.name = "f", .size = 1}});
    RunTransfer(job);
    EXPECT_EQ(ReadAll(dir.file("D/T/a")), "a");
    EXPECT_EQ(ReadAll(dir.file("D/T/deep/b")), Pattern(70000));
    EXPECT_EQ(ReadAll(dir.file("D/f")), "f");
    EXPECT_FALSE(QFileInfo::exists(dir.file("D/T/.hid")));
    EXPECT_EQ(job.progress.files.load(), 3);
    const auto end = job.progress.Take();
    EXPECT_EQ(end.name, "Done");
    EXPECT_TRUE(end.ended);
}

TEST_F(Worker, NeverIntoItself) {
    dir.write("S/A/x", "x");
    dir.mkdir("S/A/sub");
    ASSERT_TRUE(QFile::link(dir.file("S/A"), dir.file("S/alias")));
    // The target folder is the folder itself, below it, or below it through a link.
    const QStringList targets = {dir.file("S"), dir.file("S/A"), dir.file("S/A/sub"),
                                 dir.file("S/alias/sub")};
    for (const QString& target : targets) {
        for (bool copy : {true, false}) {
            SCOPED_TRACE(target.toStdString());
            user.told.clear();
            Prepare(copy, dir.file("S"), target, {FolderItem("A")});
            RunTransfer(job);
            EXPECT_EQ(ReadAll(dir.file("S/A/x")), "x");
            EXPECT_FALSE(QFileInfo::exists(dir.file("S/A/sub/A")));
            EXPECT_FALSE(QFileInfo::exists(dir.file("S/A/A")));
        }
    }
}

TEST_F(Worker, FolderMoveRemovesOnlyWhatArrived) {
    // Into an existing folder: no rename, files go one by one.
    dir.write("S/M/a", "a");
    dir.write("S/M/.hid", "h");
    dir.write("S/M/sub/b", "b");
    dir.mkdir("D/M");
    local.showHidden = false;
    Prepare(false, dir.file("S"), dir.file("D"), {FolderItem("M")});
    user.answers = {true};
    RunTransfer(job);
    EXPECT_EQ(user.asked, QStringList{kAskRemoveFolder.arg(dir.file("S/M"))});
    EXPECT_EQ(ReadAll(dir.file("D/M/a")), "a");
    EXPECT_EQ(ReadAll(dir.file("D/M/sub/b")), "b");
    EXPECT_FALSE(QFileInfo::exists(dir.file("S/M/a")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("S/M/sub")));
    // The hidden file was not moved: it stays, so does its folder, and the user is told.
    EXPECT_EQ(ReadAll(dir.file("S/M/.hid")), "h");
    EXPECT_EQ(user.told, QStringList{kNotRemovedWhole.arg(dir.file("S/M"))});

    // A new target on the same file system: the folder is renamed, hidden files and all.
    Prepare(false, dir.file("S"), dir.file("D"), {FolderItem("M")});
    job.items[0].name = "M";
    ASSERT_TRUE(QDir().rename(dir.file("D/M"), dir.file("D/old")));
    RunTransfer(job);
    EXPECT_EQ(ReadAll(dir.file("D/M/.hid")), "h");
    EXPECT_FALSE(QFileInfo::exists(dir.file("S/M")));
}

TEST_F(Worker, OnItsOwnThreadCountsOnlyWholeFilesWhenStopped) {
    for (int i = 0; i < 40; ++i)
        dir.write(QString("S/T/f%1").arg(i), Pattern(20000 + i));
    dir.mkdir("D");
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T")});
    std::thread worker([this] { RunTransfer(job); });
    // The dialog's side: snapshots while it runs, then the stop.
    JobProgress::Snapshot s;
    do {
        s = job.progress.Take();
    } while (!s.ended && s.files < 5);
    job.progress.running.store(0);
    worker.join();
    s = job.progress.Take();
    EXPECT_TRUE(s.ended);
    EXPECT_EQ(s.name, "Done");
    const QStringList arrived = QDir(dir.file("D/T")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(arrived.size(), s.files);
    for (const QString& n : arrived)
        EXPECT_EQ(ReadAll(dir.file("D/T/" + n)), ReadAll(dir.file("S/T/" + n))) << n.toStdString();
}

// A link inside a copied or moved folder stays a link, and a link moved as the chosen row
// moves as a link: what it points to is never walked into, emptied or removed. The move goes
// to another file system, so its files are copied and then removed.
TEST_F(Worker, LinksStayLinksInATreeAndAsTheMovedRow) {
    dir.write("Real/keep", "keep");
    dir.write("S/T/a", "a");
    ASSERT_EQ(::symlink("../../Real", Native(dir.file("S/T/toFolder"))), 0);
    ASSERT_EQ(::symlink("a", Native(dir.file("S/T/toFile"))), 0);
    const QByteArray oddName = "/odd-\xff\xfe"; // not UTF-8
    ASSERT_EQ(::symlink("a", (Native(dir.file("S/T")).bytes + oddName).constData()), 0);
    ASSERT_EQ(::symlink(Native(dir.file("Real")), Native(dir.file("S/L"))), 0);
    dir.mkdir("D");
    const TempDir shm("/dev/shm"); // another file system: a move copies, then removes
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T"), FolderItem("L")});
    RunTransfer(job);
    Prepare(false, dir.file("S"), shm.path(), {FolderItem("T"), FolderItem("L")});
    user.answers = {true};
    RunTransfer(job);
    for (const QString& base : {dir.file("D"), shm.path()}) {
        SCOPED_TRACE(base.toStdString());
        EXPECT_EQ(LinkText(base + "/T/toFolder"), "../../Real");
        EXPECT_EQ(LinkText(base + "/T/toFile"), "a");
        EXPECT_EQ(LinkText(platform::DecodeName(Native(base + "/T").bytes + oddName)), "a");
        EXPECT_EQ(LinkText(base + "/L"), QFile::encodeName(dir.file("Real")));
        EXPECT_EQ(ReadAll(base + "/T/a"), "a");
    }
    EXPECT_FALSE(QFileInfo::exists(dir.file("S/T")));
    EXPECT_TRUE(LinkText(dir.file("S/L")).isEmpty());
    EXPECT_EQ(ReadAll(dir.file("Real/keep")), "keep");
    EXPECT_TRUE(user.told.isEmpty()) << user.told.join("; ").toStdString();
}

namespace {
std::vector<std::pair<QString, QString>> swaps; // folder, what takes its place
// In the middle of the first file's copy, each folder is moved aside and a link to
// another folder put in its place (files of a tree are copied on several threads).
void SwapAllForLinks() {
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    for (const auto& [folder, victim] : swaps)
        if (QDir().rename(folder, folder + ".aside"))
            ::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(folder).constData());
    swaps.clear();
}
} // namespace

TEST_F(Worker, AFolderSwappedForALinkMidMoveIsNeverEmptiedThroughIt) {
    dir.write("S/M/a", Pattern(100000));
    dir.write("S/M/b", Pattern(100000, 1));
    dir.write("Victim/a", "mine");
    dir.write("Victim/b", "mine too");
    const TempDir shm("/dev/shm");
    swaps = {{dir.file("S/M"), dir.file("Victim")}};
    platform::SetBlockHook(SwapAllForLinks);
    Prepare(false, dir.file("S"), shm.path(), {FolderItem("M")});
    user.answers = {true};
    RunTransfer(job);
    platform::SetBlockHook(nullptr);
    EXPECT_TRUE(swaps.empty()); // the swap happened
    EXPECT_EQ(ReadAll(dir.file("Victim/a")), "mine");
    EXPECT_EQ(ReadAll(dir.file("Victim/b")), "mine too");
    EXPECT_EQ(ReadAll(dir.file("S/M.aside/a")), Pattern(100000));
}

// Folders swapped for links during a copy, in the source (the folder being read and one not
// yet entered) and in the target: nothing is read from or written to where the links lead.
TEST_F(Worker, FoldersSwappedForLinksMidCopyLeadNowhere) {
    dir.write("S/T/a/f1", Pattern(1000));
    dir.write("S/T/a/f2", "own");
    dir.write("S/T/a/b/g", "own");
    for (const char* name : {"Secret/f1", "Secret/f2", "Secret/g"})
        dir.write(name, "secret");
    const QString trap = dir.mkdir("Trap");
    dir.mkdir("D");
    swaps = {{dir.file("S/T/a/b"), dir.file("Secret")},
             {dir.file("S/T/a"), dir.file("Secret")},
             {dir.file("D/T/a"), trap}};
    platform::SetBlockHook(SwapAllForLinks); // at the first of f1 and f2
    Prepare(true, dir.file("S"), dir.file("D"), {FolderItem("T")});
    RunTransfer(job);
    platform::SetBlockHook(nullptr);
    EXPECT_TRUE(swaps.empty()); // the swaps happened
    EXPECT_TRUE(QDir(trap).isEmpty()) << QDir(trap).entryList().join(",").toStdString();
    // Both files came from the folder that was read, into the folder that was made.
    EXPECT_EQ(ReadAll(dir.file("D/T/a.aside/f1")), Pattern(1000));
    EXPECT_EQ(ReadAll(dir.file("D/T/a.aside/f2")), "own");
    QDirIterator it(dir.file("D"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_NE(ReadAll(it.next()), "secret") << it.filePath().toStdString();
    // The folder not yet entered when the swap came is refused; one entered before is copied
    // from where it was (the walk goes on while the first files are copied).
    ASSERT_LE(user.failures.size(), 1);
    if (user.failures.empty())
        EXPECT_EQ(ReadAll(dir.file("D/T/a.aside/b/g")), "own");
    else
        EXPECT_TRUE(user.failures[0].contains("/T/a/b")) << user.failures[0].toStdString();
}

// A folder copy into a full disk asks once: "skip all" goes on without more questions and
// tells at the end how many were passed over; "stop" ends the job at the first failure.
TEST_F(Worker, AFullTargetAsksOnceThenSkipsAllOrStops) {
    const SmallDisk small(dir.mkdir("small"));
    if (small.path.isEmpty()) GTEST_SKIP() << "cannot mount a small file system";
    for (int i = 0; i < 10; ++i)
        dir.write(QString("S/T/f%1").arg(i), Pattern(64 << 10, i));
    int fitted = 0;
    for (const FailureAnswer answer : {FailureAnswer::SkipAll, FailureAnswer::Stop}) {
        QDir(small.path + "/T").removeRecursively();
        user.failures.clear();
        user.told.clear();
        user.failureAnswers = {answer};
        Prepare(true, dir.file("S"), small.path, {FolderItem("T")});
        RunTransfer(job);
        ASSERT_EQ(user.failures.size(), 1);
        EXPECT_TRUE(user.failures[0].contains(kTooLarge));
        if (answer == FailureAnswer::Stop) {
            EXPECT_EQ(job.progress.files.load(), fitted);
            EXPECT_TRUE(user.told.isEmpty());
            continue;
        }
        fitted = job.progress.files.load();
        EXPECT_GT(fitted, 0);
        EXPECT_LT(fitted, 10);
        EXPECT_EQ(user.told, QStringList{kFailuresPassedOver.arg(10 - fitted - 1)});
    }
}

// A move on one disk is a rename and needs no room; across disks the room is checked first.
TEST_F(Worker, SameDiskMoveNeedsNoRoomAcrossDisksRoomIsChecked) {
    const SmallDisk small(dir.mkdir("small"));
    if (small.path.isEmpty()) GTEST_SKIP() << "cannot mount a small file system";
    const QByteArray fill = Pattern(200 << 10);
    QFile::copy(dir.write("f", fill), small.path + "/f");
    QDir().mkdir(small.path + "/sub");
    const TransferItem f{.name = "f", .size = uint64_t(fill.size())};
    Prepare(false, small.path, small.path + "/sub", {f});
    RunTransfer(job);
    EXPECT_EQ(ReadAll(small.path + "/sub/f"), fill);
    Prepare(false, dir.path(), small.path, {f});
    RunTransfer(job);
    EXPECT_FALSE(QFileInfo::exists(small.path + "/f"));
    EXPECT_EQ(user.told, QStringList{kTooLarge});
    EXPECT_EQ(ReadAll(dir.file("f")), fill);
}
