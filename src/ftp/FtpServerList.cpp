#include "ftp/FtpServerList.h"

#include "settings/Archive.h"
#include "settings/SettingsStore.h"
#include "platform/Settings.h"

namespace velmar {
namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kSchema = 100;
constexpr uint16_t kClassReference = 0x8001; // the first class of the archive
constexpr char kClassName[] = "CFtpNode";

} // namespace

std::optional<QByteArray> ArchiveFtpNodes(const std::vector<CFtpNode>& nodes) {
    using namespace archive;
    QByteArray out;
    PutCount(out, uint32_t(nodes.size()));
    bool first = true;
    for (const CFtpNode& n : nodes) {
        if (first) {
            PutU16(out, kNewClassTag);
            PutU16(out, kSchema);
            PutU16(out, sizeof kClassName - 1);
            out.append(kClassName, sizeof kClassName - 1);
            first = false;
        } else {
            PutU16(out, kClassReference);
        }
        PutString(out, n.host);
        PutString(out, n.password);
        PutString(out, n.user);
        PutU32(out, n.askPassword);
        PutU32(out, n.port);
        if (out.size() > kArchiveLimit) return std::nullopt;
    }
    return out;
}

std::optional<std::vector<CFtpNode>> UnarchiveFtpNodes(const QByteArray& bytes) {
    if (bytes.size() > kArchiveLimit) return std::nullopt;
    archive::Reader r(bytes);
    uint32_t count;
    if (!r.Count(count)) return std::nullopt;
    // Every entry takes at least a class reference and two numbers.
    if (count > uint32_t(r.left() / 10)) return std::nullopt;
    std::vector<CFtpNode> nodes;
    nodes.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t tag;
        if (!r.U16(tag)) return std::nullopt;
        if (i == 0) {
            uint32_t schema, length;
            QByteArray name;
            if (tag != kNewClassTag || !r.U16(schema) || schema != kSchema || !r.U16(length) ||
                !r.Bytes(qsizetype(length), name) || name != kClassName)
                return std::nullopt;
        } else if (tag != kClassReference) {
            return std::nullopt;
        }
        CFtpNode n;
        if (!r.String(n.host) || !r.String(n.password) || !r.String(n.user) ||
            !r.U32(n.askPassword) || !r.U32(n.port))
            return std::nullopt;
        // No TCP port is above 65535: a bigger stored number would reach the server on
        // its low 16 bits. Such an entry keeps its server with the default port.
        if (n.port > 65535) n.port = 21;
        nodes.push_back(std::move(n));
    }
    return nodes;
}

namespace {

QString ProtocolLine(const CFtpNode& n, FtpProtocol p) {
    const char* name = p == FtpProtocol::FtpTls ? "FTPS" : p == FtpProtocol::Sftp ? "SFTP" : "FTP";
    return QStringLiteral("%1\n%2\n%3\n%4").arg(QLatin1String(name), n.host).arg(n.port).arg(n.user);
}

} // namespace

QStringList ProtocolLines(const std::vector<CFtpNode>& nodes) {
    QStringList lines;
    for (const CFtpNode& n : nodes)
        lines << ProtocolLine(n, n.protocol);
    return lines;
}

void ApplyProtocolLines(const QStringList& lines, std::vector<CFtpNode>& nodes) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        CFtpNode& n = nodes[i];
        n.protocol = FtpProtocol::Ftp;
        if (i >= size_t(lines.size())) continue;
        for (const FtpProtocol p : {FtpProtocol::FtpTls, FtpProtocol::Sftp})
            if (lines[qsizetype(i)] == ProtocolLine(n, p)) n.protocol = p;
    }
}

std::vector<CFtpNode> LoadFtpServerList() {
    const std::optional<QByteArray> bytes =
        platform::ReadBinarySetting(QStringLiteral("FTP"), QStringLiteral("list"));
    if (!bytes) return {};
    std::vector<CFtpNode> nodes = UnarchiveFtpNodes(*bytes).value_or(std::vector<CFtpNode>{});
    const std::optional<QByteArray> protocols =
        platform::ReadBinarySetting(QStringLiteral("FTP"), QStringLiteral("protocols"));
    ApplyProtocolLines(protocols ? UnarchiveStrings(*protocols).value_or(QStringList{})
                                 : QStringList{},
                       nodes);
    return nodes;
}

bool SaveFtpServerList(const std::vector<CFtpNode>& nodes) {
    const std::optional<QByteArray> bytes = ArchiveFtpNodes(nodes);
    const std::optional<QByteArray> protocols = ArchiveStrings(ProtocolLines(nodes));
    if (!bytes || !protocols) return false;
    // Both in one write: a list never stands beside another list's protocols.
    return platform::EditSettings([&](platform::SettingsEdit& edit) {
        edit.WriteBinary(QStringLiteral("FTP"), QStringLiteral("list"), *bytes);
        edit.WriteBinary(QStringLiteral("FTP"), QStringLiteral("protocols"), *protocols);
    });
}

} // namespace velmar
