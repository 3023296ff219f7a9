// The socket layer against plain peers on 127.0.0.1.
#include "ftpclient/TimedSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace velmar::ftp;

namespace {

// A listening socket and, after Accept(), the server side of one connection.
struct Peer {
    int listener = -1;
    int conn = -1;
    int port = 0;
    Peer() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener, 1);
        socklen_t len = sizeof a;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
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

TEST(TimedSocket, ReceiveTimeOutAndCloseBothGiveZero) {
    Peer peer;
    TimedSocket s;
    ConnectTo(s, peer);
    char buf[16];
    EXPECT_EQ(s.Receive(buf, sizeof buf, 100), 0);
    EXPECT_EQ(LastSocketError(), sockerr::TimedOut);

    ASSERT_EQ(::send(peer.conn, "abc", 3, 0), 3);
    EXPECT_EQ(s.Receive(buf, sizeof buf, 5000), 3);
    ::close(peer.conn);
    peer.conn = -1;
    EXPECT_EQ(s.Receive(buf, sizeof buf, 5000), 0);
}

TEST(TimedSocket, SendAllDeliversEverything) {
    Peer peer;
    TimedSocket s;
    ConnectTo(s, peer);
    QByteArray payload(8 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    QByteArray got;
    std::thread reader([&] {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(peer.conn, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, n);
        }
    });
    EXPECT_EQ(s.SendAll(payload.constData(), size_t(payload.size()), 5000), payload.size());
    s.Close();
    reader.join();
    EXPECT_EQ(got, payload);
}

TEST(TimedSocket, SendToStalledPeerStopsAtTheTimeOut) {
    Peer peer;
    TimedSocket s;
    ConnectTo(s, peer);
    // Nobody reads: the buffers fill and the send time-out ends SendAll with what went.
    const QByteArray payload(64 * 1024 * 1024, 'z');
    const int64_t sent = s.SendAll(payload.constData(), size_t(payload.size()), 200);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, payload.size());
    EXPECT_EQ(s.Send("x", 1, 100), -1);
}

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

    int closedPort = 0;
    {
        Peer gone;
        closedPort = gone.port;
    }
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

TEST(SocketErrors, TranslationAndTexts) {
    // A reset and a time-out read as their Winsock codes; a number without one stays itself.
    EXPECT_EQ(TranslateErrno(ECONNRESET), 10054);
    EXPECT_EQ(TranslateErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(TranslateErrno(EHOSTUNREACH), TranslateErrno(ENETUNREACH));
    EXPECT_EQ(TranslateErrno(EMFILE), EMFILE);
    EXPECT_EQ(SocketErrorText(11001), QStringLiteral("The host name was not found."));
    EXPECT_EQ(SocketErrorText(10022), QStringLiteral("Unknown Error: 10022\n"));
}

TEST(ResolveHost, DottedFormsNeedNoNameService) {
    uint32_t ip = 0;
    ASSERT_TRUE(ResolveHost(QStringLiteral("127.0.0.1"), ip));
    EXPECT_EQ(ntohl(ip), 0x7f000001u);
    EXPECT_FALSE(ResolveHost(QString(), ip));
}
