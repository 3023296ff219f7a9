#include "ftp/FtpConnection.h"
#include "ftp/FtpConnectionImpl.h"

namespace velmar {

QString ServerPath(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

bool FtpConnection::ListFolder(const QString& folder, std::vector<FindRecord>& records) {
    records.clear();
    if (ListFolder(folder, [&records](FindRecord& r) { records.push_back(std::move(r)); }))
        return true;
    records.clear();
    return false;
}

std::unique_ptr<FtpConnection> ConnectFtp(bool ownClient, const FtpLogin& login, int& code,
                                          QString& text) {
    code = 0;
    text.clear();
    return ownClient ? ConnectOwnClient(login, code, text) : ConnectCurl(login, code, text);
}

} // namespace velmar
