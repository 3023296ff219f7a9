#include "support/SecureServers.h"

#include "trust/PeerIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/wait.h>

namespace velmar::test {
namespace {

bool Run(const QString& program, const QStringList& args) {
    const pid_t child = Spawn(program, args);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

VsFtpsServer::VsFtpsServer() {
    const QString cert = state_.file(QStringLiteral("cert.pem"));
    const QString key = state_.file(QStringLiteral("key.pem"));
    if (!Run(QStringLiteral("openssl"),
             {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
              "-days", "2", "-subj", "/CN=velmar test server"})) {
        error_ = QStringLiteral("no certificate (openssl)");
        return;
    }
    QByteArray pem = ReadAll(cert);
    pem = pem.mid(pem.indexOf('\n') + 1);
    pem.truncate(pem.indexOf("-----END"));
    pin_ = trust::CertificatePin(QByteArray::fromBase64(pem));
    StartVsftpd(state_,
                QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                               "force_anon_data_ssl=YES\nssl_ciphers=HIGH\nrequire_ssl_reuse=NO\n"
                               "rsa_cert_file=%1\nrsa_private_key_file=%2\n")
                    .arg(cert, key));
}

SshServer::SshServer() {
    const QString sshd = QStringLiteral("/usr/sbin/sshd");
    if (!QFileInfo(sshd).isExecutable()) {
        error_ = QStringLiteral("no sshd (scripts/deps installs openssh-server)");
        return;
    }
    // The privilege-separation folder sshd insists on.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    const QString hostKey = state_.file(QStringLiteral("host_ed25519"));
    client_.mkdir(QStringLiteral(".ssh"));
    const QString userKey = sshDir() + QStringLiteral("/id_ed25519");
    const int port = FreePort();
    if (port == 0 ||
        !Run(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", hostKey}) ||
        !Run(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", userKey})) {
        error_ = QStringLiteral("no port or no keys (ssh-keygen)");
        return;
    }
    const QList<QByteArray> pub = ReadAll(hostKey + QStringLiteral(".pub")).split(' ');
    if (pub.size() < 2) {
        error_ = QStringLiteral("unreadable host key");
        return;
    }
    keyType_ = QString::fromLatin1(pub[0]);
    keyBase64_ = pub[1].trimmed();
    fingerprint_ = trust::KeyFingerprint(QByteArray::fromBase64(keyBase64_));
    QFile::copy(userKey + QStringLiteral(".pub"), state_.file(QStringLiteral("authorized_keys")));
    // Passwords are offered, and refused, for the terminal's log-in test.
    const QString config = state_.write(
        QStringLiteral("sshd_config"),
        QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\n"
                       "UsePAM no\nStrictModes no\nAuthorizedKeysFile %4\n"
                       "PermitRootLogin prohibit-password\nPasswordAuthentication yes\n"
                       "KbdInteractiveAuthentication no\nSubsystem sftp internal-sftp\n")
            .arg(port)
            .arg(hostKey, state_.file(QStringLiteral("sshd.pid")),
                 state_.file(QStringLiteral("authorized_keys")))
            .toUtf8());
    if (!Start(sshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config}))
        return;
    Listen(port, "sshd");
}

} // namespace velmar::test
