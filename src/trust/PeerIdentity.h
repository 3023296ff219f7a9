#pragma once
// What a secure peer showed when the connection was made, and the stores its trust is kept
// in: the user's known_hosts for SSH host keys, a private file of ours for TLS certificates
// the system's store does not vouch for. The files are outside input and read defensively.

#include "trust/HostTrust.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace velmar::trust {

struct PeerIdentity {
    enum class Kind { None, Certificate, HostKey };
    Kind kind = Kind::None;
    KeyState state = KeyState::Known;
    QString host;
    quint16 port = 0;
    QString keyType;     // "ssh-ed25519"; "X.509" for a certificate
    QString fingerprint; // "SHA256:..." for a key; hex pairs for a certificate
    QString subject;     // certificates: subject, issuer and validity
    QString issuer;
    QString validFrom;
    QString validUntil;
    QByteArray pin; // what is stored on Yes: the certificate's SHA-256 (hex) or the key (base64)
};

// The SHA-256 of a certificate (DER) as stored, and as shown ("AB:CD:...").
QByteArray CertificatePin(const QByteArray& der);
QString ShownPin(const QByteArray& pin);
// An SSH key blob's fingerprint as OpenSSH prints it ("SHA256:..." without padding) and its
// type (the name the blob starts with; empty when the blob is malformed).
QString KeyFingerprint(const QByteArray& blob);
QString KeyTypeOf(const QByteArray& blob);

// The certificate remembered for host and port in `file`; nullopt when none is.
std::optional<QByteArray> RememberedCertificate(const QString& file, const QString& host,
                                                quint16 port);
// Remembers (or replaces) the certificate for host and port; the file stays private (0600)
// and is replaced whole, so a crash leaves the old one. False when it could not be written.
bool RememberCertificate(const QString& file, const QString& host, quint16 port,
                         const QByteArray& pin);

// Adds one host key line to a known_hosts file (made private, with its folder, when new),
// as OpenSSH writes it: "host" on port 22, "[host]:port" otherwise. Appends only.
bool AddKnownHost(const QString& file, const QString& host, quint16 port, const QString& keyType,
                  const QByteArray& keyBase64);

// The texts: the question for an unknown certificate, and the refusal of a changed one.
QString UnknownCertificateQuestion(const PeerIdentity& peer);
QString ChangedCertificateText(const PeerIdentity& peer);
// A KeyQuestion for an SSH host key (HostTrust's texts).
KeyQuestion QuestionFor(const PeerIdentity& peer, const QString& store);

} // namespace velmar::trust
