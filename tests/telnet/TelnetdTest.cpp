// Against a real telnet server: busybox's telnetd on 127.0.0.1 running /bin/sh, driven
// through the terminal window as a user would.
#include "TelnetTestSupport.h"

#include "support/FtpServer.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <vector>

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
        // Ready when it accepts.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port);
                return s.waitForConnected(200);
            },
            10000));
    }
    void TearDown() override {
        frame.reset();
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    QString Screen() const {
        // Whole rows, blanks included, so a prompt's trailing blank counts.
        QString out;
        const telnet::Emulation& e = view->emulation();
        std::vector<telnet::Cell> cells(size_t(e.columns()));
        for (int r = 0; r < e.rows(); ++r) {
            e.LineCells(e.ScreenToView(r), cells.data());
            for (const telnet::Cell& c : cells)
                out += QString::fromUcs4(&c.ch, 1);
            out += '\n';
        }
        return out;
    }
    bool WaitForScreen(const QString& text) {
        return QTest::qWaitFor([&] { return Screen().contains(text); }, 10000);
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
    void Enter() { QTest::keyClick(view, Qt::Key_Return); }
};

TEST_F(Telnetd, ShellWindowSizeFullScreenEditorAndSessionEnd) {
    StartServer("/bin/sh");
    view->Connect("127.0.0.1", port);
    ASSERT_TRUE(WaitForScreen("$ ")) << Screen().toStdString();

    // The window size the host got: 24 usable rows of 80 columns.
    Type("stty size");
    Enter();
    ASSERT_TRUE(WaitForScreen("24 80 ")) << Screen().toStdString();

    // A full-screen editor: busybox vi writes a file.
    const QString file = home.path() + "/note.txt";
    Type("vi " + file);
    Enter();
    ASSERT_TRUE(WaitForScreen("~")) << Screen().toStdString();
    Type("ihello from vi");
    QTest::keyClick(view, Qt::Key_Escape);
    QTest::keyClick(view, Qt::Key_Escape); // ESC 0: leaves insert mode, then column 0
    Type(":wq");
    Enter();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) && f.readAll() == "hello from vi\n";
        },
        10000))
        << Screen().toStdString();

    // The server ends the session.
    ASSERT_TRUE(WaitForScreen("$ "));
    Type("exit");
    Enter();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 10000));
    EXPECT_EQ(messages.shown, QStringList{"Connection Closed"});
    EXPECT_FALSE(view->connected());
    EXPECT_EQ(view->socket(), nullptr);
}

// In xterm mode, the programs a new user tries first, each checked on the screen's cells after
// it has drawn: busybox's own shell (for its line editing), and clear, ls, less, top and vi
// as the system has them (they draw by the terminal type ours announces), else busybox's.
TEST_F(Telnetd, XtermRunsRealFullScreenPrograms) {
    // telnetd runs the login by name, and busybox picks its applet from the name.
    ASSERT_TRUE(QDir(home.path()).mkdir("bin"));
    const QString sh = home.path() + "/bin/sh";
    ASSERT_TRUE(QFile::link(busybox, sh));
    {
        QFile long_(home.path() + "/long.txt");
        ASSERT_TRUE(long_.open(QIODevice::WriteOnly));
        for (int k = 1; k <= 300; ++k)
            long_.write("line " + QByteArray::number(k) + "\n");
    }
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
    Type(program("clear"));
    Enter();
    ASSERT_TRUE(atPrompt([](const QStringList& r) {
        return r[0] == "$" && r.mid(1).join("").isEmpty();
    })) << Shown();

    Type("ls -l");
    Enter();
    ASSERT_TRUE(atPrompt([](const QStringList& r) { return r[1].startsWith("total "); }))
        << Shown();
    if (qEnvironmentVariableIsSet("VELMAR_TELNET_PICTURE"))
        frame->grab().save(qEnvironmentVariable("VELMAR_TELNET_PICTURE"));

    // less: a page down and back up shows the right lines, and quitting leaves none behind.
    auto page = [](int first) {
        return [first](const QStringList& r) {
            for (int k = 0; k + 1 < r.size(); ++k)
                if (r[k] != "line " + QString::number(first + k)) return false;
            return true;
        };
    };
    Type(program("less") + " long.txt");
    Enter();
    ASSERT_TRUE(WaitFor(page(1))) << Shown();
    QTest::keyClick(view, Qt::Key_PageDown);
    ASSERT_TRUE(WaitFor(page(rows))) << Shown();
    QTest::keyClick(view, Qt::Key_PageUp);
    ASSERT_TRUE(WaitFor(page(1))) << Shown();
    Type("q");
    ASSERT_TRUE(atPrompt(prompt)) << Shown();
    for (const QString& row : Rows())
        EXPECT_FALSE(row.startsWith("line ")) << Shown();

    // top draws its header, then the process table under it; it may scroll the header into
    // the scrollback as it ends, so the lines are read from there too.
    Type(program("top") + " -n 1");
    Enter();
    ASSERT_TRUE(atPrompt([](const QStringList& r) { return r.last() == "$" || r.contains("$"); }))
        << Shown();
    const telnet::Emulation& e = view->emulation();
    int header = -1;
    for (int line = 0; line < e.viewLines(); ++line) {
        const QString text = e.LineText(line);
        if (text.startsWith("top - ") || text.startsWith("Mem:")) header = line;
    }
    ASSERT_GE(header, 0) << Shown();
    bool table = false;
    for (int line = header + 1; line < std::min(header + 10, e.viewLines()); ++line)
        table = table || (e.LineText(line).contains("PID") && e.LineText(line).contains("COMMAND"));
    EXPECT_TRUE(table) << Shown();

    // vi: insert, save, quit; the text on the screen while editing, the file on disk after.
    Type(program("clear"));
    Enter();
    ASSERT_TRUE(atPrompt([](const QStringList& r) { return r[0] == "$"; })) << Shown();
    Type(program("vi") + " note.txt");
    Enter();
    ASSERT_TRUE(WaitFor([](const QStringList& r) { return r[1] == "~"; })) << Shown();
    Type("ihello from xterm");
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([](const QStringList& r) {
        return r[0] == "hello from xterm" && r[1] == "~";
    })) << Shown();
    Type(":wq");
    Enter();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile f(home.path() + "/note.txt");
            return f.open(QIODevice::ReadOnly) && f.readAll() == "hello from xterm\n";
        },
        15000))
        << Shown();
    ASSERT_TRUE(WaitFor(prompt)) << Shown();
}

} // namespace
