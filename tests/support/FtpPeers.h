#pragma once
// A real server of each kind a connection speaks to, with the log-in that reaches it as after
// the user's Yes to its certificate or host key, and the files the contracts look at.

#include "ftp/FtpConnection.h"
#include "platform/NameCodec.h"
#include "support/SecureServers.h"
#include "trust/PeerIdentity.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <set>

namespace velmar::test {

enum class PeerKind { Pyftpdlib, Vsftpd, VsftpdTls, Sftp };

struct Peer {
    std::unique_ptr<ServerProcess> server;
    FtpLogin login;
    // The server's root folder as the server names it, without its last slash: pyftpdlib's
    // user starts there, vsftpd's anonymous root and SFTP see the whole file system.
    QString base;
};

inline Peer StartPeer(PeerKind kind) {
    Peer p;
    if (kind == PeerKind::Pyftpdlib) {
        p.server = std::make_unique<PyFtpServer>();
        p.login = {"127.0.0.1", p.server->port(), QString::fromLatin1(PyFtpServer::kUser),
                   QString::fromLatin1(PyFtpServer::kPassword)};
        return p;
    }
    if (kind == PeerKind::Vsftpd) {
        p.server = std::make_unique<VsFtpServer>();
        p.login = {"127.0.0.1", p.server->port(), {}, {}};
    } else if (kind == PeerKind::VsftpdTls) {
        auto tls = std::make_unique<VsFtpsServer>();
        p.login = {"127.0.0.1", tls->port(), {}, {}, FtpProtocol::FtpTls, tls->certificatePin()};
        p.server = std::move(tls);
    } else {
        auto ssh = std::make_unique<SshServer>();
        if (ssh->ok())
            trust::AddKnownHost(ssh->knownHosts(), "127.0.0.1", quint16(ssh->port()),
                                ssh->keyType(), ssh->keyBase64());
        p.login = {"127.0.0.1", ssh->port(),       {},           {}, FtpProtocol::Sftp,
                   {},          ssh->knownHosts(), ssh->sshDir()};
        p.server = std::move(ssh);
    }
    p.base = p.server->home().path();
    return p;
}

// Names that need every byte of a path carried as it is; the i-th holds OddBytes(i).
inline const QByteArray kOddNames[] = {"a b.txt", "x#y", "50%", "q?;.dat", "\xff\xfe-raw"};
inline QByteArray OddBytes(int i) {
    return QByteArray(100 * (i + 1), char('a' + i));
}

// The odd names as a listing gives them, and `more`.
inline std::set<QString> OddNamesAnd(std::set<QString> more) {
    for (const QByteArray& n : kOddNames)
        more.insert(platform::DecodeName(n));
    return more;
}

// The odd names and "sub dir/inner.txt" in `folder`.
inline bool WriteOddNames(const QString& folder) {
    bool ok = QDir(folder).mkpath("sub dir") &&
              WriteRaw(QFile::encodeName(folder + "/sub dir/inner.txt"), "inner");
    for (int i = 0; i < int(std::size(kOddNames)); ++i)
        ok = ok && WriteRaw(QFile::encodeName(folder + '/') + kOddNames[i], OddBytes(i));
    return ok;
}

} // namespace velmar::test
