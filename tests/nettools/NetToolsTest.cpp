// Ping against the loopback interface, whois and finger against scripted servers and a
// real fingerd on 127.0.0.1, and the three dialogs driven as a user would.
#include "framework/Dialogs.h"
#include "nettools/NetToolDialogs.h"
#include "nettools/Ping.h"
#include "nettools/TextQuery.h"
#include "platform/Cancel.h"
#include "platform/Echo.h"
#include "platform/NameLookup.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"
#include "support/FtpServer.h"
#include "support/Gui.h"
#include "support/MessageScript.h"
#include "support/Printers.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <array>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmar {
namespace {

using test::ScriptedServer;
using test::WaitFor;

// 127.255.255.255 is the loopback broadcast address: echo requests to it go out and the
// kernel, which ignores broadcast echoes, never answers them.
const QString kSilentAddress = "127.255.255.255";
// Consecutive dots make a name the resolver rejects before asking any server.
const QString kUnresolvable = "no..such..host";

QStringList Ping(const PingParams& p, PingOutcome* outcome = nullptr) {
    QStringList lines;
    const PingOutcome o = RunPing(p, [&](const QString& l) { lines.append(l); });
    if (outcome) *outcome = o;
    return lines;
}

struct NetTools : ::testing::Test {
    test::MessageScript messages;
};

TEST_F(NetTools, StatusNamesByCodeWithUnknownOutsideTheRange) {
    const std::pair<int, const char*> table[] = {
        {11000, "IP_STATUS_BASE"},   {11003, "IP_DEST_HOST_UNREACHABLE"},
        {11010, "IP_REQ_TIMED_OUT"}, {11013, "IP_TTL_EXPIRED_TRANSIT"},
        {11022, "IP_UNLOAD"},        {11023, "Unknown"},
        {10999, "Unknown"},          {10050, "Unknown"},
    };
    for (const auto& [code, name] : table)
        EXPECT_EQ(IpStatusName(code), QString::fromLatin1(name)) << code;
}

TEST_F(NetTools, LoopbackAnswersEveryRequestWithTheSizeActuallySent) {
    // Size, count, TTL, and the size sent. TTL 300 goes out as 44; the first line keeps what
    // was typed.
    const std::array<int, 4> cases[] = {
        {32, 3, 128, 32},     {0, 1, 128, 32},    {2000, 1, 128, 32},
        {1024, 1, 128, 1024}, {100, 1, 300, 100}, {32, 0, 128, 32},
    };
    for (const auto& [size, count, ttl, sent] : cases) {
        const QString first =
            QString::asprintf("SIZE: %d, COUNT: %d, TTL: %d, TIMEOUT: 2000", sent, count, ttl);
        SCOPED_TRACE(first.toStdString());
        PingOutcome outcome{};
        const QStringList lines = Ping({"127.0.0.1", size, count, ttl, 2000}, &outcome);
        EXPECT_EQ(outcome, PingOutcome::Done);
        ASSERT_EQ(lines.size(), 2 + count);
        EXPECT_EQ(lines[0], first);
        EXPECT_EQ(lines[1], "127.0.0.1");
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(lines[2 + i].startsWith("RTT: ") &&
                        lines[2 + i].endsWith(QStringLiteral(" ms, DataSize: %1 bytes").arg(sent)))
                << lines[2 + i].toStdString();
    }
}

TEST_F(NetTools, UnansweredRequestsTimeOutAndBadHostsNeverSend) {
    PingOutcome outcome{};
    QStringList lines = Ping({kSilentAddress, 32, 1, 128, 150}, &outcome);
    EXPECT_EQ(outcome, PingOutcome::Done);
    EXPECT_EQ(lines.mid(1), (QStringList{kSilentAddress, "Ping Failed: IP_REQ_TIMED_OUT (11010)"}));
    // Requests that fail at once (time-out 0) are spaced out, not sent back to back.
    platform::CancelToken token;
    std::atomic<int> failed{0};
    std::thread run([&] {
        const platform::ScopedCancel scope(&token);
        RunPing({kSilentAddress, 32, 1000, 128, 0},
                [&](const QString& l) { failed += l.startsWith("Ping Failed"); });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    token.Cancel();
    run.join();
    EXPECT_GE(failed.load(), 1);
    EXPECT_LE(failed.load(), 2);
    // (A name that cannot be resolved: the dialog's "Invalid Host".)
    EXPECT_TRUE(Ping({QString(), 32, 1, 128, 150}, &outcome).isEmpty());
    EXPECT_EQ(outcome, PingOutcome::InvalidHost);
    // A reply buffer without room for one entry is refused before anything is sent.
    platform::IcmpEcho echo;
    ASSERT_TRUE(echo.Open());
    platform::EchoReply reply;
    EXPECT_EQ(echo.EchoSend(0x0100007F, "x", 1, nullptr, &reply, sizeof reply - 1, 100), 0);
    EXPECT_EQ(echo.LastError(), platform::kErrorBufferTooSmall);
}

TEST_F(NetTools, QuestionsAndWhoisAnswerText) {
    EXPECT_EQ(FingerQuestion(true, QString()), QByteArray("/W\r\n"));
    EXPECT_EQ(FingerQuestion(false, "bob"), QByteArray("bob\r\n"));
    EXPECT_EQ(FingerQuestion(false, QString()), QByteArray("\r\n"));
    EXPECT_EQ(WhoisQuestion(QString(600, QLatin1Char('q'))), QByteArray(512, 'q') + " \r\n");

    const std::pair<QByteArray, QString> table[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\r\nb"},
        {"", QString()},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(WhoisAnswerText(in), out) << in.toStdString();
    // The byte cut comes first, then the cut after the line ends grew.
    const QString longText = WhoisAnswerText(QByteArray(9000, 'x') + QByteArray(9000, '\n'));
    EXPECT_EQ(longText.size(), kWhoisTextLimit);
    EXPECT_EQ(longText.count(QLatin1Char('x')), 9000);
    EXPECT_TRUE(longText.endsWith(QLatin1String("\r\n")));
    // Piece by piece: a character split between pieces waits for its rest; the pieces'
    // texts add up to the whole answer's text.
    const QByteArray utf8 = QStringLiteral("a\u00e9\u20ac\U0001F600\n").toUtf8() + "\xff";
    for (qsizetype cut = 0; cut <= utf8.size(); ++cut) {
        AnswerText text(AnswerText::Whois);
        QString joined = text.Append(utf8.left(cut));
        joined += text.Append(utf8.mid(cut));
        joined += text.Finish();
        EXPECT_EQ(joined, WhoisAnswerText(utf8)) << cut;
    }
}

TEST_F(NetTools, AnswersWithoutEndOrLineEndStopAtTheirLimits) {
    // Each server sends far past the limit and then waits for the client to close: a read
    // loop without its limit would take it all.
    QueryTimeouts t;
    {
        ScriptedServer server;
        server.Expect().Send((QByteArray(8192, 'w') + "\n").repeated(100)).WaitForClose().Start();
        qsizetype pieces = 0;
        const QueryResult r = RunWhois("127.0.0.1", server.port(), "x", t,
                                       [&](const QByteArray& p) { pieces += p.size(); });
        EXPECT_TRUE(r.ok && r.cut);
        EXPECT_EQ(r.answer.size(), kWhoisTextLimit);
        EXPECT_EQ(pieces, kWhoisTextLimit); // every byte reported once
    }
    // A megabyte in one line, then silence: the finger dialog shows its limit and says so.
    ScriptedServer server;
    server.Expect().Send(QByteArray(1 << 20, 'm')).WaitForClose().Start();
    CFingerDlg dlg;
    dlg.SetPortForTesting(server.port());
    FindControl<QComboBox>(&dlg, ids::kIdcFingerServer)->setEditText("127.0.0.1");
    FindControl<QPushButton>(&dlg, ids::kIdcFingerStart)->click();
    ASSERT_TRUE(WaitFor([&] { return !dlg.running() && !dlg.resultText().isEmpty(); }));
    const QString shown = dlg.resultText();
    EXPECT_EQ(shown.count(QLatin1Char('m')), kFingerAnswerLimit);
    EXPECT_TRUE(shown.endsWith(
        QStringLiteral("\n[The answer was cut after %1 bytes.]\n").arg(kFingerAnswerLimit)));
}

// (An answer in pieces until the server closes: the whois dialog's test.)
TEST_F(NetTools, WhoisGivesUpOnASilentServerAndKeepsWhatCame) {
    QueryTimeouts t;
    t.receiveMs = 300;
    ScriptedServer server;
    server.Expect().Send("partial\n").WaitForClose().Start();
    const QueryResult r = RunWhois("127.0.0.1", server.port(), "x", t);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 10060);
    EXPECT_EQ(r.answer, QByteArray("partial\n"));
    // Nobody listening: refused, nothing sent.
    EXPECT_EQ(RunWhois("127.0.0.1", test::FreePort(), "x", t).error, 10061);
}

TEST_F(NetTools, FingerTakesTheWholeAnswerWhenTheServerFallsSilent) {
    QueryTimeouts t;
    QByteArray big;
    for (int i = 0; big.size() < 10000; ++i)
        big += "user" + QByteArray::number(i) + "  tty" + QByteArray::number(i % 7) + "\r\n";
    // Answers in pieces and then stays silent: the idle time ends the read.
    ScriptedServer server;
    server.Expect().Send(big.left(3000)).Pause(100).Send(big.mid(3000)).WaitForClose().Start();
    const QueryResult r = RunFinger("127.0.0.1", server.port(), true, "bob", t);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.answer, big);
    EXPECT_EQ(server.Commands(), QList<QByteArray>{"/W bob"});
}

TEST_F(NetTools, FingerAgainstTheRealDaemon) {
    const char* daemon = "/usr/sbin/in.fingerd";
    if (::access(daemon, X_OK) != 0) GTEST_SKIP() << "fingerd is not installed";
    // inetd style on one connection: the daemon talks on its standard input and output.
    const int listener = test::ListenLoopback(1);
    std::thread server([&] {
        const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, c, 0);
        posix_spawn_file_actions_adddup2(&actions, c, 1);
        char* argv[] = {const_cast<char*>(daemon), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, daemon, &actions, nullptr, argv, environ) == 0)
            ::waitpid(pid, nullptr, 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(c);
    });
    const QueryResult r =
        RunFinger("127.0.0.1", test::PortOf(listener), false, "root", QueryTimeouts{});
    ::shutdown(listener, SHUT_RDWR); // ends a wait for a connection that never came
    server.join();
    ::close(listener);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.answer.contains("Login: root")) << r.answer.toStdString();
}

// ---- dialogs ----

TEST_F(NetTools, PingDialogListsLinesKeepsTheHostAndStopsOnEscape) {
    SaveHistory("Ping", "LastHosts", {"zeta.example", "alpha.example"});
    {
        CPingDlg dlg;
        FindControl<QComboBox>(&dlg, ids::kIdcPingHost)->setEditText("127.0.0.1");
        FindControl<QSpinBox>(&dlg, ids::kIdcPingCount)->setValue(2);
        FindControl<QPushButton>(&dlg, ids::kIdcPingStart)->click();
        ASSERT_TRUE(WaitFor([&] { return !dlg.running() && dlg.results().size() == 4; }));
        EXPECT_TRUE(FindControl<QPushButton>(&dlg, ids::kIdcPingStart)->isEnabled());

        FindControl<QComboBox>(&dlg, ids::kIdcPingHost)->setEditText(kUnresolvable);
        FindControl<QPushButton>(&dlg, ids::kIdcPingStart)->click();
        ASSERT_TRUE(WaitFor([&] { return !dlg.running() && !messages.shown.isEmpty(); }));
        EXPECT_EQ(messages.shown, QStringList{"Invalid Host or IP Entered"});

        // A long run to a silent address: Esc ends it while it waits.
        FindControl<QComboBox>(&dlg, ids::kIdcPingHost)->setEditText(kSilentAddress);
        FindControl<QSpinBox>(&dlg, ids::kIdcPingCount)->setValue(50);
        FindControl<QSpinBox>(&dlg, ids::kIdcPingTimeout)->setValue(60000);
        FindControl<QPushButton>(&dlg, ids::kIdcPingStart)->click();
        ASSERT_TRUE(WaitFor([&] { return dlg.results().size() == 2; }));
        dlg.reject();
        EXPECT_FALSE(dlg.running());
        EXPECT_EQ(dlg.results().size(), 2);
    }
    CPingDlg again;
    auto* combo = FindControl<QComboBox>(&again, ids::kIdcPingHost);
    EXPECT_EQ(test::ItemTexts(*combo), (QStringList{"127.0.0.1", "127.255.255.255", "alpha.example",
                                                    kUnresolvable, "zeta.example"}));
    EXPECT_EQ(again.history().front(), kSilentAddress);
}

TEST_F(NetTools, WhoisDialogShowsTheAnswerWithLineBreaksAndKeepsTheQuery) {
    QByteArray first = "Domain Name: EXAMPLE.COM\n";
    for (int i = 0; i < 80; ++i)
        first += "Remark: line " + QByteArray::number(i) + "\n";
    ScriptedServer server;
    server.Expect().Send(first).Pause(300).Send("Registrar: Test\n").Close().Start();
    {
        CWhoisDlg dlg;
        dlg.resize(400, 300);
        FindControl<QComboBox>(&dlg, ids::kIdcWhoisServer)->setEditText("127.0.0.1");
        dlg.SetPortForTesting(server.port());
        FindControl<QComboBox>(&dlg, ids::kIdcWhoisQuery)->setEditText("example.com");
        FindControl<QPushButton>(&dlg, ids::kIdcWhoisStart)->click();
        ASSERT_TRUE(WaitFor([&] { return dlg.resultText().contains("line 79"); }));
        EXPECT_TRUE(dlg.running()) << "the first piece shows while the rest is awaited";
        // The reader scrolls; the next piece does not take the view back to the top.
        auto* bar = FindControl<QPlainTextEdit>(&dlg, ids::kIdcWhoisResults)->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 5);
        bar->setValue(5);
        ASSERT_TRUE(WaitFor([&] { return !dlg.running(); }));
        EXPECT_EQ(dlg.resultText(), QString::fromLatin1(first + "Registrar: Test\n"));
        EXPECT_EQ(bar->value(), 5);
        EXPECT_EQ(server.Commands(), QList<QByteArray>{"example.com "});
    }
    CWhoisDlg again;
    EXPECT_EQ(test::ItemTexts(*FindControl<QComboBox>(&again, ids::kIdcWhoisQuery)),
              QStringList{"example.com"});
}

TEST_F(NetTools, FingerDialogShowsErrorNumbersAndEscapeStopsAWhoisServerThatNeverAnswers) {
    {
        CFingerDlg dlg;
        FindControl<QComboBox>(&dlg, ids::kIdcFingerServer)->setEditText(kUnresolvable);
        FindControl<QPushButton>(&dlg, ids::kIdcFingerStart)->click();
        ASSERT_TRUE(WaitFor([&] { return !dlg.running() && !dlg.resultText().isEmpty(); }));
        EXPECT_EQ(dlg.resultText(), "10022");
    }
    // Accepts, reads the question and stays silent; the receive time-out is a minute.
    WriteStoreSetting("RecieveTimeout", 60);
    ScriptedServer server;
    server.Expect().WaitForClose().Start();
    CWhoisDlg dlg;
    dlg.SetPortForTesting(server.port());
    FindControl<QComboBox>(&dlg, ids::kIdcWhoisServer)->setEditText("127.0.0.1");
    FindControl<QComboBox>(&dlg, ids::kIdcWhoisQuery)->setEditText("example.org");
    FindControl<QPushButton>(&dlg, ids::kIdcWhoisStart)->click();
    ASSERT_TRUE(WaitFor([&] { return server.Heard() == 1; }));
    EXPECT_TRUE(dlg.running());
    dlg.reject();
    EXPECT_FALSE(dlg.running());
    EXPECT_TRUE(dlg.resultText().isEmpty());
    WriteStoreSetting("RecieveTimeout", 5);
}

TEST_F(NetTools, ClosingDuringASlowNameLookUpDoesNotWaitForIt) {
    struct Gate {
        std::atomic<bool> entered{false}, open{false}, left{false};
    };
    auto gate = std::make_shared<Gate>();
    platform::SetNameResolverForTesting([gate](const QByteArray&, uint32_t&) {
        gate->entered = true;
        for (int i = 0; i < 20000 && !gate->open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        gate->left = true;
        return false;
    });
    {
        CPingDlg dlg;
        FindControl<QComboBox>(&dlg, ids::kIdcPingHost)->setEditText("slow.example");
        FindControl<QPushButton>(&dlg, ids::kIdcPingStart)->click();
        ASSERT_TRUE(WaitFor([&] { return gate->entered.load(); }));
        dlg.reject();
        EXPECT_FALSE(gate->left); // closed while the look-up still hangs
        EXPECT_FALSE(dlg.running());
        gate->open = true;
        WaitFor([&] { return gate->left.load(); });
    }
    platform::SetNameResolverForTesting({});
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.shown.isEmpty()); // the dropped answer is no "Invalid Host"
}

} // namespace
} // namespace velmar
