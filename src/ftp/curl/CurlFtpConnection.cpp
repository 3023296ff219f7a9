// FtpConnection over libcurl.

#include "ftp/FtpConnectionImpl.h"

#include "settings/SettingsStore.h"
#include "ftp/ListParser.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/NameCodec.h"
#include "ftp/InternetErrors.h"

#include <curl/curl.h>

#include <cstring>

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
    CurlFtpConnection(const FtpLogin& login, const ftp::InternetTimeouts& timeouts)
        : ftp_(login.host, login.port, platform::EncodeName(login.user),
               platform::EncodeName(login.password), timeouts) {}

    bool IsOwnClient() const override { return false; }

    int Login() { return Done(ftp_.Login()); }

    using FtpConnection::ListFolder;
    bool ListFolder(const QString& folder, const RecordSink& take) override {
        const QByteArray path = Path(folder);
        if (path.isNull()) return false;
        const ftp::ListClock now = ftp::CurrentListClock();
        FindRecord r;
        // The parser leaves out "." and "..".
        auto line = [&](const char* p, size_t n) {
            if (n > 0 && p[n - 1] == '\r') --n;
            if (n == 0) return;
            // The form is told line by line: the DOS form starts with its date's digits.
            const char* form = p[0] >= '0' && p[0] <= '9' ? "Windows_NT" : "UNIX";
            if (ftp::ParseListLine(form, std::string_view(p, n), r, now)) take(r);
        };
        // Lines are cut where they lie in each block; only a line split between two blocks
        // is put together in `pending`.
        QByteArray pending;
        const CurlFtp::Sink sink = [&](const char* data, size_t size) {
            const char* const end = data + size;
            const char* p = data;
            for (const char* nl;
                 (nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr;
                 p = nl + 1) {
                if (pending.isEmpty()) {
                    line(p, size_t(nl - p));
                } else {
                    pending.append(p, qsizetype(nl - p));
                    line(pending.constData(), size_t(pending.size()));
                    pending.clear();
                }
            }
            pending.append(p, qsizetype(end - p));
            return true;
        };
        const int rc = ftp_.List(path, sink);
        if (rc == 0 && !pending.isEmpty()) line(pending.constData(), size_t(pending.size()));
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

    bool ReadFileTo(const QString& remote, const QString& local, const std::atomic<int>* running,
                    std::atomic<uint64_t>* counter) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        int localErrno = 0;
        ftp_.SetRunningFlag(running);
        const int rc = ftp_.RetrieveToFile(
            path, platform::EncodeName(local),
            [counter](size_t n) {
                if (counter) counter->fetch_add(n);
            },
            localErrno);
        ftp_.SetRunningFlag(nullptr);
        return Finish(rc, localErrno);
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

    bool WriteFileFrom(const QString& local, const QString& remote, const std::atomic<int>* running,
                       std::atomic<uint64_t>* counter) override {
        const QByteArray path = Path(remote);
        if (path.isNull()) return false;
        int localErrno = 0;
        ftp_.SetRunningFlag(running);
        const int rc = ftp_.StoreFromFile(
            platform::EncodeName(local), path,
            [counter](size_t n) {
                if (counter) counter->fetch_add(n);
            },
            localErrno);
        ftp_.SetRunningFlag(nullptr);
        return Finish(rc, localErrno);
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

    // A transfer's end: a local file error keeps its errno (the platform's own text).
    bool Finish(int rc, int localErrno) {
        if (rc == CurlFtp::kLocalError) {
            status_ = {localErrno != 0 ? localErrno : 5, {}};
            return false;
        }
        return Done(rc) == 0 && rc == 0;
    }

    CurlFtp ftp_;
    FtpStatusInfo status_;
};

} // namespace

std::unique_ptr<FtpConnection> ConnectCurl(const FtpLogin& login, int& code, QString& text) {
    if (!ftp::OpenInternet()) {
        code = inet::kCannotConnect;
        text = QStringLiteral("Can't open internet connection");
        return nullptr;
    }
    const ftp::InternetTimeouts timeouts{TimeoutSettingMs("ConnectTimeout"),
                                         TimeoutSettingMs("SendTimeout"),
                                         TimeoutSettingMs("RecieveTimeout")};
    auto connection = std::make_unique<CurlFtpConnection>(login, timeouts);
    if (connection->Login() != 0) {
        code = connection->ErrorText(text);
        return nullptr;
    }
    return connection;
}

} // namespace velmar
