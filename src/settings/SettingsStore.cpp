#include "settings/SettingsStore.h"

#include "settings/Archive.h"

#include <QMimeDatabase>
#include <cstring>

namespace velmar {

namespace {

const SettingDef* FindDef(const char* name) {
    for (const SettingDef& d : kSettingsStore)
        if (std::strcmp(d.name, name) == 0) return &d;
    return nullptr;
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
    archive::PutCount(out, quint32(list.size()));
    for (const QString& s : list) {
        archive::PutString(out, s);
        if (out.size() > kArchiveLimit) return std::nullopt;
    }
    if (out.size() > kArchiveLimit) return std::nullopt;
    return out;
}

std::optional<QStringList> UnarchiveStrings(const QByteArray& bytes) {
    if (bytes.size() > kArchiveLimit) return std::nullopt;
    archive::Reader r(bytes);
    uint32_t count;
    if (!r.Count(count)) return std::nullopt;
    // Every string takes at least one byte: a larger count cannot be real.
    if (count > quint32(r.left())) return std::nullopt;
    QStringList list;
    list.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        QString s;
        if (!r.String(s)) return std::nullopt;
        list.append(s);
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
