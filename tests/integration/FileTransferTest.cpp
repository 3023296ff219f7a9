// Copy and move between local folders and FTP servers (pyftpdlib on 127.0.0.1), through both
// back ends: every pair byte for byte with names that are not UTF-8, the overwrite question,
// a server dropped in the middle of a folder move, and transfers refused or cancelled part-way.
#include "platform/Cancel.h"
#include "support/FtpPeers.h"
#include "support/TransferFixture.h"

#include <QFileInfo>
#include <chrono>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::test {
namespace {

// Where a file sits: the local folder or one of the two servers.
enum End { Local, Ftp0, Ftp1 };

class FileTransfer : public TransferFixture<::testing::TestWithParam<bool>> {
protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i)
            Start(i, {});
    }
    // Starts server i anew and connects ftp[i] to it.
    void Start(int i, PyFtpServer::Limits limits) {
        connections[i].reset();
        servers[i] = std::make_unique<PyFtpServer>(limits);
        ASSERT_TRUE(servers[i]->ok()) << servers[i]->error().toStdString();
        FtpStatusInfo status;
        const FtpLogin login{"127.0.0.1", servers[i]->port(),
                             QString::fromLatin1(PyFtpServer::kUser),
                             QString::fromLatin1(PyFtpServer::kPassword)};
        connections[i] = ConnectFtp(GetParam(), login, {}, status);
        ASSERT_TRUE(connections[i]) << status.text.toStdString();
        ftp[i] = PaneSide::Ftp(connections[i].get(), QString::number(servers[i]->port()));
    }
    QString Home(int i) const { return servers[i]->home().path(); }
    PaneSide& Side(End e) { return e == Local ? local : ftp[e - 1]; }
    // The path a pane gives for `name`, and the file on disk by its bytes (any name).
    QString PanePath(End e, const QString& name) const {
        return e == Local ? dir.file(name) : "/" + name;
    }
    QByteArray Disk(End e, const QString& name) const {
        return platform::EncodeName((e == Local ? dir.path() : Home(e - 1)) + "/" + name);
    }
    void Put(End e, const QString& name, const QByteArray& bytes) const {
        ASSERT_TRUE(WriteRaw(Disk(e, name), bytes));
    }
    // Modification times, in seconds.
    void SetTime(End e, const QString& name, int64_t seconds) const {
        const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, Disk(e, name).constData(), times, 0), 0);
    }
    int64_t Time(End e, const QString& name) const {
        struct stat st {};
        return ::stat(Disk(e, name).constData(), &st) == 0 ? int64_t(st.st_mtime) : -1;
    }
    QByteArray Get(End e, const QString& name) const {
        const QByteArray path = Disk(e, name);
        return ::access(path, F_OK) == 0 ? ReadAll(platform::DecodeName(path)) : "(missing)";
    }

    std::unique_ptr<PyFtpServer> servers[2];
    std::unique_ptr<FtpConnection> connections[2];
    PaneSide ftp[2];
};

} // namespace

TEST_P(FileTransfer, EveryPairCopiesAsksAndMovesByteForByte) {
    const struct {
        End from, to;
    } pairs[] = {{Local, Ftp0}, {Ftp0, Ftp1}, {Ftp1, Local}, {Ftp0, Ftp0}, {Local, Local}};
    const QByteArray data = Pattern(700000, GetParam());
    for (const auto& [from, to] : pairs) {
        SCOPED_TRACE(testing::Message() << from << "->" << to);
        // Names that are not UTF-8 travel byte for byte.
        const QString tag = QString::number(from) + QString::number(to);
        const QString src = platform::DecodeName(QByteArray("\xe9t\xe9-\xff")) + tag,
                      dst = "dst" + tag;
        const QString a = PanePath(from, src), b = PanePath(to, dst);
        Put(from, src, data);
        // The copy keeps the time (MDTM and MFMT where a server is on either end).
        SetTime(from, src, 981173106);
        counter = 0;
        ASSERT_TRUE(Copy(a, b, Side(from), Side(to)));
        EXPECT_EQ(Get(to, dst), data);
        EXPECT_EQ(counter.load(), uint64_t(data.size()));
        EXPECT_EQ(Time(to, dst), 981173106);
        EXPECT_TRUE(user.asked.isEmpty());
        // An existing target is replaced only after Yes; a move keeps its source until then.
        Put(to, dst, "old");
        EXPECT_FALSE(Copy(a, b, Side(from), Side(to)));
        EXPECT_EQ(user.asked, QStringList{kAskOverwrite.arg(b)});
        EXPECT_FALSE(Move(a, b, Side(from), Side(to)));
        EXPECT_EQ(Get(to, dst), "old");
        user.answers = {true};
        ASSERT_TRUE(Move(a, b, Side(from), Side(to)));
        EXPECT_EQ(Get(to, dst), data);
        EXPECT_EQ(Get(from, src), "(missing)");
        // Onto itself: refused, the file stays.
        EXPECT_FALSE(Copy(b, b, Side(to), Side(to)));
        EXPECT_FALSE(Move(b, b, Side(to), Side(to)));
        EXPECT_EQ(Get(to, dst), data);
        user.asked.clear();
    }
    // No private temporary file is left anywhere.
    for (const QString& folder : {dir.path(), Home(0), Home(1)})
        EXPECT_TRUE(QDir(folder).entryList({".vlf*", "vlf*"}, QDir::Files | QDir::Hidden).isEmpty())
            << folder.toStdString();
}

TEST_P(FileTransfer, ServerDroppedInAFolderMoveKeepsWhatDidNotArrive) {
    // Every file already exists on the server, so each one asks first: at the second
    // question the server goes away.
    const QStringList names = {"one", "two", "three"};
    for (const QString& n : names) {
        dir.write("F/" + n, Pattern(50000, n.size()));
        QDir(Home(0)).mkpath("F");
        QFile::copy(dir.write("old", "old"), Home(0) + "/F/" + n);
    }
    QStringList arrivedOnServer;
    user.onAsk = [&](const QString& q) {
        if (user.asked.size() != 2 || !q.startsWith("File ")) return;
        for (const QString& n : names)
            if (ReadAll(Home(0) + "/F/" + n) != "old") arrivedOnServer.append(n);
        servers[0]->Stop();
    };
    user.answers = {true, true, true, true, true};
    Prepare(false, dir.path(), "", {FolderItem("F")}, &local, &ftp[0]);
    RunTransfer(job);

    // Exactly the one file that arrived whole left its folder; the rest stayed, and so did
    // the folder, and the user was told.
    ASSERT_EQ(arrivedOnServer.size(), 1);
    for (const QString& n : names) {
        if (n == arrivedOnServer[0])
            EXPECT_FALSE(QFileInfo::exists(dir.file("F/" + n)));
        else
            EXPECT_EQ(ReadAll(dir.file("F/" + n)), Pattern(50000, n.size())) << n.toStdString();
    }
    // Our own client knows its control connection is gone; libcurl would connect anew.
    if (GetParam()) EXPECT_TRUE(job.target.lost());
    EXPECT_EQ(job.progress.files.load(), 1);
    EXPECT_TRUE(user.told.contains(kNotRemovedWhole.arg(dir.file("F"))))
        << user.told.join('|').toStdString();
    // The job ends with its last failure, never "Done".
    EXPECT_EQ(job.progress.Take().name, user.told.last());
}

// A transfer that ends early, refused by the server part-way (a full disk there) or
// cancelled in the middle of a large file, fails, and leaves neither a part under the
// target's name nor a changed target, nor any private file beside it.
TEST_P(FileTransfer, CutTransferLeavesTargetAsItWas) {
    using Row = std::tuple<const char*, bool, bool, bool, bool>;
    const Row cases[] = {
        {"upload refused part-way", true, true, false, true},
        {"move up refused part-way", true, true, true, false},
        {"download move cancelled", false, false, true, true},
        {"upload cancelled", true, false, false, true},
    };
    for (const auto& [what, upload, refused, move, targetExists] : cases) {
        SCOPED_TRACE(what);
        // Throttled when cancelled, so the cancel lands long before the end.
        Start(1, refused ? PyFtpServer::Limits{65536, 0} : PyFtpServer::Limits{-1, 2 << 20});
        const QByteArray data = Pattern(refused ? 1 << 20 : 16 << 20, 7);
        const End from = upload ? Local : Ftp1, to = upload ? Ftp1 : Local;
        Put(from, "src", data);
        if (targetExists) Put(to, "t", "old");
        user.answers = {true};
        user.told.clear();
        running = 1;
        counter = 0;
        // A cancel also fires the worker's stop token (the progress dialog does so after a
        // grace period; here at once), which must not keep a private part on the server.
        platform::CancelToken stop;
        std::thread canceller([&] {
            while (!refused && running.load() && counter.load() < 256 * 1024)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (refused) return;
            running = 0;
            stop.Cancel();
        });
        const QString a = PanePath(from, "src"), b = PanePath(to, "t");
        {
            const platform::ScopedCancel worker(&stop);
            EXPECT_FALSE(move ? Move(a, b, Side(from), Side(to))
                              : Copy(a, b, Side(from), Side(to)));
        }
        running = 0;
        canceller.join();
        EXPECT_EQ(user.told.isEmpty(), !refused); // a cancel is the user's own doing
        EXPECT_EQ(Get(from, "src"), data);
        EXPECT_EQ(Get(to, "t"), targetExists ? "old" : "(missing)");
        EXPECT_TRUE(QDir(to == Local ? dir.path() : Home(1))
                        .entryList({".vlf*"}, QDir::Files | QDir::Hidden)
                        .isEmpty());
    }
}

// An anonymous upload folder (vsftpd: uploads, but no rename or delete): the file is stored
// under its own name; the private copy of the first try, which the server keeps, is named to
// the user once, and no later upload leaves another.
TEST_P(FileTransfer, UploadWithoutRenameRightsStoresUnderTheTargetName) {
    VsFtpServer vs(false);
    ASSERT_TRUE(vs.ok()) << vs.error().toStdString();
    FtpStatusInfo status;
    const std::unique_ptr<FtpConnection> c =
        ConnectFtp(GetParam(), {"127.0.0.1", vs.port(), {}, {}}, {}, status);
    ASSERT_TRUE(c) << status.text.toStdString();
    PaneSide server = PaneSide::Ftp(c.get(), "vs");
    const QString base = vs.home().path();
    const QByteArray one = Pattern(300000, 1), two = Pattern(1000, 2);
    Put(Local, "one", one);
    Put(Local, "two", two);
    ASSERT_TRUE(Copy(dir.file("one"), base + "/one", local, server))
        << user.told.join('|').toStdString();
    ASSERT_TRUE(Copy(dir.file("two"), base + "/two", local, server))
        << user.told.join('|').toStdString();
    EXPECT_EQ(ReadAll(base + "/one"), one);
    EXPECT_EQ(ReadAll(base + "/two"), two);
    const QStringList kept = QDir(base).entryList({".vlf*"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(ReadAll(base + "/" + kept[0]), one);
    ASSERT_EQ(user.told.size(), 1) << user.told.join('|').toStdString();
    EXPECT_TRUE(user.told[0].contains(kept[0])) << user.told[0].toStdString();
}

// Between two servers the file passes through the user's cache folder, which needs room for
// it before the first byte moves.
TEST_P(FileTransfer, ServerToServerNeedsRoomInTheCacheFolder) {
    const QString cache = dir.mkdir("cache");
    if (::mount("tmpfs", QFile::encodeName(cache).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system";
    const ScopedEnv cacheHome("XDG_CACHE_HOME", QFile::encodeName(cache));
    Put(Ftp0, "big", Pattern(200000));
    const bool copied = Copy("/big", "/big", ftp[0], ftp[1]);
    ::umount(QFile::encodeName(cache).constData());
    EXPECT_FALSE(copied);
    EXPECT_EQ(user.told, QStringList{kTooLarge});
    EXPECT_EQ(Get(Ftp1, "big"), "(missing)");
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, FileTransfer, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OwnClient" : "Curl";
                         });

} // namespace velmar::test
