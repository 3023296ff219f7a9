// A pane on an FTP server, through both back ends (libcurl, our own client) on real servers on
// 127.0.0.1: pyftpdlib for both, vsftpd for libcurl. What a connection does for the engines is
// the side contract's (SideContractTest).
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
    EXPECT_EQ(w.host.pathTexts.last(),
              QString("ftp://127.0.0.1:%1").arg(login_.port) + base_ + "/sub dir/inner.txt");

    // A folder the server refuses (here: gone) keeps the connection and the folder shown,
    // with one message.
    ShowFolder(pane, base_ + "/gone/");
    ASSERT_TRUE(Listed(pane));
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    EXPECT_EQ(pane.controller().ftpState(), FtpState::Connected);
    EXPECT_EQ(pane.controller().currentPath(), base_ + "/sub dir/");
    EXPECT_EQ(Names(pane), QStringList({"..", "inner.txt"}));
    EXPECT_EQ(messages.shown.size(), 1) << messages.shown.join('|').toStdString();
    messages.shown.clear();

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
    // The server's address leaves the path field with it.
    EXPECT_TRUE(WaitFor([&] { return !w.host.pathTexts.last().startsWith("ftp://"); }))
        << w.host.pathTexts.last().toStdString();
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
    // One box says why and that the connection is closed.
    ASSERT_EQ(messages.shown.size(), 1) << messages.shown.join('|').toStdString();
    EXPECT_TRUE(messages.shown[0].endsWith("\nFtp connection closed"))
        << messages.shown[0].toStdString();
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
    FtpStatusInfo status;
    std::unique_ptr<FtpConnection> c =
        ConnectFtp(false, {"127.0.0.1", server.port(), "u", "p"}, {15000, 600000, 600000, false},
                   status);
    ASSERT_TRUE(c) << status.text.toStdString();
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
    // Stopped: nothing to tell, and the connection is kept.
    EXPECT_EQ(c->LastStatus().result, FtpResult::Cancelled) << c->LastStatus().text.toStdString();
    EXPECT_TRUE(c->LastStatus().text.isEmpty());
    c.reset();
    const QList<QByteArray> commands = server.Commands();
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.last(), "LIST");
}

} // namespace
} // namespace velmar::test
