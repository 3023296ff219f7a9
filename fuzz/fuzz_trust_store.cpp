// The stores trust and protocols are kept in are outside input: our remembered-certificate file
// and the protocol lines beside the server list. Any bytes read as no pin or a well-formed one,
// remembering a server afterwards reads back exactly its pin and leaves other servers' as they
// were, and protocol lines give every entry a protocol of the three.
#include "ftp/FtpServerList.h"
#include "settings/SettingsStore.h"
#include "trust/PeerIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

bool WellFormed(const std::optional<QByteArray>& pin) {
    if (!pin) return true;
    if (pin->size() != 64) return false;
    for (const char c : *pin)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trusted-certificates"));
    QFile::remove(file);
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 0;
    }
    const auto other = trust::RememberedCertificate(file, QStringLiteral("b.example"), 21);
    if (!WellFormed(other) || !WellFormed(trust::RememberedCertificate(file, "a.example", 990)))
        std::abort();
    const QByteArray pin(64, 'c');
    if (trust::RememberCertificate(file, QStringLiteral("a.example"), 990, pin)) {
        if (trust::RememberedCertificate(file, QStringLiteral("a.example"), 990) != pin) std::abort();
        if (trust::RememberedCertificate(file, QStringLiteral("b.example"), 21) != other) std::abort();
    }

    std::vector<CFtpNode> nodes(3);
    nodes[1].host = QStringLiteral("h");
    nodes[2].port = 22;
    ApplyProtocolLines(UnarchiveStrings(bytes).value_or(QStringList{}), nodes);
    ApplyProtocolLines(QString::fromUtf8(bytes).split(QLatin1Char('\n')), nodes);
    for (const CFtpNode& n : nodes)
        if (n.protocol != FtpProtocol::Ftp && n.protocol != FtpProtocol::FtpTls &&
            n.protocol != FtpProtocol::Sftp)
            std::abort();
    return 0;
}
