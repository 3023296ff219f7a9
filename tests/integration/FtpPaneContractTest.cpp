// One contract for a pane's FTP connection, run against both back ends (libcurl, our own
// client) on real servers on 127.0.0.1: pyftpdlib for both, vsftpd for libcurl.
#include "filemgr/FtpDialogs.h"
#include "framework/Dialogs.h"
#include "platform/NameCodec.h"
#include "res/Ids.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpServerList.h"
#include "support/FtpServer.h"
#include "support/MessageScript.h"

#include "../filemgr/PaneTestSupport.h"
#include "support/Printers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <array>
#include <future>
#include <set>

namespace velmar::test {
namespace {

enum class Peer { CurlPy, OwnPy, CurlVs };

std::string PeerName(const ::testing::TestParamInfo<Peer>& info) {
    return std::array{"CurlPyftpdlib", "OwnClientPyftpdlib", "CurlVsftpd"}[int(info.param)];
}

// Names that need every byte of a path carried as it is.
const QByteArray kOddNames[] = {"a b.txt", "x#y", "50%", "q?;.dat", "\xff\xfe-raw"};

class FtpContract : public ::testing::TestWithParam<Peer> {
protected:
    void SetUp() override {
        ResetPaneSettings();
        SaveFtpServerList({});
        if (GetParam() == Peer::CurlVs) {
            vs_ = std::make_unique<VsFtpServer>();
            ASSERT_TRUE(vs_->ok()) << vs_->error().toStdString();
            home_ = vs_->home().path();
            // Without a chroot the anonymous root is the folder's absolute path.
            base_ = home_;
            login_ = {"127.0.0.1", vs_->port(), {}, {}};
        } else {
            py_ = std::make_unique<PyFtpServer>();
            ASSERT_TRUE(py_->ok()) << py_->error().toStdString();
            home_ = py_->home().path();
            login_ = {"127.0.0.1", py_->port(), QString::fromLatin1(PyFtpServer::kUser),
                      QString::fromLatin1(PyFtpServer::kPassword)};
        }
        own_ = GetParam() == Peer::OwnPy;
        for (int i = 0; i < int(std::size(kOddNames)); ++i)
            ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + '/') + kOddNames[i],
                                 QByteArray(100 * (i + 1), char('a' + i))));
        QDir(home_).mkpath("sub dir");
        QDir(home_).mkpath("empty");
        ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/sub dir/inner.txt"), "inner"));
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    std::set<QString> ExpectedRoot() const {
        std::set<QString> names{"sub dir", "empty"};
        for (const QByteArray& n : kOddNames)
            names.insert(platform::DecodeName(n));
        return names;
    }

    // Connects `pane` through the "Ftp Servers" dialog, choosing its only entry.
    void ConnectThroughDialog(CPaneList& pane, const QString& password) {
        WriteStoreSetting("InternalFTP", own_ ? 1 : 0);
        SaveFtpServerList({CFtpNode{login_.host, password, login_.user, 0, uint32_t(login_.port)}});
        SetDialogHookForTesting([](QDialog* d) {
            if (ControlIdOf(d) != ids::kDlgFtpServers) return;
            FindControl<QListWidget>(d, ids::kIdcServerList)->setCurrentRow(0);
            FindControl<QPushButton>(d, ids::kIdOk)->click();
        });
        pane.OnCommand(ids::kCmdFtp);
    }

    // The pane after a failed connection: back on the local root, no connection, told why.
    static void ExpectBackOnTheLocalRoot(CPaneList& pane, const MessageScript& messages) {
        EXPECT_TRUE(WaitFor([&] {
            return !pane.controller().IsListing() &&
                   pane.controller().sourceKind() == int(kSourceLocal);
        }));
        EXPECT_EQ(pane.controller().currentPath(), "/");
        EXPECT_EQ(pane.controller().ftpState(), FtpState::None);
        EXPECT_FALSE(messages.shown.isEmpty());
    }

    static bool Listed(CPaneList& pane) {
        return WaitFor([&] { return !pane.controller().IsListing(); }) && WaitFor([&] {
                   QCoreApplication::processEvents();
                   return true;
               });
    }

    static std::set<QString> RowsWithoutParent(const CPaneList& pane) {
        std::set<QString> names;
        for (const QString& n : Names(pane))
            if (n != "..") names.insert(n);
        return names;
    }

    std::unique_ptr<PyFtpServer> py_;
    std::unique_ptr<VsFtpServer> vs_;
    QString home_;
    QString base_; // the server path of home_, without its trailing slash
    FtpLogin login_;
    bool own_ = false;
};

TEST_P(FtpContract, ConnectionListsTransfersAndChangesTheServer) {
    int code = 0;
    QString text;
    std::unique_ptr<FtpConnection> c = ConnectFtp(own_, login_, {}, code, text);
    ASSERT_TRUE(c) << code << " " << text.toStdString();
    EXPECT_EQ(c->IsOwnClient(), own_);

    std::vector<FindRecord> records;
    ASSERT_TRUE(c->ListFolder(base_ + "/", records));
    std::set<QString> names;
    for (const FindRecord& r : records) {
        names.insert(r.name);
        EXPECT_EQ(r.isFolder(), r.name == "sub dir" || r.name == "empty") << r.name.toStdString();
        if (r.name == "50%") EXPECT_EQ(r.size, 300u);
    }
    EXPECT_EQ(names, ExpectedRoot());
    ASSERT_TRUE(c->ListFolder(base_ + "/empty/", records));
    EXPECT_TRUE(records.empty());
    // A listing that arrives in many blocks: no line is lost or cut where a block ends.
    QDir(home_).mkpath(QStringLiteral("long"));
    std::set<QString> longNames;
    for (int i = 0; i < 1500; ++i) {
        const QByteArray name = "entry " + QByteArray::number(i) + " of a listing of many blocks";
        ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/long/") + name, ""));
        longNames.insert(QString::fromLatin1(name));
    }
    ASSERT_TRUE(c->ListFolder(base_ + QStringLiteral("/long/"), records));
    names.clear();
    for (const FindRecord& r : records)
        names.insert(r.name);
    EXPECT_EQ(names, longNames);

    // Every odd name reads back its own bytes, by absolute path, with backslashes too.
    TempDir local;
    std::atomic<int> running{1};
    for (int i = 0; i < int(std::size(kOddNames)); ++i) {
        const QString name = platform::DecodeName(kOddNames[i]);
        std::atomic<uint64_t> counter{0};
        const QString target = local.file(QString("got%1").arg(i));
        ASSERT_TRUE(c->ReadFileTo(base_ + QLatin1Char('\\') + name, target, &running, &counter))
            << name.toStdString();
        EXPECT_EQ(ReadAll(target), QByteArray(100 * (i + 1), char('a' + i)));
        EXPECT_EQ(counter.load(), uint64_t(100 * (i + 1)));
    }
    QByteArray viaSink;
    ASSERT_TRUE(c->ReadFile(
        base_ + "/sub dir/inner.txt",
        [&](const char* d, size_t n) {
            viaSink.append(d, qsizetype(n));
            return true;
        },
        &running, nullptr));
    EXPECT_EQ(viaSink, "inner");

    // A cleared running flag ends a download as a failure and leaves no file.
    std::atomic<int> stopped{0};
    EXPECT_FALSE(c->ReadFileTo(base_ + "/x#y", local.file("no"), &stopped, nullptr));
    EXPECT_FALSE(QFile::exists(local.file("no")));
    // A download that fails keeps what the local file held.
    const QString kept = local.write("kept", "precious");
    EXPECT_FALSE(c->ReadFileTo(base_ + "/missing", kept, &running, nullptr));
    EXPECT_EQ(ReadAll(kept), "precious");

    // Upload, folder, rename, size, delete: the server's disk shows each step.
    const QByteArray payload(70000, 'u');
    const QString source = local.write("up.bin", payload);
    std::atomic<uint64_t> sent{0};
    ASSERT_TRUE(c->WriteFileFrom(source, base_ + "/up 50%#.bin", &running, &sent));
    EXPECT_EQ(sent.load(), uint64_t(payload.size()));
    EXPECT_EQ(ReadAll(home_ + "/up 50%#.bin"), payload);
    ASSERT_TRUE(c->MakeDir(base_ + "/new #dir"));
    EXPECT_TRUE(QFileInfo(home_ + "/new #dir").isDir());
    ASSERT_TRUE(c->Rename(base_ + "/up 50%#.bin", base_ + "/new #dir/moved"));
    uint64_t size = 0;
    ASSERT_TRUE(c->FileSize(base_ + "/new #dir/moved", size));
    EXPECT_EQ(size, uint64_t(payload.size()));
    ASSERT_TRUE(c->DeleteFile(base_ + "/new #dir/moved"));
    ASSERT_TRUE(c->RemoveDir(base_ + "/new #dir"));
    EXPECT_FALSE(QFileInfo::exists(home_ + "/new #dir"));

    // A refusal is an error with text, not a lost connection; the next command still works.
    EXPECT_FALSE(c->DeleteFile(base_ + "/missing"));
    QString why;
    EXPECT_GT(c->ErrorText(why), 0);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(c->ListFolder(base_ + "/sub dir", records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "inner.txt");
}

TEST_P(FtpContract, PaneBrowsesTheServerAndDisconnects) {
    PaneWindow w;
    MessageScript messages;
    CPaneList& pane = *w.left;
    ConnectThroughDialog(pane, login_.password);
    ASSERT_TRUE(Listed(pane));
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    EXPECT_EQ(pane.controller().currentPath(), "/");
    if (!base_.isEmpty()) {
        ShowFolder(pane, base_);
        ASSERT_TRUE(Listed(pane));
    }
    EXPECT_EQ(RowsWithoutParent(pane), ExpectedRoot());
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('|').toStdString();

    pane.controller().OpenRow(pane.controller().FindRow("sub dir"));
    ASSERT_TRUE(Listed(pane));
    EXPECT_EQ(pane.controller().currentPath(), base_ + "/sub dir/");
    EXPECT_EQ(Names(pane), QStringList({"..", "inner.txt"}));
    pane.controller().SelectAndFocus(1);
    ASSERT_FALSE(w.host.pathTexts.isEmpty());
    EXPECT_EQ(w.host.pathTexts.last(), "ftp://127.0.0.1" + base_ + "/sub dir/inner.txt");

    pane.controller().OpenRow(pane.controller().FindRow(".."));
    ASSERT_TRUE(Listed(pane));
    EXPECT_EQ(RowsWithoutParent(pane), ExpectedRoot());

    pane.controller().OpenRow(pane.controller().FindRow("empty"));
    ASSERT_TRUE(Listed(pane));
    EXPECT_EQ(Names(pane), QStringList({".."}));

    // FTP again on a connected pane disconnects at once, without a question.
    pane.OnCommand(ids::kCmdFtp);
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceLocal));
    EXPECT_EQ(pane.controller().currentPath(), "/");
    EXPECT_EQ(pane.controller().ftpState(), FtpState::None);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_P(FtpContract, RefusedPasswordAndStoppedServerBringThePaneBackToTheLocalRoot) {
    if (GetParam() == Peer::CurlVs) GTEST_SKIP() << "vsftpd takes any anonymous password";
    PaneWindow w;
    MessageScript messages;
    ConnectThroughDialog(*w.right, "wrong");
    ExpectBackOnTheLocalRoot(*w.right, messages);
    const QString first = messages.shown.value(0);
    EXPECT_TRUE(first == "Login failure (incorrect password or login)" ||
                first.contains("Authentication failed"))
        << first.toStdString();

    // A server that goes away while the pane is on it: back without hanging.
    messages.shown.clear();
    CPaneList& pane = *w.left;
    ConnectThroughDialog(pane, login_.password);
    ASSERT_TRUE(Listed(pane));
    ASSERT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    py_->Stop();
    pane.controller().OpenRow(pane.controller().FindRow("sub dir"));
    ExpectBackOnTheLocalRoot(pane, messages);
    if (!own_) EXPECT_EQ(messages.shown.value(messages.shown.size() - 1), "Ftp connection closed");
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, FtpContract,
                         ::testing::Values(Peer::CurlPy, Peer::OwnPy, Peer::CurlVs), PeerName);

// A server that starts a listing and then sends nothing: the pane's stop flag must end the
// libcurl listing long before any time-out would.
TEST(CurlStop, StopFlagEndsABlockedListing) {
    ResetPaneSettings();
    ScriptedServer server;
    server.Send("220 scripted server ready\r\n")
        .Answer("331 Password required")
        .Answer("230 Logged in")
        .Answer("257 \"/\" is the current directory")
        .Answer("250 CWD fine") // the listing's folder: the log-in changes none
        .Answer("500 no EPSV here")
        .Pasv()
        .Answer("200 Type set")
        .Answer("150 Here it comes")
        .WaitForClose();
    server.Start();
    int code = 0;
    QString text;
    std::unique_ptr<FtpConnection> c =
        ConnectFtp(false, {"127.0.0.1", server.port(), "u", "p"}, {15000, 600000, 600000, false},
                   code, text);
    ASSERT_TRUE(c) << text.toStdString();
    std::atomic<bool> stop{false};
    c->SetStopFlag(&stop);
    std::vector<FindRecord> records;
    auto listing = std::async(std::launch::async, [&] { return c->ListFolder("/dir/", records); });
    // Time enough for the few commands before LIST; the last check below makes sure the
    // stop met a listing already waiting for its data.
    QThread::msleep(1500);
    stop = true;
    ASSERT_EQ(listing.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(listing.get());
    QString why;
    EXPECT_EQ(c->ErrorText(why), 0) << why.toStdString(); // stopped: nothing to tell
    c.reset();
    const QList<QByteArray> commands = server.Commands();
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.last(), "LIST");
}

} // namespace
} // namespace velmar::test
