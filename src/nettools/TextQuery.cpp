#include "nettools/TextQuery.h"

#include "ftpclient/TimedSocket.h"
#include "platform/NameCodec.h"
#include "platform/SocketCancel.h"

#include <chrono>

namespace velmar {

namespace {

using ftp::TimedSocket;

// The socket for one exchange, visible to the canceller while it is open.
class AttachedSocket {
public:
    explicit AttachedSocket(platform::SocketCanceller& cancel) : cancel_(cancel) {}
    ~AttachedSocket() {
        cancel_.Detach();
        socket.Close();
    }
    bool Open(const QString& server, int port, int connectMs) {
        if (cancel_.Cancelled()) return Fail(ftp::sockerr::Interrupted);
        if (!socket.Create()) return false;
        cancel_.Attach(socket.Handle());
        if (socket.Connect(server, port, connectMs) && !cancel_.Cancelled()) return true;
        if (cancel_.Cancelled()) ftp::SetLastSocketError(ftp::sockerr::Interrupted);
        return false;
    }
    bool SendAll(const QByteArray& bytes, int sendMs) {
        return socket.SendAll(bytes.constData(), size_t(bytes.size()), sendMs) == bytes.size();
    }
    TimedSocket socket;

private:
    static bool Fail(int code) {
        ftp::SetLastSocketError(code);
        return false;
    }
    platform::SocketCanceller& cancel_;
};

} // namespace

QByteArray WhoisQuestion(const QString& query) {
    return platform::EncodeName(query).left(512) + " \r\n";
}

QByteArray FingerQuestion(bool verbose, const QString& user) {
    const QByteArray name = platform::EncodeName(user);
    if (verbose) return name.isEmpty() ? QByteArray("/W\r\n") : "/W " + name + "\r\n";
    return name + "\r\n";
}

QString WhoisAnswerText(const QByteArray& answer) {
    const QByteArray cut = answer.left(kWhoisTextLimit);
    QByteArray expanded;
    expanded.reserve(cut.size() + cut.count('\n'));
    for (const char c : cut) {
        if (c == '\n') expanded.append('\r');
        expanded.append(c);
    }
    QString text = platform::DecodeName(expanded);
    if (text.size() > kWhoisTextLimit) {
        text.truncate(kWhoisTextLimit);
        // Never leave half of a surrogate pair at the end.
        if (text.back().isHighSurrogate()) text.chop(1);
    }
    return text;
}

QString FingerAnswerText(const QByteArray& answer) {
    return platform::DecodeName(answer);
}

QueryResult RunWhois(const QString& server, int port, const QString& query,
                     const QueryTimeouts& timeouts, platform::SocketCanceller& cancel,
                     const AnswerProgress& progress) {
    QueryResult result;
    AttachedSocket s(cancel);
    if (!s.Open(server, port, timeouts.connectMs) ||
        !s.SendAll(WhoisQuestion(query), timeouts.sendMs)) {
        result.error = ftp::LastSocketError();
        return result;
    }
    char buffer[4096];
    for (;;) {
        ftp::SetLastSocketError(0);
        const int64_t n = s.socket.Receive(buffer, sizeof buffer, timeouts.receiveMs);
        if (n > 0) {
            result.answer.append(buffer, qsizetype(n));
            if (progress) progress(result.answer);
            continue;
        }
        const int e = ftp::LastSocketError();
        result.ok = n == 0 && e == 0 && !cancel.Cancelled();
        result.error = cancel.Cancelled() ? ftp::sockerr::Interrupted : e;
        return result;
    }
}

QueryResult RunFinger(const QString& server, int port, bool verbose, const QString& user,
                      const QueryTimeouts& timeouts, platform::SocketCanceller& cancel,
                      const AnswerProgress& progress) {
    QueryResult result;
    AttachedSocket s(cancel);
    if (!s.Open(server, port, timeouts.connectMs) ||
        !s.SendAll(FingerQuestion(verbose, user), timeouts.sendMs)) {
        result.error = ftp::LastSocketError();
        return result;
    }
    char buffer[4096];
    for (;;) {
        ftp::SetLastSocketError(0);
        const int64_t n = s.socket.Receive(buffer, sizeof buffer, timeouts.fingerIdleMs);
        if (n > 0) {
            result.answer.append(buffer, qsizetype(n));
            if (progress) progress(result.answer);
            continue;
        }
        if (cancel.Cancelled()) {
            result.error = ftp::sockerr::Interrupted;
            return result;
        }
        // Silence for the idle time or an orderly close: the answer is complete.
        if (n == 0) {
            result.ok = true;
            return result;
        }
        result.error = ftp::LastSocketError();
        return result;
    }
}

} // namespace velmar
