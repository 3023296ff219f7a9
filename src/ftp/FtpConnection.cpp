#include "ftp/FtpConnection.h"
#include "ftp/FtpConnectionImpl.h"

#include "platform/Cancel.h"
#include "platform/FileOps.h"
#include "platform/LocalFiles.h"

#include <QDateTime>
#include <cerrno>

namespace velmar {

QString ServerPath(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

bool ParseFtpTime(const QByteArray& text, int64_t& seconds) {
    const QByteArray t = text.trimmed();
    if (t.size() < 14) return false;
    for (int i = 0; i < 14; ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    if (t.size() > 14 && t[14] != '.') return false;
    const auto number = [&t](int at, int n) { return t.mid(at, n).toInt(); };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    if (!date.isValid() || !time.isValid()) return false;
    seconds = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    return true;
}

QByteArray FtpTimeText(int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
        .toString(QStringLiteral("yyyyMMddHHmmss"))
        .toLatin1();
}

bool FtpConnection::ListFolder(const QString& folder, std::vector<FindRecord>& records) {
    records.clear();
    if (ListFolder(folder, [&records](FindRecord& r) { records.push_back(std::move(r)); }))
        return true;
    records.clear();
    return false;
}

bool FtpConnection::ReadFileTo(const QString& remote, const QString& local,
                               const std::atomic<int>* running, std::atomic<uint64_t>* counter) {
    platform::ReplacingFile out;
    if (!out.Open(local, false)) {
        LocalFailure(errno ? errno : EIO);
        return false;
    }
    int writeError = 0;
    const bool ok = ReadFile(
        remote,
        [&](const char* data, size_t size) {
            if (out.Write(data, size)) return true;
            writeError = errno ? errno : EIO;
            return false;
        },
        running, counter);
    if (!ok) {
        out.Abandon();
        if (writeError != 0) LocalFailure(writeError);
        return false;
    }
    if (!out.Commit()) {
        LocalFailure(errno ? errno : EIO);
        return false;
    }
    return true;
}

bool FtpConnection::WriteFileFrom(const QString& local, const QString& remote,
                                  const std::atomic<int>* running,
                                  std::atomic<uint64_t>* counter) {
    platform::InputFile in;
    if (!in.Open(local)) {
        LocalFailure(errno ? errno : EIO);
        return false;
    }
    int readError = 0;
    const bool ok = WriteFile(
        remote,
        [&](char* buffer, size_t capacity) {
            const int64_t n = in.Read(buffer, capacity);
            if (n < 0) readError = errno ? errno : EIO;
            return n;
        },
        running, counter);
    if (!ok && readError != 0) LocalFailure(readError);
    return ok;
}

std::future<FtpConnectResult> ConnectFtpBeside(bool ownClient, const FtpLogin& login,
                                               const FtpOptions& options,
                                               platform::CancelToken* cancel) {
    return std::async(std::launch::async, [ownClient, login, options, cancel] {
        const platform::ScopedCancel scope(cancel);
        FtpConnectResult r;
        r.connection = ConnectFtp(ownClient, login, options, r.status, &r.peer);
        return r;
    });
}

std::unique_ptr<FtpConnection> ConnectFtp(bool ownClient, const FtpLogin& login,
                                          const FtpOptions& options, FtpStatusInfo& status,
                                          trust::PeerIdentity* peer) {
    status = {};
    if (peer) *peer = {};
    return ownClient && login.protocol == FtpProtocol::Ftp
               ? ConnectOwnClient(login, options, status)
               : ConnectCurl(login, options, status, peer);
}

} // namespace velmar
