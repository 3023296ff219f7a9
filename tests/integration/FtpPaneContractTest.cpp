// A pane on an FTP server, through both back ends (libcurl, our own client) on real servers on
// 127.0.0.1: pyftpdlib for both, vsftpd for libcurl. What a connection does for the engines is
// the side contract's (SideContractTest).
#include "../filemgr/PaneTestSupport.h"
#include "filemgr/FtpDialogs.h"
#include "filemgr/PathBar.h"
#include "support/FtpPeers.h"
#include "support/Printers.h"

namespace velmar::test {
namespace {

struct Back {
    const char* name;
    PeerKind peer;
    bool own;
};

class FtpContract : public ::testing::TestWithParam<Back> {
protected:
    void SetUp() override {
        ResetPaneSettings();
        SaveFtpServerList({});
        peer_ = StartPeer(GetParam().peer);
        ASSERT_TRUE(peer_.server->ok()) << peer_.server->error().toStdString();
        ASSERT_TRUE(WriteOddNames(peer_.server->home().path()));
        QDir(peer_.server->home().path()).mkpath("empty");
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    // Connects `pane` through the "Ftp Servers" dialog, choosing its only entry.
    void ConnectThroughDialog(CPaneList& pane, const QString& password) {
        WriteStoreSetting("InternalFTP", GetParam().own ? 1 : 0);
        const FtpLogin& l = peer_.login;
        SaveFtpServerList({CFtpNode{l.host, password, l.user, 0, uint32_t(l.port)}});
        ChooseTheOnlyServer();
        pane.OnCommand(ids::kCmdFtp);
    }

    // The pane after its connection ended: back on the local root, no connection.
    static void ExpectBackOnTheLocalRoot(CPaneList& pane) {
        EXPECT_TRUE(WaitFor([&] {
            return !pane.controller().IsListing() &&
                   pane.controller().sourceKind() == int(kSourceLocal);
        }));
        EXPECT_EQ(pane.controller().currentPath(), "/");
        EXPECT_EQ(pane.controller().ftpState(), FtpState::None);
    }

    static std::set<QString> RowsWithoutParent(const CPaneList& pane) {
        std::set<QString> names;
        for (const QString& n : Names(pane))
            if (n != "..") names.insert(n);
        return names;
    }

    Peer peer_;
};

TEST_P(FtpContract, PaneBrowsesTheServerAndDisconnects) {
    PaneWindow w;
    MessageScript messages;
    CPaneList& pane = *w.left;
    ConnectThroughDialog(pane, peer_.login.password);
    WaitListed(pane.controller());
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    EXPECT_EQ(pane.controller().currentPath(), "/");
    if (!peer_.base.isEmpty()) ShowFolder(pane, peer_.base);
    EXPECT_EQ(RowsWithoutParent(pane), OddNamesAnd({"sub dir", "empty"}));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('|').toStdString();

    OpenAndWait(pane.controller(), pane.controller().FindRow("sub dir"));
    EXPECT_EQ(pane.controller().currentPath(), peer_.base + "/sub dir/");
    EXPECT_EQ(Names(pane), QStringList({"..", "inner.txt"}));
    pane.controller().SelectAndFocus(1);
    ASSERT_FALSE(w.host.pathTexts.isEmpty());
    EXPECT_EQ(w.host.pathTexts.last(), QString("ftp://127.0.0.1:%1").arg(peer_.login.port) +
                                           peer_.base + "/sub dir/inner.txt");

    // A folder the server refuses (here: gone) keeps the connection and the folder shown,
    // with one message.
    ShowFolder(pane, peer_.base + "/gone/");
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    EXPECT_EQ(pane.controller().ftpState(), FtpState::Connected);
    EXPECT_EQ(pane.controller().currentPath(), peer_.base + "/sub dir/");
    EXPECT_EQ(Names(pane), QStringList({"..", "inner.txt"}));
    EXPECT_EQ(messages.shown.size(), 1) << messages.shown.join('|').toStdString();
    messages.shown.clear();

    OpenAndWait(pane.controller(), pane.controller().FindRow(".."));
    EXPECT_EQ(RowsWithoutParent(pane), OddNamesAnd({"sub dir", "empty"}));
    OpenAndWait(pane.controller(), pane.controller().FindRow("empty"));
    EXPECT_EQ(Names(pane), QStringList({".."}));

    // A folder whose answer is parsed beside the thread receiving it: every entry, once.
    const QString many = peer_.server->home().path() + "/many";
    ASSERT_TRUE(QDir().mkpath(many));
    std::set<QString> expected;
    for (int i = 0; i < 4000; ++i) {
        const QString name = QString::asprintf("a-rather-long-file-name-%05d.txt", i);
        ASSERT_TRUE(WriteRaw(QFile::encodeName(many + '/' + name), ""));
        expected.insert(name);
    }
    ShowFolder(pane, peer_.base + "/many/");
    EXPECT_EQ(pane.controller().RowCount(), 4001);
    EXPECT_EQ(RowsWithoutParent(pane), expected);

    // FTP again on a connected pane disconnects at once, without a question.
    pane.OnCommand(ids::kCmdFtp);
    EXPECT_EQ(pane.controller().sourceKind(), int(kSourceLocal));
    ExpectBackOnTheLocalRoot(pane);
    EXPECT_TRUE(messages.shown.isEmpty());
    // The server's address leaves the path field with it.
    EXPECT_TRUE(WaitFor([&] { return !w.host.pathTexts.last().startsWith("ftp://"); }))
        << w.host.pathTexts.last().toStdString();
}

TEST_P(FtpContract, RefusedPasswordAndStoppedServerBringThePaneBackToTheLocalRoot) {
    if (GetParam().peer == PeerKind::Vsftpd) GTEST_SKIP() << "vsftpd takes any anonymous password";
    PaneWindow w;
    MessageScript messages;
    ConnectThroughDialog(*w.right, "wrong");
    ExpectBackOnTheLocalRoot(*w.right);
    const QString first = messages.shown.value(0);
    EXPECT_TRUE(first == "Login failure (incorrect password or login)" ||
                first.contains("Authentication failed"))
        << first.toStdString();

    // A server that goes away while the pane is on it: back without hanging.
    messages.shown.clear();
    CPaneList& pane = *w.left;
    ConnectThroughDialog(pane, peer_.login.password);
    WaitListed(pane.controller());
    ASSERT_EQ(pane.controller().sourceKind(), int(kSourceFtp));
    peer_.server->Stop();
    pane.controller().OpenRow(pane.controller().FindRow("sub dir"));
    ExpectBackOnTheLocalRoot(pane);
    // One box says why and that the connection is closed.
    ASSERT_EQ(messages.shown.size(), 1) << messages.shown.join('|').toStdString();
    EXPECT_TRUE(messages.shown[0].endsWith("\nFtp connection closed"))
        << messages.shown[0].toStdString();
}

const Back kBacks[] = {{"CurlPyftpdlib", PeerKind::Pyftpdlib, false},
                       {"OwnClientPyftpdlib", PeerKind::Pyftpdlib, true},
                       {"CurlVsftpd", PeerKind::Vsftpd, false}};
INSTANTIATE_TEST_SUITE_P(BothBackEnds, FtpContract, ::testing::ValuesIn(kBacks),
                         [](const auto& info) { return std::string(info.param.name); });

// A pane on a server over TLS and over SFTP, through the server list as a user does it.
// Which mistakes: an unknown certificate or host key used without asking, a question that
// does not show what it asks about, a No that connects anyway, a Yes not remembered (asked
// again; where others could read it: TrustStoreTest), known_hosts rewritten instead of added to,
// a changed certificate or key accepted or merely asked about, the pane not saying how it is
// connected.
TEST(SecurePane, UnknownPeerIsAskedOnceAndAChangedOneIsRefused) {
    ResetPaneSettings();
    VsFtpsServer tls;
    SshServer ssh;
    ASSERT_TRUE(tls.ok()) << tls.error().toStdString();
    ASSERT_TRUE(ssh.ok()) << ssh.error().toStdString();
    // The user's own known_hosts: its last line has no line end, and it must stay as it was.
    const QByteArray mine = "# mine\nexample.org ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIExample";
    ASSERT_TRUE(WriteRaw(QFile::encodeName(ssh.knownHosts()), mine));
    const ScopedEnv home("HOME", QFile::encodeName(ssh.userHome()));
    ASSERT_TRUE(WriteRaw(QFile::encodeName(tls.home().path() + "/tls.txt"), "t"));
    ASSERT_TRUE(WriteRaw(QFile::encodeName(ssh.home().path() + "/ssh.txt"), "s"));

    // The protocol, its server, what the question shows, the address it gives, a file there.
    using Row = std::tuple<FtpProtocol, const ServerProcess&, QString, const char*, const char*>;
    const Row cases[] = {
        {FtpProtocol::FtpTls, tls, trust::ShownPin(tls.certificatePin()), "ftpes://", "tls.txt"},
        {FtpProtocol::Sftp, ssh, ssh.fingerprint(), "sftp://", "ssh.txt"}};
    for (const auto& [protocol, server, fingerprint, scheme, file] : cases) {
        SCOPED_TRACE(ProtocolName(protocol).toStdString());
        PaneWindow w;
        CPaneList& pane = *w.left;
        CFtpNode node{"127.0.0.1", {}, {}, 0, uint32_t(server.port())};
        node.protocol = protocol;
        SaveFtpServerList({node});
        ChooseTheOnlyServer();
        const auto connected = [&] {
            return WaitFor([&] {
                return !pane.controller().IsListing() &&
                       pane.controller().sourceKind() == int(kSourceFtp) &&
                       pane.controller().ftpState() == FtpState::Connected;
            });
        };
        MessageScript messages;
        pane.OnCommand(ids::kCmdFtp); // No
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown[0].contains(fingerprint)) << messages.shown[0].toStdString();
        EXPECT_EQ(pane.controller().sourceKind(), int(kSourceLocal));

        messages.answer(QMessageBox::Yes);
        pane.OnCommand(ids::kCmdFtp);
        ASSERT_TRUE(connected()) << messages.shown.join('|').toStdString();
        ShowFolder(pane, server.home().path());
        ASSERT_TRUE(WaitFor([&] { return Names(pane).contains(file); }));
        pane.controller().SelectAndFocus(pane.controller().FindRow(file));
        EXPECT_TRUE(w.host.pathTexts.last().startsWith(scheme))
            << w.host.pathTexts.last().toStdString();
        EXPECT_TRUE(ConnectionNote(w.host.pathTexts.last()).startsWith("encrypted"));
        pane.OnCommand(ids::kCmdFtp); // disconnects
        pane.OnCommand(ids::kCmdFtp); // asks nothing now
        ASSERT_TRUE(connected());
        EXPECT_EQ(messages.shown.size(), 2) << messages.shown.join('|').toStdString();
        pane.OnCommand(ids::kCmdFtp);

        // Another certificate or key stands for this host and port now.
        if (protocol == FtpProtocol::FtpTls) {
            ASSERT_TRUE(trust::RememberCertificate(TrustedCertificatesFile(), "127.0.0.1",
                                                   quint16(tls.port()), QByteArray(64, 'a')));
        } else {
            const QByteArray known = ReadAll(ssh.knownHosts());
            EXPECT_TRUE(known.startsWith(mine + "\n[127.0.0.1]:")) << known.toStdString();
            EXPECT_TRUE(known.contains(ssh.keyBase64()));
            const QList<QByteArray> other =
                ReadAll(ssh.sshDir() + "/id_ed25519.pub").split(' '); // a key, not the host's
            ASSERT_TRUE(WriteRaw(QFile::encodeName(ssh.knownHosts()),
                                 QString("[127.0.0.1]:%1 ").arg(ssh.port()).toUtf8() + other[0] +
                                     ' ' + other[1] + '\n'));
        }
        pane.OnCommand(ids::kCmdFtp);
        ASSERT_EQ(messages.shown.size(), 3);
        EXPECT_TRUE(messages.shown[2].contains("has changed")) << messages.shown[2].toStdString();
        EXPECT_EQ(messages.kinds[2], MessageKind::Error);
        EXPECT_EQ(pane.controller().sourceKind(), int(kSourceLocal));
        SetDialogHookForTesting(nullptr);
    }
}

} // namespace
} // namespace velmar::test
