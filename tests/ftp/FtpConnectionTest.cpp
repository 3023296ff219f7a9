// The FTP side without a server: error texts, the reduction of a server's reply, the URL
// path a server path becomes, and the stored server list.
#include "ftp/FtpConnection.h"
#include "ftp/FtpServerList.h"
#include "ftp/InternetErrors.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/Settings.h"

#include "support/FtpServer.h"
#include "support/Printers.h"

#include <future>
#include <gtest/gtest.h>

namespace velmar {
namespace {

TEST(FtpErrors, ServerReplyKeepsOnlyItsFailureLinesWithoutCodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"530 Login incorrect.\r\n", "Login incorrect.\n"},
        {"550 No such file.", " No such file."}, // a last line without a break: code only
        {"220 hello\r\n550-first\r\n550 second\r\n", "first\nsecond\n"},
        {"250 fine\r\n", "250 fine\r\n"}, // no failure line: the whole reply stays
        {"", ""},
    };
    for (const auto& [reply, shown] : cases)
        EXPECT_EQ(ReduceServerReply(QString::fromLatin1(reply)), QString::fromLatin1(shown))
            << reply;
}

// The libcurl side's texts for each result, and which results lose the connection.
TEST(FtpErrors, ResultsGiveTheirTextAndLostConnectionsAreDropped) {
    const std::tuple<FtpResult, const char*, bool> cases[] = {
        {FtpResult::Ok, "", false},
        {FtpResult::Cancelled, "", false},
        {FtpResult::Refused, "Login incorrect.\n", false},
        {FtpResult::InvalidName, "Invalid URL", false},
        {FtpResult::NameNotResolved, "Server not found\n(name not resolved)", true},
        {FtpResult::LoginFailed, "Login failure (incorrect password or login)", true},
        {FtpResult::CannotConnect, "Can't connect to server", true},
        {FtpResult::TimedOut, "The operation timed out", true},
        {FtpResult::ClosedByServer, "Connection aborted", true},
        {FtpResult::ConnectionLost, "Connection aborted", true},
        {FtpResult::LocalFailure, "Error code = 99999", false},
    };
    for (const auto& [result, text, lost] : cases) {
        EXPECT_EQ(InternetFailureText(result, "530 Login incorrect.\r\n", 99999),
                  QString::fromLatin1(text))
            << int(result);
        FtpStatusInfo status;
        status.result = result;
        EXPECT_EQ(status.lost(), lost) << int(result);
    }
}

TEST(FtpUrl, EveryByteIsEncodedAndTheFirstSlashNamesTheRoot) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"/", "/%2F/"},
        {"/a/", "/%2F%61/"},
        {"/a b/c#d", "/%2F%61%20%62/%63%23%64"},
        {"\\x\\%?;", "/%2F%78/%25%3F%3B"},
        {"/\xff\xfe", "/%2F%FF%FE"},
        {"//two//", "/%2F%74%77%6F//"},
    };
    for (const auto& [path, url] : cases)
        EXPECT_EQ(ftp::EncodeFtpUrlPath(path), QByteArray(url)) << url;
}

struct FtpServerListTest : ::testing::Test {
    const std::vector<CFtpNode> three{
        {"ftp.example.org", "pw", "me", 0, 21},
        {"10.0.0.2", QString(), QString(), 1, 2121},
        {"h\u00e9", "p", "u", 0, 65535},
    };
};

TEST_F(FtpServerListTest, ArchiveHasTheClassTagOnceThenReferences) {
    const std::optional<QByteArray> bytes = ArchiveFtpNodes({three[0], three[1]});
    ASSERT_TRUE(bytes);
    auto str = [](const char* s) { // a UTF-16 string behind its marker and length
        QByteArray b = QByteArray::fromHex("fffeff") + char(qstrlen(s));
        for (const char* p = s; *p; ++p)
            b += QByteArray(1, *p) + '\0';
        return b;
    };
    // Count, new-class tag, schema, class name; then the second object refers to the class.
    const QByteArray expected = QByteArray::fromHex("0200ffff64000800") + "CFtpNode" +
                                str("ftp.example.org") + str("pw") + str("me") +
                                QByteArray::fromHex("00000000150000000180") + str("10.0.0.2") +
                                str("") + str("") + QByteArray::fromHex("0100000049080000");
    EXPECT_EQ(*bytes, expected);
}

TEST_F(FtpServerListTest, StoredListComesBackAndBadBytesReadAsEmpty) {
    SaveFtpServerList(three);
    EXPECT_EQ(LoadFtpServerList(), three);
    SaveFtpServerList({});
    EXPECT_TRUE(LoadFtpServerList().empty());

    const QByteArray good = *ArchiveFtpNodes(three);
    const QByteArray bad[] = {
        good.left(good.size() - 1),                        // cut short
        QByteArray::fromHex("0100ffff6500") + good.mid(6), // another schema
        QByteArray::fromHex("ffff") + good,                // a count it cannot hold
        QByteArray::fromHex("0300") + good.mid(2, 30),
        QByteArray(40000, '\x01'),
    };
    for (const QByteArray& b : bad) {
        EXPECT_FALSE(UnarchiveFtpNodes(b)) << b.toHex().left(40).constData();
        platform::WriteBinarySetting("FTP", "list", b);
        EXPECT_TRUE(LoadFtpServerList().empty());
    }
    // A stored port no TCP port can be (the last entry's, the archive's last four bytes)
    // keeps the entry with the default port.
    for (const char* port : {"70110100", "ffffffff"}) {
        const std::optional<std::vector<CFtpNode>> nodes =
            UnarchiveFtpNodes(good.chopped(4) + QByteArray::fromHex(port));
        ASSERT_TRUE(nodes && nodes->size() == 3) << port;
        EXPECT_EQ(nodes->back().port, 21u) << port;
    }
}

} // namespace
} // namespace velmar
// A server that never answers QUIT: a connection dropped on the window's thread (no stop to
// watch) logs out within a short bound through either back end, not after its minute-long
// reply time-out (the server itself gives up after ten seconds).
TEST(LogOut, SilentServerHoldsUpTheCloseOnlyBriefly) {
    for (const bool own : {false, true}) {
        SCOPED_TRACE(own);
        velmar::test::ScriptedServer silent;
        if (own)
            silent.Login();
        else
            silent.Send("220 hi\r\n")
                .Answer("331 ok")
                .Answer("230 in")
                .Answer("257 \"/\"")
                .Answer("250 ok");
        silent.Expect().WaitForClose(); // QUIT
        silent.Start();
        velmar::FtpStatusInfo status;
        std::unique_ptr<velmar::FtpConnection> c = velmar::ConnectFtp(
            own, {"127.0.0.1", silent.port(), "u", "p"}, {60000, 60000, 60000, false}, status);
        ASSERT_TRUE(c) << status.text.toStdString();
        auto closing = std::async(std::launch::async, [&] { c.reset(); });
        EXPECT_EQ(closing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        closing.get();
        const QList<QByteArray> heard = silent.Commands();
        EXPECT_EQ(heard.value(heard.size() - 1), "QUIT"); // still said, just not waited out
    }
}
