#include "settings/SettingsStore.h"

#include "settings/Archive.h"

#include <QMimeDatabase>
#include <algorithm>
#include <cstring>

namespace velmar {

namespace {

const SettingDef* FindDef(const char* name) {
    for (const SettingDef& d : kSettingsStore)
        if (std::strcmp(d.name, name) == 0) return &d;
    return std::strcmp(kDeleteToTrash.name, name) == 0 ? &kDeleteToTrash : nullptr;
}

} // namespace

int ReadStoreSetting(const char* name) {
    const SettingDef* d = FindDef(name);
    return ReadSetting(kSettingsSection, QString::fromLatin1(name), d ? d->fallback : 0);
}

void WriteStoreSetting(const char* name, int number) {
    WriteSetting(kSettingsSection, QString::fromLatin1(name), number);
}

bool AskBeforeReplacing() {
    return ReadStoreSetting("QestionOnRewrite") != 0 || ReadStoreSetting(kRewriteChoiceMarker) == 0;
}

void WriteStoreSettings(const std::array<int, kSettingsStore.size()>& values) {
    platform::EditSettings([&](platform::SettingsEdit& e) {
        for (size_t i = 0; i < kSettingsStore.size(); ++i)
            e.WriteInt(kSettingsSection, QString::fromLatin1(kSettingsStore[i].name), values[i]);
        e.WriteInt(kSettingsSection, QString::fromLatin1(kRewriteChoiceMarker), 1);
    });
}

int TimeoutMs(int seconds) {
    if (seconds <= 0) return kNoTimeLimitMs;
    return seconds > kNoTimeLimitMs / 1000 ? kNoTimeLimitMs : seconds * 1000;
}

int TimeoutSettingMs(const char* name) {
    return TimeoutMs(ReadStoreSetting(name));
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

QStringList MergeHistory(const QStringList& list, const QStringList& loaded,
                         const QStringList& stored) {
    // The front part that this copy added: the shortest head after which the list is what
    // it loaded, less the entries moved to the head.
    qsizetype head = 0;
    for (; head < list.size(); ++head) {
        QStringList rest = loaded;
        for (qsizetype i = 0; i < head; ++i)
            rest.removeAll(list[i]);
        if (list.mid(head) == rest) break;
    }
    QStringList merged = list.mid(0, head);
    for (const QString& s : stored)
        if (!merged.contains(s)) merged.append(s);
    // Entries this copy has that the stored list lost (it cut them) follow.
    for (const QString& s : list.mid(head))
        if (!merged.contains(s)) merged.append(s);
    return merged;
}

void SaveHistories(const std::vector<HistorySave>& lists) {
    platform::EditSettings([&](platform::SettingsEdit& e) {
        for (const HistorySave& h : lists) {
            const std::optional<QByteArray> stored = e.ReadBinary(h.section, h.value);
            QStringList merged = h.list;
            if (stored) {
                QStringList other = UnarchiveStrings(*stored).value_or(QStringList{});
                other.removeAll(QString());
                merged = MergeHistory(h.list, h.loaded, other);
            }
            if (merged.size() > kHistoryKeep)
                merged.erase(merged.begin() + kHistoryKeep, merged.end());
            if (const std::optional<QByteArray> bytes = ArchiveStrings(merged))
                e.WriteBinary(h.section, h.value, *bytes);
        }
    });
}

void SaveHistory(const QString& section, const QString& value, QStringList list,
                 const QStringList& loaded) {
    SaveHistories({HistorySave{section, value, std::move(list), loaded}});
}

QStringList SortedForList(QStringList list) {
    std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return list;
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
