// FtpConnection over libcurl.

#include "sources/FtpConnectionImpl.h"

namespace velmar {

std::unique_ptr<FtpConnection> ConnectCurl(const FtpLogin&, int& code, QString& text) {
    code = inet::kCannotConnect;
    text = QStringLiteral("Can't connect to server");
    return nullptr;
}

} // namespace velmar
