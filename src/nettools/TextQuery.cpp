#include "nettools/TextQuery.h"

#include "platform/TimedSocket.h"
#include "platform/NameCodec.h"

#include <algorithm>

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

namespace {
// How much of `bytes` ends on a whole UTF-8 sequence: a lead byte near the end whose
// sequence is not complete yet is held back with what follows it.
qsizetype CompleteLength(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    for (qsizetype i = n - 1; i >= 0 && i >= n - 4; --i) {
        const auto c = uchar(bytes[i]);
        if ((c & 0xC0) == 0x80) continue;
        const int need = c >= 0xF8 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return n - i < need ? i : n;
    }
    return n;
}
} // namespace

QString AnswerText::Take(const QByteArray& bytes) {
    if (full_ || bytes.isEmpty()) return QString();
    if (kind_ == Finger) return platform::DecodeName(bytes);
    QByteArray expanded;
    expanded.reserve(bytes.size() + bytes.count('\n'));
    for (const char c : bytes) {
        if (c == '\n') expanded.append('\r');
        expanded.append(c);
    }
    QString text = platform::DecodeName(expanded);
    if (chars_ + text.size() >= kWhoisTextLimit) {
        text.truncate(kWhoisTextLimit - chars_);
        // Never leave half of a surrogate pair at the end.
        if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
        full_ = true;
    }
    chars_ += text.size();
    return text;
}

QString AnswerText::Append(const QByteArray& piece) {
    pending_.append(piece);
    const qsizetype whole = CompleteLength(pending_);
    const QString text = Take(pending_.left(whole));
    pending_.remove(0, whole);
    return text;
}

QString AnswerText::Finish() {
    const QString text = Take(pending_);
    pending_.clear();
    return text;
}

QString WhoisAnswerText(const QByteArray& answer) {
    AnswerText text(AnswerText::Whois);
    return text.Append(answer.left(kWhoisTextLimit)) + text.Finish();
}

QString FingerAnswerText(const QByteArray& answer) {
    return platform::DecodeName(answer);
}

QString FingerCutLine() {
    return QStringLiteral("\r\n[The answer was cut after %1 bytes.]\r\n").arg(kFingerAnswerLimit);
}

namespace {
// Reads pieces until `done` says the answer is complete. At most `limit` bytes are kept:
// the piece that reaches it is cut and the read ends (cut).
QueryResult ReadAnswer(TimedSocket& s, int waitMs, qsizetype limit, const AnswerProgress& progress,
                       QueryResult result) {
    char buffer[4096];
    for (;;) {
        const int64_t n = s.Receive(buffer, sizeof buffer, waitMs);
        if (n > 0) {
            const qsizetype take = std::min<qsizetype>(qsizetype(n), limit - result.answer.size());
            const QByteArray piece(buffer, take);
            result.answer.append(piece);
            if (progress) progress(piece);
            if (result.answer.size() < limit) continue;
            result.cut = true;
            result.ok = true;
            return result;
        }
        result.ok = n == 0;
        return result;
    }
}
} // namespace

QueryResult RunWhois(const QString& server, int port, const QString& query,
                     const QueryTimeouts& timeouts, const AnswerProgress& progress) {
    QueryResult result;
    TimedSocket s;
    if (!Connect(s, server, port, timeouts.connectMs) ||
        !SendAll(s, WhoisQuestion(query), timeouts.sendMs)) {
        result.error = platform::LastSocketError();
        return result;
    }
    result = ReadAnswer(s, timeouts.receiveMs, kWhoisTextLimit, progress, std::move(result));
    // The server closes when the answer is complete; silence or an error keeps what came.
    if (!result.cut && s.TimedOut()) result.ok = false;
    if (!result.ok) result.error = platform::LastSocketError();
    return result;
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
    // Silence for the idle time or an orderly close: the answer is complete.
    result = ReadAnswer(s, timeouts.fingerIdleMs, kFingerAnswerLimit, progress, std::move(result));
    if (!result.ok) result.error = platform::LastSocketError();
    return result;
}

} // namespace velmar
