// Against a real telnet server: busybox's telnetd on 127.0.0.1 running /bin/sh, driven
// through the terminal window as a user would.
#include "TelnetTestSupport.h"

#include "res/Ids.h"
#include "support/SecureServers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <functional>

using namespace velmar;

namespace {

// A busybox with telnetd: the one on PATH when it has it (busybox-static does, Debian's busybox
// does not), else the private copy scripts/deps unpacks for the tests (under HOME: the test
// main gives every run a cache folder of its own).
QString FindBusyboxTelnetd() {
    for (const QString& busybox : {QStandardPaths::findExecutable("busybox"),
                                   QDir::homePath() + "/.cache/velmar/test-tools/busybox"}) {
        if (busybox.isEmpty() || !QFileInfo(busybox).isExecutable()) continue;
        QProcess list;
        list.start(busybox, {"--list"});
        if (list.waitForFinished(5000) &&
            list.readAllStandardOutput().split('\n').contains("telnetd"))
            return busybox;
    }
    return {};
}

struct Telnetd : TerminalWindow {
    QProcess server;
    quint16 port = 0;
    test::TempDir home;

    QString busybox;

    void SetUp() override {
        busybox = FindBusyboxTelnetd();
        if (busybox.isEmpty())
            GTEST_SKIP() << "no busybox with telnetd (scripts/deps test unpacks one)";
    }
    // telnetd on a free port, running `login` for each connection. busybox's telnetd never
    // asks the terminal type, so the shell gets it from here: `terminal` is what ours announces.
    void StartServer(const QString& login, const QString& terminal = {}) {
        port = quint16(test::FreePort());
        ASSERT_NE(port, 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("PS1", "$ ");
        env.insert("ENV", "");
        if (terminal.isEmpty())
            env.remove("TERM");
        else
            env.insert("TERM", terminal);
        server.setProcessEnvironment(env);
        server.setWorkingDirectory(home.path());
        server.start(busybox, {"telnetd", "-F", "-K", "-b", QString("127.0.0.1:%1").arg(port), "-p",
                               QString::number(port), "-l", login});
        ASSERT_TRUE(server.waitForStarted(10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return test::Accepts(port); }, 10000));
    }
    void TearDown() override {
        frame.reset();
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    // The screen's rows without their trailing blanks.
    QStringList Rows() const {
        QStringList rows;
        for (int r = 0; r < view->emulation().rows(); ++r)
            rows << view->emulation().RowText(r);
        return rows;
    }
    bool WaitFor(const std::function<bool(const QStringList&)>& rows) {
        return QTest::qWaitFor([&] { return rows(Rows()); }, 15000);
    }
    std::string Shown() const { return Rows().join('\n').toStdString(); }
    void Type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(view, c.toLatin1());
    }
    void Enter(const QString& line = {}) {
        Type(line);
        QTest::keyClick(view, Qt::Key_Return);
    }
};

// The reduced dialect against a shell: the window size the host got (24 usable rows of 80
// columns) and the server ending the session. (Full-screen programs: the xterm case below.)
TEST_F(Telnetd, ShellSeesTheWindowSizeAndTheSessionEndIsTold) {
    StartServer("/bin/sh");
    view->Connect("127.0.0.1", port);
    ASSERT_TRUE(WaitFor([](const QStringList& r) { return r.contains("$"); })) << Shown();
    Enter("stty size");
    ASSERT_TRUE(WaitFor([](const QStringList& r) { return r.contains("24 80"); })) << Shown();
    Enter("exit");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 10000));
    EXPECT_EQ(messages.shown, QStringList{"Connection Closed"});
    EXPECT_FALSE(view->connected());
    EXPECT_EQ(view->socket(), nullptr);
}

// In xterm mode, the programs a new user tries first, each checked on the screen's cells after
// it has drawn: busybox's own shell (for its line editing), and clear, less and vi as the
// system has them (they draw by the terminal type ours announces), else busybox's.
TEST_F(Telnetd, XtermRunsRealFullScreenPrograms) {
    // telnetd runs the login by name, and busybox picks its applet from the name.
    const QString sh = home.mkdir("bin") + "/sh";
    ASSERT_TRUE(QFile::link(busybox, sh));
    QByteArray lines;
    for (int k = 1; k <= 300; ++k)
        lines += "line " + QByteArray::number(k) + "\n";
    home.write("long.txt", lines);
    view->session().SetKind(telnet::EmulationKind::Xterm);
    StartServer(sh, QString::fromLatin1(view->emulation().terminalType()));
    view->Connect("127.0.0.1", port);
    // busybox's shell asks where the cursor is at each prompt, and drops keys that come in
    // the same read as our answer: a person never types that fast.
    auto prompt = [](const QStringList& rows) { return rows.contains("$"); };
    auto atPrompt = [&](const std::function<bool(const QStringList&)>& rows) {
        const bool ok = WaitFor(rows);
        QTest::qWait(200);
        return ok;
    };
    ASSERT_TRUE(atPrompt(prompt)) << Shown();
    const int rows = view->emulation().rows();
    // The shell would run its own applets first.
    auto program = [](const QString& name) {
        const QString path = QStandardPaths::findExecutable(name);
        return path.isEmpty() ? name : path;
    };

    // Line editing in the middle of a line: the shell redraws the rest of it.
    Type("echo abcXYZ");
    for (int k = 0; k < 3; ++k)
        QTest::keyClick(view, Qt::Key_Left);
    Type("123");
    ASSERT_TRUE(WaitFor([](const QStringList& r) { return r.contains("$ echo abc123XYZ"); }))
        << Shown();
    Enter();
    ASSERT_TRUE(atPrompt([](const QStringList& r) { return r.contains("abc123XYZ"); })) << Shown();

    // clear leaves the prompt alone at the top.
    Enter(program("clear"));
    ASSERT_TRUE(atPrompt([](const QStringList& r) {
        return r[0] == "$" && r.mid(1).join("").isEmpty();
    })) << Shown();

    // less: a page down and back up shows the right lines, and quitting leaves none behind.
    auto page = [](int first) {
        return [first](const QStringList& r) {
            for (int k = 0; k + 1 < r.size(); ++k)
                if (r[k] != "line " + QString::number(first + k)) return false;
            return true;
        };
    };
    Enter(program("less") + " long.txt");
    ASSERT_TRUE(WaitFor(page(1))) << Shown();
    QTest::keyClick(view, Qt::Key_PageDown);
    ASSERT_TRUE(WaitFor(page(rows))) << Shown();
    QTest::keyClick(view, Qt::Key_PageUp);
    ASSERT_TRUE(WaitFor(page(1))) << Shown();
    Type("q");
    ASSERT_TRUE(atPrompt(prompt)) << Shown();
    for (const QString& row : Rows())
        EXPECT_FALSE(row.startsWith("line ")) << Shown();

    // vi: insert, save, quit; the text on the screen while editing, the file on disk after.
    Enter(program("vi") + " note.txt");
    ASSERT_TRUE(WaitFor([](const QStringList& r) { return r[1] == "~"; })) << Shown();
    Type("ihello from xterm");
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([](const QStringList& r) {
        return r[0] == "hello from xterm" && r[1] == "~";
    })) << Shown();
    Enter(":wq");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return test::ReadAll(home.file("note.txt")) == "hello from xterm\n"; }, 15000))
        << Shown();
    ASSERT_TRUE(WaitFor(prompt)) << Shown();
}

} // namespace

// Against a private OpenSSH server on 127.0.0.1 (support/SecureServers.h): its host key, the
// user's key and the known_hosts the session checks are in temporary folders, never the
// machine's own.
struct Sshd : Telnetd {
    std::unique_ptr<test::SshServer> sshd;

    void SetUp() override {
        if (!QFileInfo("/usr/sbin/sshd").isExecutable())
            GTEST_SKIP() << "no sshd (scripts/deps test installs openssh-server)";
        qunsetenv("SSH_AUTH_SOCK"); // the keys of this test only
        sshd = std::make_unique<test::SshServer>();
        ASSERT_TRUE(sshd->ok()) << sshd->error().toStdString();
        port = quint16(sshd->port());
    }
    telnet::SshLogin Login(bool withKey = true) const {
        return {.knownHosts = sshd->knownHosts(),
                .sshDir = withKey ? sshd->sshDir() : home.file("nokeys"),
                .readUserConfig = false};
    }
    // A known_hosts file naming `key` (a public key file's "TYPE BASE64") for the server.
    void KnowHostAs(const QByteArray& key) const {
        ASSERT_TRUE(test::WriteRaw(QFile::encodeName(sshd->knownHosts()),
                                   QString("[127.0.0.1]:%1 ").arg(port).toUtf8() + key + "\n"));
    }
};

// Which mistakes: a key accepted without asking, an accepted key not stored (asked again),
// the pseudo-terminal of the wrong size or never resized, output or keys lost on the way,
// the end of the session not noticed.
TEST_F(Sshd, UnknownHostIsAskedKeyLogInRunsCommandsAtTheWindowsSize) {
    messages.answer(QMessageBox::Yes);
    view->ConnectSsh("127.0.0.1", port, Login());
    EXPECT_TRUE(view->secure());
    EXPECT_TRUE(frame->windowTitle().startsWith("127.0.0.1 (SSH, encrypted) - "));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->connected(); }, 15000))
        << messages.shown.join('|').toStdString();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.kinds.value(0), MessageKind::Question);
    EXPECT_TRUE(messages.shown[0].contains(sshd->fingerprint())) << messages.shown[0].toStdString();
    EXPECT_TRUE(test::ReadAll(sshd->knownHosts())
                    .contains(QString("[127.0.0.1]:%1 ssh-ed25519").arg(port).toUtf8()));

    Enter("echo hello-$((6*7)); stty size");
    const telnet::Emulation& e = view->emulation();
    const QString size = QString("%1 %2").arg(e.reportedRows()).arg(e.columns());
    // Line ends, as bash's bracketed-paste switch (which the reduced dialect does not know)
    // may lead the line.
    auto hasRow = [](const QStringList& rows, const QString& end) {
        return std::any_of(rows.begin(), rows.end(),
                           [&](const QString& r) { return r.endsWith(end); });
    };
    ASSERT_TRUE(WaitFor([&](const QStringList& rows) {
        return hasRow(rows, "hello-42") && hasRow(rows, size);
    })) << Shown();

    // A new size reaches the host's terminal.
    view->session().SetSize(e.lines(), 20, 70);
    const QString smaller = QString("%1 %2").arg(e.reportedRows()).arg(e.columns());
    ASSERT_NE(smaller, size);
    Enter("clear; stty size");
    ASSERT_TRUE(WaitFor([&](const QStringList& rows) { return hasRow(rows, smaller); })) << Shown();

    Enter("exit");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->connected(); }, 15000));
    EXPECT_EQ(messages.shown.value(1), "Connection Closed");

    // Known now: not asked again.
    messages.shown.clear();
    view->ConnectSsh("127.0.0.1", port, Login());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->connected(); }, 15000))
        << messages.shown.join('|').toStdString();
    EXPECT_TRUE(messages.shown.isEmpty());
}

// Which mistakes: an unknown key stored though refused, a changed key accepted or only
// warned about, a password asked before the host is trusted, a refused password taken as a
// log-in.
TEST_F(Sshd, ChangedHostKeyIsRefusedAndAWrongPasswordDoesNotLogIn) {
    int passwordDialogs = 0;
    SetDialogHookForTesting([&](QDialog* d) {
        if (ControlIdOf(d) != ids::kDlgSshPassword) return d->reject();
        ++passwordDialogs;
        FindControl<QLineEdit>(d, ids::kIdcSshPassword)->setText("not the password");
        d->accept();
    });
    // An unknown key answered No: nothing stored, nothing connected.
    view->ConnectSsh("127.0.0.1", port, Login());
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.shown.size() >= 2; }, 15000));
    EXPECT_EQ(messages.kinds.value(0), MessageKind::Question);
    EXPECT_TRUE(messages.shown[1].contains("not trusted")) << messages.shown[1].toStdString();
    EXPECT_FALSE(view->connected());
    EXPECT_FALSE(QFile::exists(sshd->knownHosts()));
    messages.shown.clear();

    // Another key on record for this host and port (the user's key stands in for it).
    KnowHostAs(test::ReadAll(sshd->sshDir() + "/id_ed25519.pub").trimmed());
    view->ConnectSsh("127.0.0.1", port, Login());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 15000));
    EXPECT_TRUE(messages.shown[0].contains("has changed")) << messages.shown[0].toStdString();
    EXPECT_TRUE(messages.shown[0].contains(sshd->fingerprint()));
    EXPECT_FALSE(view->connected());
    EXPECT_EQ(passwordDialogs, 0);

    // The right key on record, but no key of the user's: the password is asked, and refused.
    KnowHostAs(sshd->keyType().toLatin1() + ' ' + sshd->keyBase64());
    messages.shown.clear();
    view->ConnectSsh("127.0.0.1", port, Login(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 15000));
    EXPECT_GE(passwordDialogs, 1);
    EXPECT_TRUE(messages.shown[0].contains("Permission denied")) << messages.shown[0].toStdString();
    EXPECT_FALSE(view->connected());
}
