#include "app/core/SettingsStore.h"

#include <QMimeDatabase>
#include <cstring>

namespace velmar {

namespace {

const SettingDef* FindDef(const char* name) {
    for (const SettingDef& d : kSettingsStore)
        if (std::strcmp(d.name, name) == 0) return &d;
    return nullptr;
}

void PutU16(QByteArray& out, quint32 v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void PutU32(QByteArray& out, quint32 v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

class Reader {
public:
    explicit Reader(const QByteArray& b) : data_(b) {}
    bool U8(quint32& v) {
        if (pos_ + 1 > data_.size()) return false;
        v = quint8(data_[pos_++]);
        return true;
    }
    bool U16(quint32& v) {
        quint32 lo, hi;
        if (!U8(lo) || !U8(hi)) return false;
        v = lo | (hi << 8);
        return true;
    }
    bool U32(quint32& v) {
        quint32 lo, hi;
        if (!U16(lo) || !U16(hi)) return false;
        v = lo | (hi << 16);
        return true;
    }
    qsizetype left() const { return data_.size() - pos_; }
    const char* here() const { return data_.constData() + pos_; }
    void skip(qsizetype n) { pos_ += n; }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
};

// The string length after the optional unicode marker: one byte, or 0xFF and 16 bits,
// or 0xFF 0xFFFF and 32 bits.
bool ReadLength(Reader& r, quint32 first, quint32& length) {
    if (first < 0xFF) {
        length = first;
        return true;
    }
    quint32 w;
    if (!r.U16(w)) return false;
    if (w < 0xFFFF) {
        length = w;
        return true;
    }
    return r.U32(length);
}

} // namespace

int ReadStoreSetting(const char* name) {
    const SettingDef* d = FindDef(name);
    return ReadSetting(kSettingsSection, QString::fromLatin1(name), d ? d->fallback : 0);
}

void WriteStoreSetting(const char* name, int number) {
    WriteSetting(kSettingsSection, QString::fromLatin1(name), number);
}

std::optional<QByteArray> ArchiveStrings(const QStringList& list) {
    QByteArray out;
    const auto count = quint32(list.size());
    if (count < 0xFFFF) {
        PutU16(out, count);
    } else {
        PutU16(out, 0xFFFF);
        PutU32(out, count);
    }
    for (const QString& s : list) {
        out.append(char(0xFF));
        PutU16(out, 0xFFFE);
        const auto n = quint32(s.size());
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
        if (out.size() > kArchiveLimit) return std::nullopt;
    }
    if (out.size() > kArchiveLimit) return std::nullopt;
    return out;
}

std::optional<QStringList> UnarchiveStrings(const QByteArray& bytes) {
    if (bytes.size() > kArchiveLimit) return std::nullopt;
    Reader r(bytes);
    quint32 count;
    if (!r.U16(count)) return std::nullopt;
    if (count == 0xFFFF && !r.U32(count)) return std::nullopt;
    // Every string takes at least one byte: a larger count cannot be real.
    if (count > quint32(r.left())) return std::nullopt;
    QStringList list;
    list.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        quint32 first;
        if (!r.U8(first)) return std::nullopt;
        bool wide = false;
        quint32 length = 0;
        if (first == 0xFF) {
            quint32 marker;
            if (!r.U16(marker)) return std::nullopt;
            if (marker == 0xFFFE) {
                wide = true;
                quint32 lenFirst;
                if (!r.U8(lenFirst) || !ReadLength(r, lenFirst, length)) return std::nullopt;
            } else if (marker == 0xFFFF) {
                if (!r.U32(length)) return std::nullopt;
            } else {
                length = marker;
            }
        } else {
            length = first;
        }
        const quint64 need = quint64(length) * (wide ? 2 : 1);
        if (need > quint64(r.left())) return std::nullopt;
        if (wide) {
            QString s(qsizetype(length), Qt::Uninitialized);
            const auto* p = reinterpret_cast<const uchar*>(r.here());
            for (quint32 k = 0; k < length; ++k)
                s[qsizetype(k)] = QChar(char16_t(p[2 * k] | (p[2 * k + 1] << 8)));
            list.append(s);
        } else {
            list.append(QString::fromLatin1(r.here(), qsizetype(length)));
        }
        r.skip(qsizetype(need));
    }
    return list;
}

QStringList LoadHistory(const QString& section, const QString& value) {
    const std::optional<QByteArray> bytes = platform::ReadBinarySetting(section, value);
    if (!bytes) return {};
    QStringList list = UnarchiveStrings(*bytes).value_or(QStringList{});
    list.removeAll(QString());
    return list;
}

void SaveHistory(const QString& section, const QString& value, QStringList list) {
    if (list.size() > kHistoryKeep) list.erase(list.begin() + kHistoryKeep, list.end());
    const std::optional<QByteArray> bytes = ArchiveStrings(list);
    if (!bytes) return;
    platform::WriteBinarySetting(section, value, *bytes);
}

void AddToHistory(QStringList& list, const QString& text) {
    if (text.isEmpty()) return;
    const qsizetype at = list.indexOf(text);
    if (at >= 0) list.removeAt(at);
    list.insert(0, text);
}

bool RegistryKey::Open(Root root, const QString& subkey) {
    Close();
    if (root == ClassesRoot) {
        // An extension key (".txt") exists when the MIME database knows a type for it.
        if (!subkey.startsWith(QLatin1Char('.')) || subkey.size() < 2) return false;
        static const QMimeDatabase db;
        const QList<QMimeType> types = db.mimeTypesForFileName(QStringLiteral("x") + subkey);
        if (types.isEmpty()) return false;
        className = types.first().name();
        valueCount = int(types.size());
        open_ = true;
        return true;
    }
    open_ = platform::CountSettingsKeys(subkey, valueCount, subkeyCount);
    return open_;
}

void RegistryKey::Close() {
    open_ = false;
    className.clear();
    subkeyCount = valueCount = 0;
}

} // namespace velmar
