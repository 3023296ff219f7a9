#include "platform/TimedSocket.h"

#include "platform/Cancel.h"
#include "platform/NameLookup.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

thread_local int t_lastError = 0;

void Fail(int err) {
    t_lastError = TranslateErrno(err);
}

using Clock = std::chrono::steady_clock;

// A wait of `timeoutMs` from now; a negative time-out waits without end.
Clock::time_point DeadlineIn(int timeoutMs) {
    return timeoutMs < 0 ? Clock::time_point::max()
                         : Clock::now() + std::chrono::milliseconds(timeoutMs);
}

int RemainingMs(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(std::min<int64_t>(left, INT_MAX));
}

bool Cancelled(const CancelToken* a, const CancelToken* b) {
    return (a && a->IsCancelled()) || (b && b->IsCancelled());
}

// poll rather than select: a descriptor above FD_SETSIZE must not overrun an fd_set. The
// calling thread's cancel token and the socket's own are polled beside the socket, so a stop
// request ends any wait at once. 1 ready, 0 time-out, -1 error or cancelled (last error set).
int WaitUntil(int handle, short events, Clock::time_point deadline, const CancelToken* own) {
    if (handle < 0) {
        t_lastError = sockerr::NotSocket;
        return -1;
    }
    const CancelToken* thread = CurrentCancelToken();
    pollfd p[3] = {{handle, events, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
    nfds_t count = 1;
    bool unwatched = false; // a token without a wake-up descriptor
    for (const CancelToken* t : {thread, own}) {
        if (!t) continue;
        if (t->WakeHandle() >= 0)
            p[count++].fd = t->WakeHandle();
        else
            unwatched = true;
    }
    for (;;) {
        if (Cancelled(thread, own)) {
            t_lastError = sockerr::Interrupted;
            return -1;
        }
        int timeout = RemainingMs(deadline);
        // A token without a wake-up descriptor is looked at between short waits.
        if (unwatched && (timeout < 0 || timeout > 50)) timeout = 50;
        const int r = ::poll(p, count, timeout);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            Fail(errno);
            return -1;
        }
        if (Cancelled(thread, own)) {
            t_lastError = sockerr::Interrupted;
            return -1;
        }
        if (p[0].revents != 0) return 1;
        if (RemainingMs(deadline) == 0) return 0;
    }
}

} // namespace

int TranslateErrno(int err) {
    switch (err) {
    case 0:
        return 0;
    case ETIMEDOUT:
        return sockerr::TimedOut;
    case ECONNREFUSED:
        return sockerr::ConnectionRefused;
    case ECONNRESET:
    case EPIPE: // a send after the peer's reset: the same event, seen from the sender
        return sockerr::ConnectionReset;
    case ENETDOWN:
        return sockerr::NetworkDown;
    case ENETUNREACH:
    case EHOSTUNREACH:
        return sockerr::HostUnreachable;
    case EHOSTDOWN:
        return sockerr::HostDown;
    case ENOTCONN:
        return sockerr::NotConnected;
    case EINTR:
        return sockerr::Interrupted;
    case EACCES:
        return sockerr::AccessDenied;
    case ENOTSOCK:
        return sockerr::NotSocket;
    case EALREADY:
    case EINPROGRESS:
        return sockerr::InProgress;
    default:
        return err;
    }
}

int LastSocketError() {
    return t_lastError;
}
void SetLastSocketError(int code) {
    t_lastError = code;
}

QString SocketErrorText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("No error!");
    case 10004:
        return QStringLiteral("Socket call interupted.");
    case 10013:
        return QStringLiteral("Access denied.");
    case 10037:
        return QStringLiteral("Socket call in already in progress.");
    case 10038:
        return QStringLiteral("Not a socket.");
    case 10049:
        return QStringLiteral("Unable to contact name server.");
    case 10050:
        return QStringLiteral("Network is down.");
    case 10054:
        return QStringLiteral("Connection reset by peer.");
    case 10057:
        return QStringLiteral("Not connected.");
    case 10060:
        return QStringLiteral("Operation timed out.");
    case 10061:
        return QStringLiteral("Connection refused.");
    case 10064:
        return QStringLiteral("Host is down.");
    case 10065:
        return QStringLiteral("Host is unreachable.");
    case 10093:
        return QStringLiteral("Socket Library not initialied.");
    case 11001:
        return QStringLiteral("The host name was not found.");
    default:
        return QString::asprintf("Unknown Error: %d\n", code);
    }
}

bool ResolveHost(const QString& host, uint32_t& address) {
    const QByteArray name = host.toLatin1();
    if (name.isEmpty()) return false;
    in_addr dotted{};
    // The classic dotted forms first, so an address needs no name service.
    if (::inet_aton(name.constData(), &dotted) != 0) {
        address = dotted.s_addr;
        return true;
    }
    return platform::LookUpIPv4(name, address);
}

TimedSocket::~TimedSocket() {
    Close();
}

bool TimedSocket::Create(int type) {
    Close();
    const int kind = type == Stream ? SOCK_STREAM : type;
    handle_ = ::socket(AF_INET, kind | SOCK_CLOEXEC, 0);
    if (handle_ < 0) {
        Fail(errno);
        handle_ = kInvalid;
        return false;
    }
    return true;
}

bool TimedSocket::Close() {
    if (handle_ != kInvalid) {
        ::close(handle_);
        handle_ = kInvalid;
    }
    return true;
}

bool TimedSocket::SetOption(int name, const void* value, unsigned length, int level) {
    if (::setsockopt(handle_, level, name, value, socklen_t(length)) == -1) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TimedSocket::Bind(const sockaddr_in& address) {
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TimedSocket::GetSockName(sockaddr_in& address) {
    socklen_t len = sizeof address;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TimedSocket::GetPeerName(sockaddr_in& address) {
    socklen_t len = sizeof address;
    if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TimedSocket::Listen(int backlog) {
    if (::listen(handle_, backlog) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TimedSocket::Connect(const sockaddr_in& address, int timeoutMs) {
    if (handle_ == kInvalid) {
        t_lastError = sockerr::NotSocket;
        return false;
    }
    // Non-blocking for the connect only, so a silent host costs the connect time-out (or,
    // without one, the system's) and a stop request ends the wait.
    const int flags = ::fcntl(handle_, F_GETFL);
    ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    bool ok = ::connect(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!ok && (errno == EINPROGRESS || errno == EINTR)) {
        const int w = WaitUntil(handle_, POLLOUT, DeadlineIn(timeoutMs > 0 ? timeoutMs : -1), cancel_);
        if (w == 0) {
            t_lastError = sockerr::TimedOut;
        } else if (w > 0) {
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &err, &len);
            ok = err == 0;
            if (!ok) Fail(err);
        }
    } else if (!ok) {
        Fail(errno);
    }
    ::fcntl(handle_, F_SETFL, flags);
    return ok;
}

bool TimedSocket::Connect(const QString& host, int port, int timeoutMs) {
    uint32_t ip = 0;
    if (!ResolveHost(host, ip)) {
        t_lastError = sockerr::InvalidArgument;
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = ip;
    return Connect(address, timeoutMs);
}

bool TimedSocket::Accept(TimedSocket& target, sockaddr_in* address) {
    target.Close();
    socklen_t len = sizeof(sockaddr_in);
    const int h = ::accept4(handle_, reinterpret_cast<sockaddr*>(address), address ? &len : nullptr,
                            SOCK_CLOEXEC);
    if (h < 0) {
        Fail(errno);
        return false;
    }
    target.handle_ = h;
    return true;
}

bool TimedSocket::ShutdownSend() {
    if (::shutdown(handle_, SHUT_WR) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

int64_t TimedSocket::Receive(void* buffer, size_t capacity, int timeoutMs) {
    timedOut_ = false;
    t_lastError = 0;
    const Clock::time_point deadline = DeadlineIn(std::max(timeoutMs, 0));
    for (;;) {
        const int w = WaitUntil(handle_, POLLIN, deadline, cancel_);
        if (w < 0) return -1;
        if (w == 0) {
            timedOut_ = true;
            t_lastError = sockerr::TimedOut;
            return 0;
        }
        const ssize_t n = ::recv(handle_, buffer, capacity, MSG_DONTWAIT);
        if (n >= 0) return n;
        // Readiness that went away again: wait on within the same bound.
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        Fail(errno);
        return -1;
    }
}

int64_t TimedSocket::Send(const void* buffer, size_t length, int timeoutMs) {
    timedOut_ = false;
    t_lastError = 0;
    const Clock::time_point deadline = DeadlineIn(std::max(timeoutMs, 0));
    for (;;) {
        const int w = WaitUntil(handle_, POLLOUT, deadline, cancel_);
        if (w <= 0) {
            if (w == 0) {
                timedOut_ = true;
                t_lastError = sockerr::TimedOut;
            }
            return -1;
        }
        // Only what fits now, so a large buffer cannot block past the time-out; and a
        // peer that went away gives an error here, never SIGPIPE.
        const ssize_t n = ::send(handle_, buffer, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return n;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        Fail(errno);
        return -1;
    }
}

int64_t TimedSocket::SendAll(const void* buffer, size_t length, int timeoutMs) {
    const auto* p = static_cast<const char*>(buffer);
    size_t total = 0;
    do {
        const int64_t n = Send(p + total, length - total, timeoutMs);
        if (n < 0) break;
        total += size_t(n);
    } while (total < length);

    return int64_t(total);
}

} // namespace velmar::platform
