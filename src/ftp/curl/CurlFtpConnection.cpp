// FtpConnection over libcurl.

#include "ftp/FtpConnectionImpl.h"

#include "ftp/InternetErrors.h"
#include "ftp/ListStream.h"
#include "ftp/ListParser.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/NameCodec.h"

#include <curl/curl.h>

#include <cctype>

namespace velmar {
namespace {

using ftp::CurlFtp;

// A libcurl result as the end it stands for.
FtpResult ResultOf(int rc) {
    switch (rc) {
    case CURLE_OK:
        return FtpResult::Ok;
    case CurlFtp::kStopped:
        return FtpResult::Cancelled; // stopped by the user: nothing to report
    case CURLE_URL_MALFORMAT:
        return FtpResult::InvalidName;
    case CURLE_COULDNT_RESOLVE_HOST:
        return FtpResult::NameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return FtpResult::CannotConnect;
    case CURLE_LOGIN_DENIED:
        return FtpResult::LoginFailed;
    case CURLE_OPERATION_TIMEDOUT:
        return FtpResult::TimedOut;
    case CURLE_GOT_NOTHING:
        return FtpResult::ClosedByServer;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_SSH: // SFTP: the session broke (its refusals have codes of their own)
        return FtpResult::ConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
        return FtpResult::BadReply;
    default:
        return FtpResult::Refused;
    }
}

// The code of the last final line of a reply ("550 No such file\r\n"), 0 without one.
int LastReplyCode(const QByteArray& reply) {
    qsizetype end = reply.size();
    while (end > 0) {
        qsizetype start = reply.lastIndexOf('\n', end - 2);
        start = start < 0 ? 0 : start + 1;
        const QByteArray line = reply.mid(start, end - start);
        if (line.size() >= 4 && line[3] == ' ' && std::isdigit(uchar(line[0])) &&
            std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2])))
            return line.left(3).toInt();
        end = start;
    }
    return 0;
}

bool SafeServerPath(const QByteArray& path) {
    // A line break would end the command early and start another one.
    return !path.contains('\r') && !path.contains('\n') && !path.contains('\0');
}

class CurlFtpConnection final : public FtpConnection {
public:
    CurlFtpConnection(const FtpLogin& login, const FtpOptions& options)
        : ftp_(login.host, login.port, platform::EncodeName(login.user),
               platform::EncodeName(login.password), options,
               ftp::CurlSecurity{login.protocol, login.pinnedCertificate, login.knownHosts,
                                 login.sshDir}) {}

    const trust::PeerIdentity& Peer() const { return ftp_.Peer(); }

    bool IsOwnClient() const override { return false; }

    // True only when logged in: a log-in ended by a stop is no connection (with nothing to
    // tell).
    bool Login() { return Done(ftp_.Login()); }

    using FtpConnection::ListFolder;
    bool ListFolder(const QString& folder, const RecordSink& take) override {
        const QByteArray path = Path(folder);
        if (path.isNull()) return false;
        const ftp::ListClock now = ftp::CurrentListClock();
        // The parser leaves out "." and "..". The form is told line by line: the DOS form
        // starts with its date's digits.
        const auto parse = [now](std::string_view text, FindRecord& out) {
            if (text.empty()) return false;
            const std::string_view form = text[0] >= '0' && text[0] <= '9'
                                              ? std::string_view("Windows_NT")
                                              : std::string_view("UNIX");
            return ftp::ParseListLine(form, text, out, now);
        };
        ftp::ListStream lines(parse, take, stop_);
        const CurlFtp::Sink sink = [&](const char* data, size_t size) {
            lines.Feed(data, size);
            return true;
        };
        const int rc = ftp_.List(path, sink);
        if (rc == 0)
            lines.Finish();
        else
            lines.Abandon();
        return Done(rc);
    }

    bool ReadFile(const QString& remote, const BlockSink& sink, const std::atomic<int>* running,
                  std::atomic<uint64_t>* counter) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const CurlFtp::Sink count = [&](const char* data, size_t size) {
            if (!sink(data, size)) return false;
            if (counter) counter->fetch_add(size);
            return true;
        };
        ftp_.SetRunningFlag(running);
        const int rc = ftp_.Retrieve(path, count);
        ftp_.SetRunningFlag(nullptr);
        return Done(rc);
    }

    bool WriteFile(const QString& remote, const BlockSource& source,
                   const std::atomic<int>* running, std::atomic<uint64_t>* counter) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const CurlFtp::Source count = [&](char* buffer, size_t capacity) -> int64_t {
            const int64_t n = source(buffer, capacity);
            if (n > 0 && counter) counter->fetch_add(uint64_t(n));
            return n;
        };
        ftp_.SetRunningFlag(running);
        const int rc = ftp_.Store(path, count);
        ftp_.SetRunningFlag(nullptr);
        return Done(rc);
    }

    bool DeleteFile(const QString& remote) override { return Command("DELE ", remote); }
    bool MakeDir(const QString& remote) override { return Command("MKD ", remote); }
    bool RemoveDir(const QString& remote) override { return Command("RMD ", remote); }

    bool Rename(const QString& from, const QString& to) override {
        const QByteArray a = Path(from);
        const QByteArray b = Path(to);
        if (a.isNull() || b.isNull()) return false;
        const int rc = ftp_.Commands({"RNFR " + a, "RNTO " + b});
        return Done(rc);
    }

    bool FileSize(const QString& remote, uint64_t& size) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const int rc = ftp_.Size(path, size);
        return Done(rc);
    }

    bool ModifiedTime(const QString& remote, int64_t& seconds) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        return Done(ftp_.ModifiedTime(path, seconds));
    }
    bool SetModifiedTime(const QString& remote, int64_t seconds) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        return Done(ftp_.Commands({"MFMT " + FtpTimeText(seconds) + ' ' + path}));
    }

    void Abort() override { ftp_.Abort(); }
    void SetStopFlag(const std::atomic<bool>* stop) override {
        stop_ = stop;
        ftp_.SetStopFlag(stop);
    }

    FtpStatusInfo LastStatus() const override { return status_; }

protected:
    void LocalFailure(int error) override { Set(FtpResult::LocalFailure, {}, error); }

private:
    // The server path as bytes; null (and a failure) for one that cannot be sent.
    QByteArray Path(const QString& path) {
        QByteArray bytes = platform::EncodeName(ServerPath(path));
        if (bytes.isNull()) bytes = QByteArray("");
        if (SafeServerPath(bytes)) return bytes;
        Set(FtpResult::InvalidName, {});
        return {};
    }

    bool Command(const char* verb, const QString& remote) {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const int rc = ftp_.Commands({verb + path});
        return Done(rc);
    }

    // Records the outcome of a libcurl operation; true after a success.
    bool Done(int rc) {
        const FtpResult result = ResultOf(rc);
        if (result == FtpResult::Ok || result == FtpResult::Cancelled) {
            Set(result, {});
            return result == FtpResult::Ok;
        }
        const QByteArray raw = ftp_.LastReply();
        QString reply = platform::DecodeName(raw);
        const bool serverSaid = result == FtpResult::Refused || result == FtpResult::BadReply;
        if (serverSaid && reply.isEmpty()) reply = ftp::CurlErrorText(rc);
        Set(result, reply);
        status_.replyCode = LastReplyCode(raw);
        return false;
    }

    void Set(FtpResult result, const QString& reply, int systemError = 0) {
        status_ = {};
        status_.result = result;
        status_.systemError = systemError;
        status_.reply = reply;
        status_.text = InternetFailureText(result, reply, systemError);
    }

    CurlFtp ftp_;
    FtpStatusInfo status_;
    const std::atomic<bool>* stop_ = nullptr;
};

} // namespace

std::unique_ptr<FtpConnection> ConnectCurl(const FtpLogin& login, const FtpOptions& options,
                                           FtpStatusInfo& status, trust::PeerIdentity* peer) {
    if (!ftp::OpenInternet()) {
        status.result = FtpResult::CannotConnect;
        status.text = QStringLiteral("Can't open internet connection");
        return nullptr;
    }
    auto connection = std::make_unique<CurlFtpConnection>(login, options);
    if (!connection->Login()) {
        status = connection->LastStatus();
        const trust::PeerIdentity& seen = connection->Peer();
        // A peer refused by its identity says so, whatever libcurl called the failure.
        if (seen.state != trust::KeyState::Known) {
            status.result = FtpResult::CannotConnect;
            status.reply.clear();
            status.text =
                seen.kind == trust::PeerIdentity::Kind::Certificate
                    ? seen.state == trust::KeyState::Changed
                          ? trust::ChangedCertificateText(seen)
                          : QStringLiteral("The certificate of %1 port %2 was not trusted: "
                                           "not connected.")
                                .arg(seen.host)
                                .arg(seen.port)
                    : trust::RefusalText(seen.state, trust::QuestionFor(seen, login.knownHosts));
        }
        if (peer) *peer = seen;
        return nullptr;
    }
    return connection;
}

} // namespace velmar
