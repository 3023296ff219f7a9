// FtpConnection over libcurl.

#include "ftp/FtpConnectionImpl.h"

#include "ftp/InternetErrors.h"
#include "ftp/ListLines.h"
#include "ftp/ListParser.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/NameCodec.h"

#include <curl/curl.h>

namespace velmar {
namespace {

using ftp::CurlFtp;

// A libcurl result as the internet code ErrorText knows.
int InternetCode(int rc) {
    switch (rc) {
    case CURLE_OK:
    case CurlFtp::kStopped:
        return 0; // stopped by the user: nothing to report
    case CURLE_URL_MALFORMAT:
        return inet::kInvalidUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
        return inet::kNameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return inet::kCannotConnect;
    case CURLE_LOGIN_DENIED:
        return inet::kLoginFailure;
    case CURLE_OPERATION_TIMEDOUT:
        return inet::kTimeout;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_CANT_GET_HOST:
        return inet::kConnectionAborted;
    default:
        return inet::kExtendedError;
    }
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

    // 0 only when logged in: a log-in ended by a stop is no connection (with nothing to tell).
    int Login() {
        const int rc = ftp_.Login();
        Done(rc);
        return rc;
    }

    using FtpConnection::ListFolder;
    bool ListFolder(const QString& folder, const RecordSink& take) override {
        const QByteArray path = Path(folder);
        if (path.isNull()) return false;
        const ftp::ListClock now = ftp::CurrentListClock();
        FindRecord r;
        // The parser leaves out "." and "..". The form is told line by line: the DOS form
        // starts with its date's digits.
        const auto line = [&](std::string_view text) {
            if (text.empty()) return;
            const char* form = text[0] >= '0' && text[0] <= '9' ? "Windows_NT" : "UNIX";
            if (ftp::ParseListLine(form, text, r, now)) take(r);
        };
        ftp::ListLineSplitter lines;
        const CurlFtp::Sink sink = [&](const char* data, size_t size) {
            lines.Feed(data, size, line);
            return true;
        };
        const int rc = ftp_.List(path, sink);
        if (rc == 0) lines.Finish(line);
        return Done(rc) == 0 && rc == 0;
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
        return Done(rc) == 0 && rc == 0;
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
        return Done(rc) == 0 && rc == 0;
    }

    bool DeleteFile(const QString& remote) override { return Command("DELE ", remote); }
    bool MakeDir(const QString& remote) override { return Command("MKD ", remote); }
    bool RemoveDir(const QString& remote) override { return Command("RMD ", remote); }

    bool Rename(const QString& from, const QString& to) override {
        const QByteArray a = Path(from);
        const QByteArray b = Path(to);
        if (a.isNull() || b.isNull()) return false;
        const int rc = ftp_.Commands({"RNFR " + a, "RNTO " + b});
        return Done(rc) == 0 && rc == 0;
    }

    bool FileSize(const QString& remote, uint64_t& size) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const int rc = ftp_.Size(path, size);
        return Done(rc) == 0 && rc == 0;
    }

    void Abort() override { ftp_.Abort(); }
    void SetStopFlag(const std::atomic<bool>* stop) override { ftp_.SetStopFlag(stop); }

    FtpStatusInfo LastStatus() const override { return status_; }

    int ErrorText(QString& text) const override {
        return ErrorTextFor(status_.code, status_.responseInfo, text);
    }

protected:
    void LocalFailure(int error) override { status_ = {error, {}}; }

private:
    // The server path as bytes; null (and a failure) for one that cannot be sent.
    QByteArray Path(const QString& path) {
        QByteArray bytes = platform::EncodeName(ServerPath(path));
        if (bytes.isNull()) bytes = QByteArray("");
        if (SafeServerPath(bytes)) return bytes;
        status_ = {inet::kInvalidUrl, {}};
        return {};
    }

    bool Command(const char* verb, const QString& remote) {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        const int rc = ftp_.Commands({verb + path});
        return Done(rc) == 0 && rc == 0;
    }

    // Records the outcome of a libcurl operation; returns its internet code.
    int Done(int rc) {
        const int code = InternetCode(rc);
        QString reply = platform::DecodeName(ftp_.LastReply());
        if (code == inet::kExtendedError && reply.isEmpty()) reply = ftp::CurlErrorText(rc);
        status_ = {code, code == 0 ? QString() : reply};
        return code;
    }

    CurlFtp ftp_;
    FtpStatusInfo status_;
};

} // namespace

std::unique_ptr<FtpConnection> ConnectCurl(const FtpLogin& login, const FtpOptions& options,
                                           int& code, QString& text, trust::PeerIdentity* peer) {
    if (!ftp::OpenInternet()) {
        code = inet::kCannotConnect;
        text = QStringLiteral("Can't open internet connection");
        return nullptr;
    }
    auto connection = std::make_unique<CurlFtpConnection>(login, options);
    if (connection->Login() != 0) {
        code = connection->ErrorText(text);
        const trust::PeerIdentity& seen = connection->Peer();
        // A peer refused by its identity says so, whatever libcurl called the failure.
        if (seen.state != trust::KeyState::Known) {
            code = inet::kExtendedError;
            text = seen.kind == trust::PeerIdentity::Kind::Certificate
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
