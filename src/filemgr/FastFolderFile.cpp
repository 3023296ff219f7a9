#include "filemgr/FastFolderFile.h"

#include <QFile>
#include <QStandardPaths>

namespace velmar {

QString FastFolderTextOf(const QByteArray& bytes) {
    QString text(bytes.size() / 2, QChar());
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(bytes[2 * i]) | uchar(bytes[2 * i + 1]) << 8));
    return text;
}

QStringList FastFolderEntries(const QString& text) {
    QStringList entries;
    QString entry;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char(';')) {
            entry += text.at(i);
        } else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char(';')) {
            entry += text.at(++i);
        } else {
            entries.append(entry);
            entry.clear();
        }
    }
    return entries; // the text after the last ";" is no entry
}

QString FastFolderText(const QStringList& entries) {
    QString text;
    for (QString e : entries)
        text += e.replace(QLatin1Char(';'), QLatin1String(";;")) + QLatin1Char(';');
    return text;
}

QString FastFolderRowText(const QString& entry) {
    // "//" keeps its slashes: cut, it would read as (and remove) the root's entry.
    const bool cut = entry.size() >= 2 && entry.endsWith(QLatin1Char('/')) &&
                     entry.at(entry.size() - 2) != QLatin1Char('/');
    return cut ? entry.chopped(1) : entry;
}

QString FastFolderEntryOfRow(const QString& rowText) {
    return rowText.endsWith(QLatin1Char('/')) ? rowText : rowText + QLatin1Char('/');
}

namespace {
QString g_dataFolder;
} // namespace

QString DataFolder() {
    QString folder = g_dataFolder.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                         : g_dataFolder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

void SetDataFolderForTesting(const QString& folder) {
    g_dataFolder = folder;
}

QString FastFolderFilePath() {
    return DataFolder() + QStringLiteral("velmar.ffs");
}

QString ShortcutFolder() {
    return DataFolder() + QStringLiteral("ShortCuts/");
}

QString ReadFastFolderText(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return FastFolderTextOf(in.readAll());
}

} // namespace velmar
