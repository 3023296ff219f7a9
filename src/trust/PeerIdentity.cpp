#include "trust/PeerIdentity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velmar::trust {
namespace {

constexpr qint64 kStoreLimit = 4 * 1024 * 1024; // a remembered-certificate file larger is not ours

QByteArray HostKey(const QString& host, quint16 port) {
    return (host.toUtf8() + ' ' + QByteArray::number(port));
}

bool IsHexPin(const QByteArray& pin) {
    if (pin.size() != 64) return false;
    for (const char c : pin)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// An empty file with only its owner's rights, so that what is written into it never shows
// to others, not even for a moment.
bool MakePrivate(const QString& file) {
    if (QFileInfo::exists(file)) return true;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    return f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

QByteArray CertificatePin(const QByteArray& der) {
    return QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex();
}

QString ShownPin(const QByteArray& pin) {
    QString out;
    for (qsizetype i = 0; i + 1 < pin.size(); i += 2) {
        if (!out.isEmpty()) out += QLatin1Char(':');
        out += QString::fromLatin1(pin.mid(i, 2)).toUpper();
    }
    return out;
}

QString KeyFingerprint(const QByteArray& blob) {
    QByteArray b64 = QCryptographicHash::hash(blob, QCryptographicHash::Sha256)
                         .toBase64(QByteArray::OmitTrailingEquals);
    return QStringLiteral("SHA256:") + QString::fromLatin1(b64);
}

QString KeyTypeOf(const QByteArray& blob) {
    if (blob.size() < 4) return {};
    const auto* p = reinterpret_cast<const unsigned char*>(blob.constData());
    const quint32 n = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    if (n == 0 || n > 64 || n > quint32(blob.size() - 4)) return {};
    const QByteArray name = blob.mid(4, qsizetype(n));
    for (const char c : name)
        if (c <= ' ' || c > '~') return {};
    return QString::fromLatin1(name);
}

std::optional<QByteArray> RememberedCertificate(const QString& file, const QString& host,
                                                quint16 port) {
    QFile f(file);
    if (f.size() > kStoreLimit || !f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray key = HostKey(host, port) + ' ';
    std::optional<QByteArray> found;
    for (const QByteArray& line : f.readAll().split('\n')) {
        // "host port pin"; the last line for a host wins, a malformed one counts for nothing.
        if (!line.startsWith(key)) continue;
        const QByteArray pin = line.mid(key.size()).trimmed();
        if (IsHexPin(pin)) found = pin;
    }
    return found;
}

bool RememberCertificate(const QString& file, const QString& host, quint16 port,
                         const QByteArray& pin) {
    if (!IsHexPin(pin) || host.contains(QLatin1Char('\n')) || host.contains(QLatin1Char(' ')))
        return false;
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!MakePrivate(file)) return false;
    QByteArray kept;
    {
        QFile f(file);
        if (f.size() > kStoreLimit || !f.open(QIODevice::ReadOnly)) return false;
        const QByteArray key = HostKey(host, port) + ' ';
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.isEmpty() && !line.startsWith(key)) kept += line + '\n';
    }
    kept += HostKey(host, port) + ' ' + pin + '\n';
    QSaveFile out(file); // keeps the existing file's rights
    if (!out.open(QIODevice::WriteOnly) || out.write(kept) != kept.size()) return false;
    return out.commit();
}

bool AddKnownHost(const QString& file, const QString& host, quint16 port, const QString& keyType,
                  const QByteArray& keyBase64) {
    if (host.isEmpty() || host.contains(QLatin1Char('\n')) || host.contains(QLatin1Char(' ')) ||
        keyType.isEmpty() || keyBase64.isEmpty() || keyBase64.contains('\n'))
        return false;
    const QString folder = QFileInfo(file).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) return false;
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    if (!MakePrivate(file)) return false;
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite)) return false;
    // A last line without its line end must not be joined to ours.
    QByteArray line;
    if (f.size() > 0 && f.seek(f.size() - 1)) {
        char last = '\n';
        if (f.getChar(&last) && last != '\n') line += '\n';
    }
    const QByteArray name = port == 22 ? host.toUtf8()
                                       : '[' + host.toUtf8() + "]:" + QByteArray::number(port);
    line += name + ' ' + keyType.toLatin1() + ' ' + keyBase64 + '\n';
    return f.seek(f.size()) && f.write(line) == line.size() && f.flush();
}

QString UnknownCertificateQuestion(const PeerIdentity& p) {
    return QStringLiteral("The certificate of %1 port %2 is not vouched for by this system "
                          "(self-signed, from an unknown authority or for another name).\n\n"
                          "Subject: %3\nIssuer: %4\nValid from %5 to %6\nSHA-256 fingerprint:\n%7\n\n"
                          "Trust this certificate for this server and remember the answer?")
        .arg(p.host)
        .arg(p.port)
        .arg(p.subject, p.issuer, p.validFrom, p.validUntil, p.fingerprint);
}

QString ChangedCertificateText(const PeerIdentity& p) {
    return QStringLiteral("The certificate of %1 port %2 has changed since it was trusted: not "
                          "connected.\nSomeone may be listening in (a man-in-the-middle attack), "
                          "or the server got a new certificate. It now shows\nSubject: %3\n"
                          "SHA-256 fingerprint:\n%4")
        .arg(p.host)
        .arg(p.port)
        .arg(p.subject, p.fingerprint);
}

KeyQuestion QuestionFor(const PeerIdentity& p, const QString& store) {
    return {.host = p.host, .port = p.port, .keyType = p.keyType, .fingerprint = p.fingerprint,
            .store = store};
}

} // namespace velmar::trust
