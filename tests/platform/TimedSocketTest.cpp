// The socket layer against plain peers on 127.0.0.1.
#include "platform/TimedSocket.h"
#include "platform/Cancel.h"
#include "support/FtpServer.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace velmar::platform;

namespace {

// A listening socket and, after Accept(), the server side of one connection.
struct Peer {
    int listener = velmar::test::ListenLoopback(1);
    int conn = -1;
    int port = velmar::test::PortOf(listener);
    void Accept() { conn = ::accept(listener, nullptr, nullptr); }
    ~Peer() {
        if (conn >= 0) ::close(conn);
        ::close(listener);
    }
};

void ConnectTo(TimedSocket& s, Peer& peer) {
    ASSERT_TRUE(s.Create());
    ASSERT_TRUE(s.Connect(QStringLiteral("127.0.0.1"), peer.port, 5000));
    peer.Accept();
    ASSERT_GE(peer.conn, 0);
}

} // namespace

TEST(TimedSocket, SendToClosedPeerFailsWithoutSigpipe) {
    Peer peer;
    TimedSocket s;
    ConnectTo(s, peer);
    ::close(peer.conn);
    peer.conn = -1;
    // The first sends may still go into the buffer; a later one must fail, not kill us.
    int64_t r = 0;
    for (int i = 0; i < 100 && r >= 0; ++i)
        r = s.Send("hello", 5, 1000);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(LastSocketError(), sockerr::ConnectionReset);
}

TEST(TimedSocket, ConnectFailures) {
    TimedSocket s;
    ASSERT_TRUE(s.Create());
    // An unknown name: 10022, and no connection.
    EXPECT_FALSE(s.Connect(QStringLiteral("no-such-host.invalid"), 21, 1000));
    EXPECT_EQ(LastSocketError(), sockerr::InvalidArgument);

    const int closedPort = velmar::test::FreePort();
    // The timed and the blocking form report the same.
    for (int timeout : {1000, 0}) {
        ASSERT_TRUE(s.Create());
        EXPECT_FALSE(s.Connect(QStringLiteral("127.0.0.1"), closedPort, timeout));
        EXPECT_EQ(LastSocketError(), sockerr::ConnectionRefused) << timeout;
    }
}

TEST(TimedSocket, ClosedSocketFailsAtOnce) {
    TimedSocket s;
    char buf[4];
    EXPECT_EQ(s.Receive(buf, sizeof buf, 60000), -1);
    EXPECT_EQ(s.Send(buf, sizeof buf, 60000), -1);
    EXPECT_EQ(s.SendAll(buf, sizeof buf, 60000), 0);
    EXPECT_TRUE(s.Close());
}

TEST(TimedSocket, CancelEndsAWaitWithoutEnd) {
    Peer peer;
    TimedSocket s;
    ConnectTo(s, peer);
    velmar::platform::CancelToken token;
    std::atomic<int64_t> got{1};
    std::atomic<int> error{0};
    std::thread waiter([&] {
        velmar::platform::ScopedCancel scope(&token);
        char buf[4];
        got = s.Receive(buf, sizeof buf, INT_MAX);
        error = LastSocketError();
    });
    token.Cancel();
    waiter.join();
    EXPECT_EQ(got.load(), -1);
    EXPECT_EQ(error.load(), sockerr::Interrupted);
    // Another thread's waits are not touched by the token.
    ASSERT_EQ(::send(peer.conn, "ok", 2, 0), 2);
    char buf[4];
    EXPECT_EQ(s.Receive(buf, sizeof buf, 5000), 2);
}

TEST(SocketErrors, TranslationAndTexts) {
    // errno values without a Winsock row keep their number: EINVAL is no unknown host.
    const std::pair<int, int> kCodes[] = {
        {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ENETDOWN, 10050},
        {ENETUNREACH, 10065}, {EHOSTUNREACH, 10065}, {EHOSTDOWN, 10064},  {ENOTCONN, 10057},
        {EINTR, 10004},       {EACCES, 10013},       {ENOTSOCK, 10038},   {EALREADY, 10037},
        {EINPROGRESS, 10037}, {EINVAL, EINVAL},      {EMFILE, EMFILE},    {0, 0},
    };
    for (auto [err, code] : kCodes)
        EXPECT_EQ(TranslateErrno(err), code) << err;
    // A plain row, a misspelt one, the look-up's, and numbers without a row of their own.
    const std::pair<int, const char*> kTexts[] = {
        {0, "No error!"},
        {10004, "Socket call interupted."}, // the stored spelling
        {11001, "The host name was not found."},
        {10022, "Unknown Error: 10022\n"},
        {EINVAL, "Unknown Error: 22\n"},
    };
    for (auto [code, text] : kTexts)
        EXPECT_EQ(SocketErrorText(code), QString::fromLatin1(text)) << code;
}
