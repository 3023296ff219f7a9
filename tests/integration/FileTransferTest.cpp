// Copy and move between local folders and FTP servers (pyftpdlib on 127.0.0.1), through both
// back ends: every pair byte for byte, the overwrite question, a name that is not UTF-8 there
// and back, and a server dropped in the middle of a folder move.
#include "platform/FileOps.h"
#include "platform/NameCodec.h"
#include "sources/FilePrimitives.h"
#include "sources/FtpConnection.h"
#include "sources/TransferJob.h"
#include "support/FtpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace velmar::test {
namespace {

class ScriptedUser : public FileMessages {
public:
    bool Ask(const QString& q) override {
        asked.append(q);
        if (onAsk) onAsk(q);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Tell(const QString& t) override { told.append(t); }
    std::deque<bool> answers;
    QStringList asked;
    QStringList told;
    std::function<void(const QString&)> onAsk;
};

QByteArray Pattern(int size, int seed) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((unsigned(i) * 167u + unsigned(seed) + unsigned(i) / 251) & 0xff);
    return b;
}

class FileTransfer : public ::testing::TestWithParam<bool> {
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
        int code = 0;
        QString text;
        const FtpLogin login{QStringLiteral("127.0.0.1"), servers[i]->port(),
                             QString::fromLatin1(PyFtpServer::kUser),
                             QString::fromLatin1(PyFtpServer::kPassword)};
        connections[i] = ConnectFtp(GetParam(), login, code, text);
        ASSERT_TRUE(connections[i]) << text.toStdString();
        ftp[i] = PaneSide{};
        ftp[i].kind = kSourceFtp;
        ftp[i].connection = connections[i].get();
        ftp[i].site = QString::number(servers[i]->port());
    }
    QString Home(int i) const { return servers[i]->home().path(); }
    bool Copy(const QString& a, const QString& b, PaneSide& from, PaneSide& to) {
        return CopyEntry(control, a, b, from, to, user);
    }
    bool Move(const QString& a, const QString& b, PaneSide& from, PaneSide& to) {
        return MoveEntry(control, a, b, from, to, user);
    }

    std::unique_ptr<PyFtpServer> servers[2];
    std::unique_ptr<FtpConnection> connections[2];
    PaneSide ftp[2];
    PaneSide local;
    TempDir dir;
    ScriptedUser user;
    std::atomic<int> running{1};
    std::atomic<uint64_t> counter{0};
    TransferControl control{&running, &counter};
};

} // namespace

TEST_P(FileTransfer, EveryPairCopiesAndMovesByteForByte) {
    const QByteArray data = Pattern(700000, GetParam());
    // local -> FTP -> FTP (another server) -> local, copying; each arrival byte-exact.
    const QString src = dir.write("src.bin", data);
    ASSERT_TRUE(Copy(src, "/up.bin", local, ftp[0]));
    EXPECT_EQ(ReadAll(Home(0) + "/up.bin"), data);
    ASSERT_TRUE(Copy("/up.bin", "/across.bin", ftp[0], ftp[1]));
    EXPECT_EQ(ReadAll(Home(1) + "/across.bin"), data);
    ASSERT_TRUE(Copy("/across.bin", dir.file("down.bin"), ftp[1], local));
    EXPECT_EQ(ReadAll(dir.file("down.bin")), data);
    EXPECT_TRUE(user.asked.isEmpty());
    EXPECT_TRUE(user.told.isEmpty()) << user.told.join('|').toStdString();
    // No private temporary file is left anywhere.
    for (const QString& folder : {dir.path(), Home(0), Home(1)})
        EXPECT_TRUE(QDir(folder).entryList({".vlf*", "vlf*"}, QDir::Files | QDir::Hidden).isEmpty())
            << folder.toStdString();

    // An existing target is replaced only after Yes, on either side.
    QFile::copy(dir.write("small", "old"), Home(0) + "/exists");
    EXPECT_FALSE(Copy(src, "/exists", local, ftp[0]));
    EXPECT_EQ(user.asked, QStringList{kAskOverwrite.arg("/exists")});
    EXPECT_EQ(ReadAll(Home(0) + "/exists"), "old");
    EXPECT_FALSE(Copy("/up.bin", dir.file("small"), ftp[0], local));
    EXPECT_EQ(ReadAll(dir.file("small")), "old");
    user.answers = {true};
    ASSERT_TRUE(Copy("/up.bin", dir.file("small"), ftp[0], local));
    EXPECT_EQ(ReadAll(dir.file("small")), data);

    // Moves: the source goes once the copy arrived.
    ASSERT_TRUE(Move(src, "/moved.bin", local, ftp[0]));
    EXPECT_FALSE(QFileInfo::exists(src));
    ASSERT_TRUE(Move("/moved.bin", "/moved.bin", ftp[0], ftp[1]));
    EXPECT_FALSE(QFileInfo::exists(Home(0) + "/moved.bin"));
    ASSERT_TRUE(Move("/moved.bin", "/renamed.bin", ftp[1], ftp[1])); // one server: a rename
    ASSERT_TRUE(Move("/renamed.bin", dir.file("back.bin"), ftp[1], local));
    EXPECT_FALSE(QFileInfo::exists(Home(1) + "/renamed.bin"));
    EXPECT_EQ(ReadAll(dir.file("back.bin")), data);
    // Onto itself on one server: refused, the file stays.
    EXPECT_FALSE(Move("/up.bin", "/up.bin", ftp[0], ftp[0]));
    EXPECT_FALSE(Copy("/up.bin", "/up.bin", ftp[0], ftp[0]));
    EXPECT_EQ(ReadAll(Home(0) + "/up.bin"), data);
}

TEST_P(FileTransfer, NameThatIsNotUtf8GoesThereAndBack) {
    const QByteArray raw("\xe9t\xe9-\xff.bin");
    const QString name = platform::DecodeName(raw);
    const QString src = dir.file(name);
    {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + raw;
        FILE* out = std::fopen(path.constData(), "wb");
        ASSERT_TRUE(out);
        std::fputs("raw bytes", out);
        std::fclose(out);
    }
    ASSERT_TRUE(Copy(src, "/" + name, local, ftp[0]));
    const QByteArray onServer = QFile::encodeName(Home(0)) + '/' + raw;
    EXPECT_EQ(::access(onServer.constData(), F_OK), 0);
    dir.mkdir("back");
    ASSERT_TRUE(Copy("/" + name, dir.file("back/" + name), ftp[0], local));
    const QByteArray back = QFile::encodeName(dir.path()) + "/back/" + raw;
    EXPECT_EQ(::access(back.constData(), F_OK), 0);
    char bytes[32] = {};
    FILE* in = std::fopen(back.constData(), "rb");
    ASSERT_TRUE(in);
    const size_t n = std::fread(bytes, 1, sizeof bytes, in);
    std::fclose(in);
    EXPECT_EQ(QByteArray(bytes, int(n)), "raw bytes");
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
    TransferJob job;
    job.copy = false;
    job.sourcePath = dir.path() + "/";
    job.targetPath = "/";
    job.source = local;
    job.target = ftp[0];
    job.messages = &user;
    TransferItem folder;
    folder.name = "F";
    folder.folder = true;
    job.items = {folder};
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
    if (GetParam()) EXPECT_TRUE(job.target.lost);
    EXPECT_EQ(job.progress.files.load(), 1);
    EXPECT_TRUE(user.told.contains(kNotRemovedWhole.arg(dir.file("F"))))
        << user.told.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, FileTransfer, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OwnClient" : "Curl";
                         });

} // namespace velmar::test

namespace velmar::test {

// A transfer that ends early, refused by the server part-way (a full disk there) or
// cancelled in the middle of a large file, fails, and leaves neither a part under the
// target's name nor a changed target, nor any private file beside it.
TEST_P(FileTransfer, CutTransferLeavesTargetAsItWas) {
    struct Case {
        const char* what;
        bool upload, refused, move, targetExists;
    } cases[] = {
        {"upload refused part-way", true, true, false, true},
        {"move up refused part-way", true, true, true, false},
        {"download move cancelled", false, false, true, true},
        {"upload cancelled", true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Throttled when cancelled, so the cancel lands long before the end.
        Start(1, c.refused ? PyFtpServer::Limits{65536, 0} : PyFtpServer::Limits{-1, 2 << 20});
        const QByteArray data = Pattern(c.refused ? 1 << 20 : 16 << 20, 7);
        const QString mine = dir.path() + "/" + c.what, there = Home(1);
        QDir().mkpath(mine);
        const QString src = (c.upload ? mine : there) + "/src";
        const QString target = (c.upload ? there : mine) + "/t";
        QFile::copy(dir.write("data", data), src);
        if (c.targetExists) QFile::copy(dir.write("old", "old"), target);
        user.answers = {true};
        user.told.clear();
        running = 1;
        counter = 0;
        std::thread canceller([&] {
            while (!c.refused && running.load() && counter.load() < 256 * 1024)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!c.refused) running = 0;
        });
        PaneSide& from = c.upload ? local : ftp[1];
        PaneSide& to = c.upload ? ftp[1] : local;
        const QString a = c.upload ? src : "/src", b = c.upload ? "/t" : target;
        EXPECT_FALSE(c.move ? Move(a, b, from, to) : Copy(a, b, from, to));
        running = 0;
        canceller.join();
        EXPECT_EQ(user.told.isEmpty(), !c.refused); // a cancel is the user's own doing
        EXPECT_EQ(ReadAll(src), data);
        EXPECT_EQ(QDir(c.upload ? there : mine).entryList(QDir::Files | QDir::Hidden),
                  c.targetExists ? QStringList{"t"} : QStringList{});
        if (c.targetExists) EXPECT_EQ(ReadAll(target), "old");
    }
}

} // namespace velmar::test
