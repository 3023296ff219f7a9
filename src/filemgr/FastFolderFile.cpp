#include "filemgr/FastFolderFile.h"

namespace velmar {

QString FastFolderTextOf(const QByteArray& bytes) {
    QString text(bytes.size() / 2, QChar());
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(bytes[2 * i]) | uchar(bytes[2 * i + 1]) << 8));
    return text;
}

QStringList FastFolderEntries(const QString& text) {
    QStringList entries = text.split(QLatin1Char(';'));
    entries.removeLast(); // the text after the last ";" is no entry
    return entries;
}

QString FastFolderRowText(const QString& entry) {
    return entry.size() >= 2 ? entry.mid(1, entry.size() - 2) : QString();
}

} // namespace velmar
