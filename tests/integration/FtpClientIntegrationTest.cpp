// FtpClient against a real server: pyftpdlib on 127.0.0.1 with a temporary home.
#include "ftp/client/FtpClient.h"
#include "ftp/client/FtpListing.h"
#include "support/FtpServer.h"
#include "support/TempDir.h"

#include "support/Printers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <utime.h>

using namespace velmar::ftp;
using velmar::FindRecord;
using velmar::test::Pattern;
using velmar::test::PyFtpServer;
using velmar::test::ReadAll;
using velmar::test::TempDir;

namespace {

class RealServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new PyFtpServer; }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
        // Each test works in a folder of its own under the server's root.
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = QString::fromLatin1(info->name());
        remoteDir_ = home().mkdir(folder_);
        client_ =
            ConnectClient("127.0.0.1", server_->port(), QString::fromLatin1(PyFtpServer::kUser),
                          QString::fromLatin1(PyFtpServer::kPassword));
        ASSERT_TRUE(client_);
        ASSERT_TRUE(client_->ChangeDir(QLatin1Char('/') + folder_));
    }
    void TearDown() override {
        if (client_) client_->Disconnect();
    }

    const TempDir& home() const { return server_->home(); }
    QString OnServer(const QString& name) const { return remoteDir_ + QLatin1Char('/') + name; }

    static PyFtpServer* server_;
    QString folder_;
    QString remoteDir_;
    std::unique_ptr<FtpClient> client_;
    TempDir local_;
};

PyFtpServer* RealServer::server_ = nullptr;

} // namespace

// Log-in failures, uploads, renames, deletes, folder flags and odd names: the pane's FTP
// contract, whose own-client rows run on this client.
TEST_F(RealServer, FolderCommandsAndTheirRefusals) {
    EXPECT_EQ(client_->GetSystemType(), "UNIX");
    EXPECT_EQ(client_->StartFolder(), "/");
    ASSERT_TRUE(client_->MakeDir("new folder"));
    EXPECT_FALSE(client_->MakeDir("new folder"));
    EXPECT_EQ(client_->StatusCode(), 550);
    ASSERT_TRUE(client_->ChangeDir("new folder"));
    EXPECT_EQ(client_->CurrentFolder(), "/" + folder_ + "/new folder");
    EXPECT_FALSE(client_->Rename("missing", "x"));
    EXPECT_EQ(client_->StatusCode(), 550);
    EXPECT_TRUE(client_->Noop());
}

TEST_F(RealServer, ListingMatchesTheFilesOnDisk) {
    home().write(folder_ + "/empty", {});
    home().write(folder_ + "/one byte", "1");
    home().write(folder_ + "/data.bin", Pattern(123457, 1));
    home().mkdir(folder_ + "/sub folder");
    // An old file lists with its year, a recent one with its time.
    const qint64 oldTime =
        QDateTime(QDate(2001, 2, 3), QTime(4, 5), QTimeZone::utc()).toSecsSinceEpoch();
    const utimbuf old{oldTime, oldTime};
    ASSERT_EQ(::utime(OnServer("data.bin").toUtf8().constData(), &old), 0);
    const qint64 recent = QDateTime::currentSecsSinceEpoch() / 60 * 60 - 3600;
    const utimbuf rec{recent, recent};
    ASSERT_EQ(::utime(OnServer("one byte").toUtf8().constData(), &rec), 0);

    FtpListing listing;
    FindRecord r;
    std::map<QString, FindRecord> seen;
    ASSERT_TRUE(FindFirst(listing, *client_, QLatin1Char('/') + folder_ + "/*.*", r));
    do {
        seen[r.name] = r;
    } while (FindNext(listing, r));
    FindClose(listing);

    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen["data.bin"].size, 123457u);
    EXPECT_EQ(
        seen["data.bin"].lastWriteTime,
        velmar::FileTimeFromUnix(
            QDateTime(QDate(2001, 2, 3), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch(), 0));
    EXPECT_EQ(seen["one byte"].lastWriteTime, velmar::FileTimeFromUnix(recent, 0));

    FindRecord info;
    ASSERT_TRUE(client_->GetFileInfo("data.bin", info));
    EXPECT_EQ(info.size, 123457u);
    QStringList names;
    ASSERT_TRUE(client_->ListNames(names));
    EXPECT_EQ(names.size(), 4);
    EXPECT_TRUE(names.contains("sub folder"));
}

TEST_F(RealServer, EmptyFolderListsAsDot) {
    FtpListing listing;
    FindRecord r;
    ASSERT_TRUE(FindFirst(listing, *client_, QString(), r));
    EXPECT_EQ(r.name, ".");
    EXPECT_FALSE(FindNext(listing, r));
    // A folder that is not there is a failure with the server's line.
    EXPECT_FALSE(FindFirst(listing, *client_, "/no/such/*.*", r));
    EXPECT_EQ(client_->StatusCode(), 550);
}

TEST_F(RealServer, DownloadsAndUploadsAreByteExact) {
    const std::vector<qsizetype> sizes{0, qsizetype(FtpClient::kBlockSize),
                                       5 * 1024 * 1024 + 12345};
    for (qsizetype size : sizes) {
        SCOPED_TRACE(size);
        const QByteArray content = Pattern(size, int(size));
        const QString name = QString("f%1.bin").arg(size);
        home().write(folder_ + QLatin1Char('/') + name, content);

        std::atomic<int> go{1};
        std::atomic<uint64_t> done{0};
        uint64_t lastProgress = 0;
        int calls = 0;
        client_->SetProgressCallback([&](uint64_t so, uint64_t total) {
            EXPECT_GT(so, lastProgress);
            EXPECT_EQ(total, uint64_t(size));
            lastProgress = so;
            ++calls;
        });
        const QString down = local_.file(name);
        ASSERT_TRUE(client_->GetFile(&go, &done, name, down, uint64_t(size), true, 128, 1))
            << client_->StatusMessage().toStdString();
        EXPECT_EQ(ReadAll(down), content);
        EXPECT_EQ(done.load(), uint64_t(size));
        EXPECT_EQ(lastProgress, uint64_t(size));
        EXPECT_EQ(calls > 0, size > 0);

        done = 0;
        lastProgress = 0;
        const QString upName = "up-" + name;
        ASSERT_TRUE(client_->PutFile(&go, &done, down, upName, uint64_t(size)))
            << client_->StatusMessage().toStdString();
        EXPECT_EQ(done.load(), uint64_t(size));
        EXPECT_EQ(ReadAll(OnServer(upName)), content);
        client_->SetProgressCallback({});
    }
}

TEST_F(RealServer, DownloadReplacesAndFailureKeepsTheLocalFile) {
    home().write(folder_ + "/short.txt", "new");
    const QString target = local_.write("target.txt", "older and longer");
    ASSERT_TRUE(client_->GetFile(nullptr, nullptr, "short.txt", target, 0, true, 128, 1));
    EXPECT_EQ(ReadAll(target), QByteArray("new"));

    const QString made = local_.file("made.txt");
    EXPECT_FALSE(client_->GetFile(nullptr, nullptr, "missing.txt", made, 0, true, 128, 1));
    EXPECT_EQ(client_->StatusCode(), 550);
    EXPECT_FALSE(QFileInfo::exists(made));

    // Local files that cannot be made or read.
    EXPECT_FALSE(client_->GetFile(nullptr, nullptr, "short.txt", local_.file("no/such/dir/x"), 0,
                                  true, 128, 1));
    EXPECT_EQ(client_->StatusCode(), status::LocalFileError);
    EXPECT_EQ(client_->StatusMessage(), "CreateFile error");
    EXPECT_FALSE(client_->PutFile(nullptr, nullptr, local_.file("absent"), "x", 0));
    EXPECT_EQ(client_->StatusMessage(), "OpenFile error");

    // A cleared continue flag does nothing and says nothing.
    std::atomic<int> stop{0};
    EXPECT_FALSE(
        client_->GetFile(&stop, nullptr, "short.txt", local_.file("never"), 0, true, 128, 1));
    EXPECT_FALSE(QFileInfo::exists(local_.file("never")));
    EXPECT_EQ(client_->StatusCode(), status::LocalFileError); // as the last call left it
    EXPECT_TRUE(client_->Noop());
}

TEST_F(RealServer, StouAppeAndMemoryTransfers) {
    const QString local = local_.write("part.txt", "first part;");
    ASSERT_TRUE(client_->PutFile(nullptr, nullptr, local, QString(), 0));
    QStringList files = QDir(remoteDir_).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(ReadAll(OnServer(files[0])), QByteArray("first part;"));

    ASSERT_TRUE(client_->PutFileFromMemory("mem.txt", "from memory;", type::Image));
    EXPECT_EQ(ReadAll(OnServer("mem.txt")), QByteArray("from memory;"));
    ASSERT_TRUE(client_->AppendFile(local, "mem.txt", 0, type::Image));
    EXPECT_EQ(ReadAll(OnServer("mem.txt")), QByteArray("from memory;first part;"));

    const QByteArray big = Pattern(8 * 1024 * 1024, 7);
    home().write(folder_ + "/big.bin", big);
    QByteArray got;
    ASSERT_TRUE(client_->GetFileToMemory("big.bin", got, 100, type::Image))
        << client_->StatusMessage().toStdString();
    EXPECT_EQ(got, big.left(100));
    // The aborted transfer's reply is consumed: the next command gets its own.
    ASSERT_TRUE(client_->GetFileToMemory("mem.txt", got, 0, type::Image));
    EXPECT_EQ(got, QByteArray("from memory;first part;"));
    EXPECT_FALSE(client_->GetFileToMemory("none", got, 0, type::Image));
    EXPECT_EQ(client_->StatusCode(), 550);
}

TEST_F(RealServer, CancelMidTransfer) {
    const QByteArray big = Pattern(16 * 1024 * 1024, 3);
    home().write(folder_ + "/big.bin", big);
    std::atomic<int> go{1};
    std::atomic<uint64_t> done{0};
    uint64_t atCancel = 0;
    client_->SetProgressCallback([&](uint64_t so, uint64_t) {
        if (so >= 2 * FtpClient::kBlockSize && go.load()) {
            atCancel = so;
            go = 0;
        }
    });
    EXPECT_FALSE(client_->GetFile(&go, &done, "big.bin", local_.file("down"), uint64_t(big.size()),
                                  true, 128, 1));
    EXPECT_EQ(done.load(), atCancel); // nothing more after the flag was cleared
    EXPECT_LT(done.load(), uint64_t(big.size()));
    // Nothing half-written stays behind.
    EXPECT_TRUE(QDir(local_.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    EXPECT_TRUE(client_->Noop()) << client_->StatusMessage().toStdString();

    // An upload cancelled from another thread must not leave a "complete" file behind.
    const QString local = local_.write("up.bin", big);
    go = 1;
    done = 0;
    client_->SetProgressCallback([&](uint64_t so, uint64_t) {
        if (so >= 2 * FtpClient::kBlockSize && go.load()) {
            std::thread([&] { go = 0; }).join();
            atCancel = so;
        }
    });
    EXPECT_FALSE(client_->PutFile(&go, &done, local, "up.bin", 0));
    EXPECT_EQ(done.load(), atCancel);
    EXPECT_TRUE(client_->Noop()) << client_->StatusMessage().toStdString();
    EXPECT_LT(QFileInfo(OnServer("up.bin")).size(), big.size());
}

TEST_F(RealServer, ConnectionRefusedAndUnknownHost) {
    // Port 1 on the loopback: nobody listens there.
    FtpClient c;
    EXPECT_FALSE(c.Connect("127.0.0.1", {}, {}, 1));
    EXPECT_EQ(c.StatusCode(), status::SocketError);
    EXPECT_EQ(c.StatusMessage(), "Connection refused.");
    EXPECT_FALSE(c.Connect("no-such-host.invalid", {}, {}, 21));
    EXPECT_EQ(c.StatusMessage(), "Unknown Error: 10022\n");
}
