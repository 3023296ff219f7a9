#pragma once
// Secure peers for the tests, on 127.0.0.1, with keys and certificates made by the fixture in
// temporary folders (never the machine's own):
// - VsFtpsServer: vsftpd requiring explicit TLS for log-in and data, anonymous, uploads allowed,
//   with a self-signed certificate.
// - SshServer: a private OpenSSH sshd (root's or the running user's log-in by key) whose SFTP
//   sees the whole file system; its root folder is home().

#include "support/FtpServer.h"

#include <QByteArray>
#include <QString>

namespace velmar::test {

class VsFtpsServer : public ServerProcess {
public:
    VsFtpsServer();
    // The SHA-256 (hex) of its certificate, as the trust store keeps it.
    const QByteArray& certificatePin() const { return pin_; }

private:
    TempDir state_;
    QByteArray pin_;
};

class SshServer : public ServerProcess {
public:
    SshServer();
    // The user's side, laid out as a home folder: .ssh with the key sshd accepts, and a
    // known_hosts file there (absent at first: the host is unknown).
    QString userHome() const { return client_.path(); }
    QString sshDir() const { return client_.file(QStringLiteral(".ssh")); }
    QString knownHosts() const { return client_.file(QStringLiteral(".ssh/known_hosts")); }
    // The host key as a known_hosts line carries it (type and base64), and its fingerprint.
    const QString& keyType() const { return keyType_; }
    const QByteArray& keyBase64() const { return keyBase64_; }
    const QString& fingerprint() const { return fingerprint_; }

private:
    TempDir state_;
    TempDir client_;
    QString keyType_;
    QByteArray keyBase64_;
    QString fingerprint_;
};

} // namespace velmar::test
