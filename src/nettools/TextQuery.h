#pragma once
// Whois (TCP 43) and finger (TCP 79): the question, the exchange and the answer's text.

#include <QByteArray>
#include <QString>
#include <functional>

namespace velmar {

constexpr int kWhoisPort = 43;
constexpr int kFingerPort = 79;
constexpr int kWhoisTextLimit = 15000;

// The query as 8-bit text (at most 512 bytes) and " \r\n".
QByteArray WhoisQuestion(const QString& query);
// "/W user\r\n", "/W\r\n", "user\r\n" or "\r\n".
QByteArray FingerQuestion(bool verbose, const QString& user);

// The whois answer as shown: at most 15000 bytes, every LF written CR LF, at most 15000
// characters after that.
QString WhoisAnswerText(const QByteArray& answer);
// The finger answer as it came.
QString FingerAnswerText(const QByteArray& answer);

struct QueryTimeouts {
    int connectMs = 15000;
    int sendMs = 5000;
    int receiveMs = 5000; // whois: the longest silence before the answer counts as ended
    int fingerIdleMs = 500;
};

struct QueryResult {
    bool ok = false;
    int error = 0; // Winsock-style code when not ok
    QByteArray answer;
};

// Each piece of the answer, as the whole answer so far.
using AnswerProgress = std::function<void(const QByteArray& soFar)>;

// Both exchanges end at once (error 10004) when the calling thread's cancel token fires.
// Connects, asks, and reads until the server closes (or the receive time-out passes:
// not ok, with what came kept).
QueryResult RunWhois(const QString& server, int port, const QString& query,
                     const QueryTimeouts& timeouts, const AnswerProgress& progress = nullptr);
// Connects, asks, and reads until the server closes or is silent for fingerIdleMs.
QueryResult RunFinger(const QString& server, int port, bool verbose, const QString& user,
                      const QueryTimeouts& timeouts, const AnswerProgress& progress = nullptr);

} // namespace velmar
