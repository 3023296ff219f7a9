#pragma once
// One IPv4 stream socket whose every receive and send first waits for readiness with a
// time-out, so no wait for a server is ever unbounded. Errors are results; the reason is
// kept per thread as a Winsock-style code (see LastSocketError, SocketErrorText).

#include <QString>
#include <cstddef>
#include <cstdint>

struct sockaddr_in;

namespace velmar::platform {

class CancelToken;

// Winsock-style codes the user-visible texts know.
namespace sockerr {
constexpr int Interrupted = 10004;
constexpr int AccessDenied = 10013;
constexpr int InvalidArgument = 10022; // the host name could not be resolved
constexpr int InProgress = 10037;
constexpr int NotSocket = 10038;
constexpr int NetworkDown = 10050;
constexpr int ConnectionReset = 10054;
constexpr int NotConnected = 10057;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int HostDown = 10064;
constexpr int HostUnreachable = 10065;
} // namespace sockerr

// errno as the Winsock code; numbers without a counterpart keep their value.
int TranslateErrno(int err);
// The calling thread's last socket error, as set by the last failing TimedSocket call.
int LastSocketError();
void SetLastSocketError(int code);
// The text the user reads for a socket error code.
QString SocketErrorText(int code);

class TimedSocket {
public:
    static constexpr int kInvalid = -1;
    enum Type { Stream = 1 };

    TimedSocket() = default;
    virtual ~TimedSocket();
    TimedSocket(const TimedSocket&) = delete;
    TimedSocket& operator=(const TimedSocket&) = delete;

    bool Create(int type = Stream);
    bool Close();
    bool IsOpen() const { return handle_ != kInvalid; }
    int Handle() const { return handle_; }

    bool SetOption(int name, const void* value, unsigned length, int level);
    bool Bind(const sockaddr_in& address);
    bool GetSockName(sockaddr_in& address);
    bool GetPeerName(sockaddr_in& address);
    bool Listen(int backlog);
    // A connect that gives up after timeoutMs (0 waits as long as the system does). Like
    // every wait here it ends at once when the thread's cancel token fires.
    bool Connect(const sockaddr_in& address, int timeoutMs = 0);
    // Resolves the host (dotted form first, then the name service) and connects. An
    // unknown name fails with last error 10022 and makes no connection.
    bool Connect(const QString& host, int port, int timeoutMs = 0);
    bool Accept(TimedSocket& target, sockaddr_in* address);
    // Stop sending: the peer reads end of data while the socket stays open for replies.
    bool ShutdownSend();

    static int GetLastError() { return LastSocketError(); }

    // A token every wait of this socket watches besides the thread's own (an owner's Abort
    // from another thread); none by default.
    void SetCancel(const CancelToken* token) { cancel_ = token; }

    // Waits up to timeoutMs for data; 0 on time-out or orderly close, -1 on error or when
    // the thread's cancel token (platform/Cancel.h) fires (last error 10004).
    int64_t Receive(void* buffer, size_t capacity, int timeoutMs);
    // Waits up to timeoutMs for room; -1 on error, time-out or cancel.
    int64_t Send(const void* buffer, size_t length, int timeoutMs);
    // Whether the last Receive or Send on this socket ran out of time (rather than seeing
    // the end of data or an error).
    bool TimedOut() const { return timedOut_; }
    // Sends until all is gone or a send fails; the total sent. Sends at least once.
    int64_t SendAll(const void* buffer, size_t length, int timeoutMs);

private:
    int handle_ = kInvalid;
    bool timedOut_ = false;
    const CancelToken* cancel_ = nullptr;
};

// Resolves an ASCII host name or dotted address to an IPv4 address (network order).
bool ResolveHost(const QString& host, uint32_t& address);

} // namespace velmar::platform
