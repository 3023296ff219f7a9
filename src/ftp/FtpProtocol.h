#pragma once
// How a server entry is reached. Our own client speaks plain FTP only; the secure ones go
// through libcurl.

#include <QString>

namespace velmar {

enum class FtpProtocol {
    Ftp = 0,
    FtpTls = 1, // explicit TLS (AUTH TLS) on the FTP port, required for control and data
    Sftp = 2,   // SSH file transfer
};

inline int DefaultPort(FtpProtocol p) {
    return p == FtpProtocol::Sftp ? 22 : 21;
}
inline bool IsSecure(FtpProtocol p) {
    return p != FtpProtocol::Ftp;
}
// The names shown in the server dialog and stored beside the server list.
inline QString ProtocolName(FtpProtocol p) {
    switch (p) {
    case FtpProtocol::FtpTls:
        return QStringLiteral("FTP over TLS");
    case FtpProtocol::Sftp:
        return QStringLiteral("SFTP");
    case FtpProtocol::Ftp:
        break;
    }
    return QStringLiteral("FTP");
}
// The scheme a location of the pane is written with.
inline QString ProtocolScheme(FtpProtocol p) {
    switch (p) {
    case FtpProtocol::FtpTls:
        return QStringLiteral("ftpes://");
    case FtpProtocol::Sftp:
        return QStringLiteral("sftp://");
    case FtpProtocol::Ftp:
        break;
    }
    return QStringLiteral("ftp://");
}

} // namespace velmar
