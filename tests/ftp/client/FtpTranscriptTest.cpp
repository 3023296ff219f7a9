// The client against scripted servers: replies no real server gives, and the exact
// command lines the client sends.
#include "ftp/client/FtpClient.h"
#include "platform/NameCodec.h"
#include "support/FtpServer.h"
#include "support/Printers.h"

#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace velmar::ftp;
using velmar::FindRecord;
using namespace velmar::test;
using Lines = QList<QByteArray>;

namespace {

const Lines kAnonymousLogin{"USER anonymous", "PASS guest@ce-velmar.invalid", "HELP", "SYST",
                            "PWD"};

Lines operator+(Lines a, const Lines& b) {
    a.append(b);
    return a;
}

struct Transcript : ::testing::Test {
    bool Connect(const QString& user = {}, const QString& password = {},
                 const velmar::FtpOptions& options = {}) {
        server.Start();
        client = std::make_unique<FtpClient>(options);
        return client->Connect("127.0.0.1", user, password, server.port());
    }
    // Ends the session with QUIT and gives what the server heard.
    Lines Finish() {
        client->Disconnect();
        client.reset();
        return server.Commands();
    }
    // A download into memory; none when it failed.
    std::optional<QByteArray> Get(const QString& name) {
        QByteArray got;
        const bool ok = client->Retrieve(name, [&got](const char* data, size_t size) {
            got.append(data, qsizetype(size));
            return true;
        });
        return ok ? std::optional(got) : std::nullopt;
    }

    ScriptedServer server;
    std::unique_ptr<FtpClient> client;
    std::atomic<int> go{1};
    std::atomic<uint64_t> done{0};
};

// The log-in, then the binary type and the passive address a transfer starts with.
ScriptedServer& LoginToTransfer(ScriptedServer& server) {
    return server.Login().Answer("200 Switching to Binary mode.").Pasv();
}

velmar::FtpOptions Waits(int ms) {
    return {ms, ms, ms, false};
}

} // namespace

TEST_F(Transcript, LoggedInAtUserSendsNoPassword) {
    server.Send("220 ready\r\n")
        .Answer("230 User logged in, proceed.")
        .Answer("502 HELP not implemented")
        .Answer("215 UNIX Type: L8")
        .Answer("257 \"/\"")
        .Answer("221 Bye");
    // A backslash in the user name goes out as a slash.
    ASSERT_TRUE(Connect("DOMAIN\\guest", "pw"));
    EXPECT_EQ(Finish(), (Lines{"USER DOMAIN/guest", "HELP", "SYST", "PWD", "QUIT"}));
}

TEST_F(Transcript, TwoRepliesInOnePacketAndPasvNamingAnotherHost) {
    LoginToTransfer(server)
        .Expect()
        .Send("150 Opening BINARY mode data connection\r\n226 Transfer complete\r\n")
        .DataSend("hello")
        .Answer("200 NOOP ok")
        // Nothing listens at the address named: the data must come from the control peer.
        .Pasv("127,0,0,2")
        .Answer("150 Opening BINARY mode data connection")
        .DataSend("via peer")
        .Send("226 Transfer complete\r\n")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Get("f.txt"), QByteArray("hello"));
    // The 226 came from the buffer; the next reply read is the NOOP's own.
    EXPECT_TRUE(client->Noop());
    EXPECT_EQ(client->Status().reply, "200 NOOP ok");
    EXPECT_EQ(Get("g.txt"), QByteArray("via peer"));
    EXPECT_EQ(Finish(), (kAnonymousLogin + Lines{"TYPE I", "PASV", "RETR f.txt", "NOOP", "PASV",
                                                 "RETR g.txt", "QUIT"}));
}

// Lines a reply is made of, free text and overlong lines among them: ReplyReaderTest.
TEST_F(Transcript, Code600IsFatal) {
    server.Login().Expect().Send("600 Beyond the codes\r\n").WaitForClose();
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(client->Noop());
    EXPECT_EQ(client->StatusMessage(), "Invalid Server Response");
    EXPECT_FALSE(client->IsConnected());
    // Anything after the reset needs a new log-in.
    EXPECT_FALSE(client->MakeDir("x"));
    EXPECT_EQ(client->StatusMessage(), "Command requires an active connection.");
    client.reset();
    EXPECT_EQ(server.Commands(), (kAnonymousLogin + Lines{"NOOP"}));
}

TEST_F(Transcript, CurrentFolderForms) {
    server.Login("215 UNIX Type: L8", "257 /home is the current folder")
        .Answer("250 Directory changed")
        .Answer("257 \"/with \"\"quotes\"\" and space\" is current")
        .Answer("550 No such folder")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    EXPECT_EQ(client->StartFolder(), QString()); // no quotes, no folder
    ASSERT_TRUE(client->ChangeDir("sub\\dir"));
    EXPECT_EQ(client->CurrentFolder(), "/with \"quotes\" and space");
    EXPECT_FALSE(client->ChangeDir("nowhere"));
    EXPECT_EQ(client->StatusMessage(), "550 No such folder");
    EXPECT_EQ(Finish(), (kAnonymousLogin + Lines{"CWD sub/dir", "PWD", "CWD nowhere", "QUIT"}));
}

TEST_F(Transcript, ArgumentRules) {
    server.Login()
        .Answer("200 Type set to I")
        .Answer("250 Deleted")
        .Answer("200 SITE ok")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    // Nothing of these reaches the server.
    EXPECT_EQ(client->SendCommand(FtpCommand::CWD, QString(128, QLatin1Char('a'))), 0);
    EXPECT_EQ(client->Result(), velmar::FtpResult::InvalidName);
    EXPECT_EQ(client->SendCommand(FtpCommand::DELE, "x\r\nRMD /"), 0);
    EXPECT_EQ(client->SendCommand(FtpCommand::PWD, "arg"), 0);
    EXPECT_EQ(client->SendCommand(FtpCommand::CWD), -1);
    EXPECT_FALSE(client->Rename("a", QString()));
    EXPECT_EQ(client->StatusMessage(), "Invalid filename argument");
    EXPECT_FALSE(client->DeleteFile(QString()));
    EXPECT_EQ(client->Result(), velmar::FtpResult::Ok);
    EXPECT_TRUE(client->SetType(type::Ascii)); // already ASCII
    EXPECT_FALSE(client->SetType(7));
    EXPECT_TRUE(client->SetType(type::Image));
    EXPECT_TRUE(client->SetType(type::Image));
    // 127 characters are fine, and a name read from a listing goes back byte for byte.
    const QString name =
        QString(121, QLatin1Char('n')) + velmar::platform::DecodeName(QByteArray("caf\xe9.t"));
    ASSERT_EQ(name.size(), 127);
    EXPECT_TRUE(client->DeleteFile(name));
    EXPECT_EQ(client->SendRaw("SITE CHMOD 644 a\\b"), 1);
    EXPECT_EQ(Finish(),
              (kAnonymousLogin + Lines{"TYPE I", "DELE " + QByteArray(121, 'n') + "caf\xe9.t",
                                       "SITE CHMOD 644 a\\b", "QUIT"}));
}

TEST_F(Transcript, GreetingTrickledForeverTimesOut) {
    // Each line comes well within the time-out, but the reply never ends: the bound is
    // for the whole reply, so the client gives up long before the final line below.
    server.Send("220-first line of a greeting\r\n");
    for (int i = 0; i < 20; ++i)
        server.Pause(50).Send("220-and more\r\n");
    server.Send("220 ready\r\n").Expect();
    EXPECT_FALSE(Connect({}, {}, Waits(300)));
    EXPECT_EQ(client->Result(), velmar::FtpResult::TimedOut);
    client.reset();
    EXPECT_TRUE(server.Commands().isEmpty());
}

// A server ending the line, in order or by a reset, is a closed connection, never a time-out.
TEST_F(Transcript, LineEndedWhileWaitingForAReply) {
    server.Login().Expect().Close();
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(client->Noop());
    EXPECT_EQ(client->Result(), velmar::FtpResult::ClosedByServer);
    EXPECT_EQ(client->StatusMessage(), "Connection closed by host.");
    EXPECT_FALSE(client->IsConnected());
    ScriptedServer resetting;
    resetting.Login().Expect().Reset();
    resetting.Start();
    ASSERT_TRUE(client->Connect("127.0.0.1", {}, {}, resetting.port()));
    EXPECT_FALSE(client->Noop());
    EXPECT_EQ(client->Result(), velmar::FtpResult::ConnectionLost);
    EXPECT_EQ(client->StatusMessage(), "Connection closed by host.");
}

TEST_F(Transcript, AbortFromAnotherThreadEndsAWaitForAReply) {
    server.Login().Expect().WaitForClose();
    // A minute's wait: only the abort can end it in time.
    ASSERT_TRUE(Connect({}, {}, Waits(60000)));
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client->Abort();
    });
    EXPECT_FALSE(client->Noop());
    stopper.join();
    EXPECT_EQ(client->Result(), velmar::FtpResult::Cancelled);
    EXPECT_FALSE(client->IsConnected()); // the reply may still come: the connection is gone
}

TEST_F(Transcript, LateReplyIsNeverTakenForTheNextCommand) {
    // The NOOP's answer comes after the time-out, with a stale 227 behind it.
    server.Login()
        .Expect()
        .Pause(800)
        .Send("200 NOOP ok\r\n227 Entering Passive Mode (127,0,0,1,4,1)\r\n")
        .WaitForClose();
    ASSERT_TRUE(Connect({}, {}, Waits(300)));
    EXPECT_FALSE(client->Noop());
    EXPECT_EQ(client->Result(), velmar::FtpResult::TimedOut);
    EXPECT_FALSE(client->IsConnected());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_FALSE(Get("f.txt"));
    EXPECT_EQ(client->Result(), velmar::FtpResult::NotConnected);
    EXPECT_EQ(Finish(), (kAnonymousLogin + Lines{"NOOP"}));
}

TEST_F(Transcript, OverlongLogInIsRefusedBeforeAnythingIsSent) {
    // The server listens but never greets: a client that got as far as waiting for a reply
    // would end with a time-out instead.
    client = std::make_unique<FtpClient>();
    // 100 characters, but 200 bytes on the wire.
    const QString password(100, QChar(0xe9));
    EXPECT_FALSE(client->Connect("127.0.0.1", "u", password, server.port()));
    EXPECT_EQ(client->Result(), velmar::FtpResult::InvalidName);
}

TEST_F(Transcript, StalledDownloadFailsAndTheNextOneSucceeds) {
    LoginToTransfer(server)
        .Answer("150 Opening BINARY mode data connection")
        .DataHold("first half ")
        .Send("426 Transfer aborted\r\n")
        .Pasv()
        .Answer("150 Opening BINARY mode data connection")
        .DataSend("the whole file")
        .Send("226 Transfer complete\r\n")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect({}, {}, Waits(300)));
    EXPECT_FALSE(Get("f.bin"));
    EXPECT_EQ(client->StatusMessage(), "Operation timed out.");
    // The time-out of the first download must not fail the second.
    EXPECT_EQ(Get("f.bin"), QByteArray("the whole file")) << client->StatusMessage().toStdString();
    Finish();
}

TEST_F(Transcript, CutTransfersAreFailures) {
    LoginToTransfer(server)
        .Answer("150 Opening")
        .DataSend("only a part")
        .Send("426 Connection closed; transfer aborted.\r\n")
        .Pasv()
        .Expect()
        .Send("150 Ok to send data.\r\n")
        .DataReceive(64 * 1024)
        .Send("426 Failure reading network stream.\r\n")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(Get("f"));
    EXPECT_FALSE(client->Store("up.bin", FromMemory(QByteArray(4 << 20, 'u')), &go, &done));
    // The server's refusal, not a lost connection: the control connection still works.
    EXPECT_EQ(client->Result(), velmar::FtpResult::Refused);
    EXPECT_EQ(client->Status().replyCode, 426);
    EXPECT_LT(done.load(), uint64_t(4 << 20));
    EXPECT_EQ(Finish(),
              (kAnonymousLogin + Lines{"TYPE I", "PASV", "RETR f", "PASV", "STOR up.bin", "QUIT"}));
}

// The tail after the first mebibyte of the long line reads like an entry of its own.
TEST_F(Transcript, OverlongListingLineIsDropped) {
    const QByteArray longLine = QByteArray(1 << 20, 'x') + "-rw-r--r-- 1 u g 1 Jan 1 2020 evil\r\n";
    server.Login()
        .Pasv()
        .Answer("150 Here it comes")
        .DataSend(longLine + "-rw-r--r-- 1 u g 2 Jan 1 2020 good\r\n")
        .Send("226 Done\r\n")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    std::vector<FindRecord> records;
    ASSERT_TRUE(client->ListDir(records, QString()));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "good");
    Finish();
}

TEST_F(Transcript, WindowsNtListingAfterChangingFolder) {
    server.Login("215 Windows_NT")
        .Answer("250 CWD command successful.")
        .Answer("257 \"/pub\" is current directory.")
        .Pasv()
        .Expect()
        .Send("125 Data connection already open; Transfer starting.\r\n")
        .DataSend("01-31-03  10:30PM       <DIR>          pub\r\n"
                  "12-01-99  12:05AM                 1024 x.bin\r\n"
                  "01-01-20  01:00AM                    7 no line end.txt")
        .Send("226 Transfer complete.\r\n")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    std::vector<FindRecord> found;
    ASSERT_TRUE(client->ListDir(found, "\\pub\\*.*"));
    QStringList names; // the lines themselves are the list parser's
    for (const FindRecord& r : found)
        names << r.name;
    // A last line without its line end is an entry all the same.
    EXPECT_EQ(names, (QStringList{"pub", "x.bin", "no line end.txt"}));
    EXPECT_EQ(client->CurrentFolder(), "/pub");
    EXPECT_EQ(Finish(), (kAnonymousLogin + Lines{"CWD /pub", "PWD", "PASV", "LIST", "QUIT"}));
}

TEST_F(Transcript, PsosStartFolderListingAndItsEmptyFolder) {
    server.Login("215 pSOSytem", "550 /flash0 is current")
        .Pasv()
        .Answer("150 Opening")
        .DataSend("drwxrwxrwx  1  0  512  SYSTEM\n-rwxrwxrwx  1  0  46528  boot image.bin\n")
        .Send("226 Done\r\n")
        .Pasv()
        .Answer("550 No files")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    EXPECT_EQ(client->StartFolder(), "/flash0"); // named in a 550
    std::vector<FindRecord> records;
    ASSERT_TRUE(client->ListDir(records, QString()));
    EXPECT_EQ(records.size(), 2u); // pSOSytem lines, which the Unix form does not read
    // On pSOSytem a 550 is a refusal, not an empty folder.
    EXPECT_FALSE(client->ListDir(records, QString()));
    EXPECT_EQ(client->Status().replyCode, 550);
    Finish();
}

TEST_F(Transcript, EmptyUnixFolderAnswers550ButAStaleRefusalIsNoEmptyFolder) {
    server.Login()
        .Answer("550 No such file")
        .Pasv()
        .Answer("450 Folder busy")
        .Answer("250 Directory changed")
        .Answer("257 \"/\"")
        .Pasv()
        .Answer("550 No files found")
        .Answer("221 Bye");
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(client->DeleteFile("missing"));
    EXPECT_EQ(client->Status().replyCode, 550);
    // The 550 left from DELE must not make this refused LIST look like an empty folder.
    std::vector<FindRecord> records;
    EXPECT_FALSE(client->ListDir(records, QString()));
    EXPECT_EQ(client->StatusMessage(), "450 Folder busy");
    ASSERT_TRUE(client->ListDir(records, "/"));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(Finish(), (kAnonymousLogin + Lines{"DELE missing", "PASV", "LIST", "CWD /", "PWD",
                                                 "PASV", "LIST", "QUIT"}));
}

TEST(TimeOuts, EachEndsAWaitInItsOwnPhase) {
    // One second each, given as the client is made.

    // Connect: a listener whose queue is full drops the handshake.
    const int listener = velmar::test::ListenLoopback(0);
    ASSERT_GE(listener, 0);
    const int port = velmar::test::PortOf(listener);
    std::vector<std::unique_ptr<TimedSocket>> queued;
    for (bool full = false; !full && queued.size() < 8;) {
        queued.push_back(std::make_unique<TimedSocket>());
        full = queued.back()->Create() && !queued.back()->Connect("127.0.0.1", port, 300);
    }
    FtpClient refused(Waits(1000));
    EXPECT_FALSE(refused.Connect("127.0.0.1", {}, {}, port));
    EXPECT_EQ(refused.StatusMessage(), "Operation timed out.");
    ::close(listener);

    // Send: a data connection nobody reads; receive: the upload's answer, which never comes.
    ScriptedServer server;
    LoginToTransfer(server).Answer("150 Ok to send data.").DataHold("").WaitForClose();
    server.Start();
    FtpClient client(Waits(1000));
    ASSERT_TRUE(client.Connect("127.0.0.1", {}, {}, server.port()));
    EXPECT_FALSE(client.Store("big", FromMemory(QByteArray(64 << 20, 'b'))));
    EXPECT_EQ(client.StatusMessage(), "Operation timed out.");
    // A reply that may still come belongs to no later command: the line is gone.
    EXPECT_FALSE(client.IsConnected());
}
