#include "nettools/TextQuery.h"

#include "platform/TimedSocket.h"
#include "platform/NameCodec.h"

namespace velmar {

namespace {

using platform::TimedSocket;

bool Connect(TimedSocket& socket, const QString& server, int port, int connectMs) {
    return socket.Create() && socket.Connect(server, port, connectMs);
}

bool SendAll(TimedSocket& socket, const QByteArray& bytes, int sendMs) {
    return socket.SendAll(bytes.constData(), size_t(bytes.size()), sendMs) == bytes.size();
}

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
                     const QueryTimeouts& timeouts, const AnswerProgress& progress) {
    QueryResult result;
    TimedSocket s;
    if (!Connect(s, server, port, timeouts.connectMs) ||
        !SendAll(s, WhoisQuestion(query), timeouts.sendMs)) {
        result.error = platform::LastSocketError();
        return result;
    }
    char buffer[4096];
    for (;;) {
        const int64_t n = s.Receive(buffer, sizeof buffer, timeouts.receiveMs);
        if (n > 0) {
            result.answer.append(buffer, qsizetype(n));
            if (progress) progress(result.answer);
            continue;
        }
        // The server closes when the answer is complete; silence or an error keeps what came.
        result.ok = n == 0 && !s.TimedOut();
        if (!result.ok) result.error = platform::LastSocketError();
        return result;
    }
}

QueryResult RunFinger(const QString& server, int port, bool verbose, const QString& user,
                      const QueryTimeouts& timeouts, const AnswerProgress& progress) {
    QueryResult result;
    TimedSocket s;
    if (!Connect(s, server, port, timeouts.connectMs) ||
        !SendAll(s, FingerQuestion(verbose, user), timeouts.sendMs)) {
        result.error = platform::LastSocketError();
        return result;
    }
    char buffer[4096];
    for (;;) {
        const int64_t n = s.Receive(buffer, sizeof buffer, timeouts.fingerIdleMs);
        if (n > 0) {
            result.answer.append(buffer, qsizetype(n));
            if (progress) progress(result.answer);
            continue;
        }
        // Silence for the idle time or an orderly close: the answer is complete.
        result.ok = n == 0;
        if (!result.ok) result.error = platform::LastSocketError();
        return result;
    }
}

} // namespace velmar
