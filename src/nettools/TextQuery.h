#pragma once
// Whois (TCP 43) and finger (TCP 79): the question, the exchange and the answer's text.

#include <QByteArray>
#include <QString>
#include <functional>

namespace velmar {

constexpr int kWhoisPort = 43;
constexpr int kFingerPort = 79;
constexpr int kWhoisTextLimit = 15000;
// Finger answers are shown whole up to this many bytes; reading ends there.
constexpr int kFingerAnswerLimit = 256 * 1024;

// The query as 8-bit text (at most 512 bytes) and " \r\n".
QByteArray WhoisQuestion(const QString& query);
// "/W user\r\n", "/W\r\n", "user\r\n" or "\r\n".
QByteArray FingerQuestion(bool verbose, const QString& user);

// The text of an answer built piece by piece, in time linear in its length: each piece
// gives only the text it adds. Bytes of a character split between pieces wait for the rest.
class AnswerText {
public:
    // Whois: every LF written CR LF, at most kWhoisTextLimit characters in all. Finger: the
    // bytes as they came, without a limit of its own.
    enum Kind { Whois, Finger };
    explicit AnswerText(Kind kind) : kind_(kind) {}
    QString Append(const QByteArray& piece);
    // What was held back at the end of the answer.
    QString Finish();
    // The whois text reached its limit: more bytes add nothing.
    bool full() const { return full_; }

private:
    QString Take(const QByteArray& bytes);
    Kind kind_;
    QByteArray pending_;
    qsizetype chars_ = 0;
    bool full_ = false;
};

// The whois answer as shown: at most 15000 bytes, every LF written CR LF, at most 15000
// characters after that.
QString WhoisAnswerText(const QByteArray& answer);
// The finger answer as it came.
QString FingerAnswerText(const QByteArray& answer);
// The line that ends a finger answer cut at kFingerAnswerLimit.
QString FingerCutLine();

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
    bool cut = false; // reading ended at the answer's limit, the rest unread
};

// Each piece of the answer as it arrives.
using AnswerProgress = std::function<void(const QByteArray& piece)>;

// Both exchanges end at once (error 10004) when the calling thread's cancel token fires.
// Connects, asks, and reads until the server closes (or the receive time-out passes:
// not ok, with what came kept), or until kWhoisTextLimit bytes came: no more can be shown.
QueryResult RunWhois(const QString& server, int port, const QString& query,
                     const QueryTimeouts& timeouts, const AnswerProgress& progress = nullptr);
// Connects, asks, and reads until the server closes or is silent for fingerIdleMs, or
// until kFingerAnswerLimit bytes came (cut).
QueryResult RunFinger(const QString& server, int port, bool verbose, const QString& user,
                      const QueryTimeouts& timeouts, const AnswerProgress& progress = nullptr);

} // namespace velmar
