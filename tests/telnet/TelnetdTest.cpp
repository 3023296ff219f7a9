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
        if (list.waitForFinished(5000) && list.readAllStandardOutput().split('\n').contains("telnetd"))
            return busybox;
    }
    return {};
}

struct Telnetd : TerminalWindow {
    QProcess server;
    quint16 port = 0;
    test::TempDir home;

    void SetUp() override {
        const QString busybox = FindBusyboxTelnetd();
        if (busybox.isEmpty()) GTEST_SKIP() << "no busybox with telnetd (scripts/deps test unpacks one)";
        port = quint16(test::FreePort());
        ASSERT_NE(port, 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("PS1", "$ ");
        env.insert("ENV", "");
        server.setProcessEnvironment(env);
        server.setWorkingDirectory(home.path());
        server.start(busybox, {"telnetd", "-F", "-K", "-b", QString("127.0.0.1:%1").arg(port), "-p",
                               QString::number(port), "-l", "/bin/sh"});
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
    void Type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(view, c.toLatin1());
    }
    void Enter() { QTest::keyClick(view, Qt::Key_Return); }
};

TEST_F(Telnetd, ShellWindowSizeFullScreenEditorAndSessionEnd) {
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

} // namespace
