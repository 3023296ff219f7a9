#include "sources/FtpServerList.h"

#include "app/core/SettingsStore.h"
#include "platform/Settings.h"

namespace velmar {
namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kSchema = 100;
constexpr uint16_t kClassReference = 0x8001; // the first class of the archive
constexpr char kClassName[] = "CFtpNode";

void PutU16(QByteArray& out, uint32_t v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}
void PutU32(QByteArray& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
void PutString(QByteArray& out, const QString& s) {
    out.append(char(0xFF));
    PutU16(out, 0xFFFE);
    const auto n = uint32_t(s.size());
    if (n < 0xFF) {
        out.append(char(n));
    } else if (n < 0xFFFE) {
        out.append(char(0xFF));
        PutU16(out, n);
    } else {
        out.append(char(0xFF));
        PutU16(out, 0xFFFF);
        PutU32(out, n);
    }
    for (QChar c : s)
        PutU16(out, c.unicode());
}

class Reader {
public:
    explicit Reader(const QByteArray& b) : b_(b) {}
    bool U8(uint32_t& v) {
        if (pos_ + 1 > b_.size()) return false;
        v = uint8_t(b_[pos_++]);
        return true;
    }
    bool U16(uint32_t& v) {
        uint32_t lo, hi;
        if (!U8(lo) || !U8(hi)) return false;
        v = lo | (hi << 8);
        return true;
    }
    bool U32(uint32_t& v) {
        uint32_t lo, hi;
        if (!U16(lo) || !U16(hi)) return false;
        v = lo | (hi << 16);
        return true;
    }
    bool Bytes(qsizetype n, QByteArray& out) {
        if (n < 0 || n > b_.size() - pos_) return false;
        out = b_.mid(pos_, n);
        pos_ += n;
        return true;
    }
    // An archive string: wide (0xFF 0xFFFE length UTF-16LE) or narrow (length bytes).
    bool String(QString& s) {
        uint32_t first;
        if (!U8(first)) return false;
        bool wide = false;
        uint32_t length = first;
        if (first == 0xFF) {
            uint32_t marker;
            if (!U16(marker)) return false;
            if (marker == 0xFFFE) {
                wide = true;
                if (!U8(length)) return false;
                if (length == 0xFF) {
                    if (!U16(length)) return false;
                    if (length == 0xFFFF && !U32(length)) return false;
                }
            } else if (marker == 0xFFFF) {
                if (!U32(length)) return false;
            } else {
                length = marker;
            }
        }
        const qint64 need = qint64(length) * (wide ? 2 : 1);
        if (need > b_.size() - pos_) return false;
        QByteArray raw;
        if (!Bytes(qsizetype(need), raw)) return false;
        if (!wide) {
            s = QString::fromLatin1(raw);
            return true;
        }
        s = QString(qsizetype(length), Qt::Uninitialized);
        for (qsizetype k = 0; k < qsizetype(length); ++k)
            s[k] = QChar(char16_t(uint8_t(raw[2 * k]) | (uint8_t(raw[2 * k + 1]) << 8)));
        return true;
    }
    qsizetype left() const { return b_.size() - pos_; }

private:
    const QByteArray& b_;
    qsizetype pos_ = 0;
};

} // namespace

std::optional<QByteArray> ArchiveFtpNodes(const std::vector<CFtpNode>& nodes) {
    QByteArray out;
    const auto count = uint32_t(nodes.size());
    if (count < 0xFFFF) {
        PutU16(out, count);
    } else {
        PutU16(out, 0xFFFF);
        PutU32(out, count);
    }
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
    Reader r(bytes);
    uint32_t count;
    if (!r.U16(count)) return std::nullopt;
    if (count == 0xFFFF && !r.U32(count)) return std::nullopt;
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
        nodes.push_back(std::move(n));
    }
    return nodes;
}

std::vector<CFtpNode> LoadFtpServerList() {
    const std::optional<QByteArray> bytes =
        platform::ReadBinarySetting(QStringLiteral("FTP"), QStringLiteral("list"));
    if (!bytes) return {};
    return UnarchiveFtpNodes(*bytes).value_or(std::vector<CFtpNode>{});
}

void SaveFtpServerList(const std::vector<CFtpNode>& nodes) {
    if (const std::optional<QByteArray> bytes = ArchiveFtpNodes(nodes))
        platform::WriteBinarySetting(QStringLiteral("FTP"), QStringLiteral("list"), *bytes);
}

} // namespace velmar
