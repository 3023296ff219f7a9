#include "sources/SizeText.h"

#include <QLocale>

namespace velmar {

QString FormatSize(uint64_t bytes) {
    if (bytes < 1000) return QString::number(bytes) + QStringLiteral(" b");
    int shift = 30;
    char unit = 'G';
    if (bytes < 1000000) {
        shift = 10;
        unit = 'k';
    } else if (bytes < (uint64_t(1) << 30)) {
        shift = 20;
        unit = 'M';
    }
    const uint64_t whole = bytes >> shift;
    // Tenths from the remainder alone, so that no product can overflow.
    const uint64_t rest = bytes & ((uint64_t(1) << shift) - 1);
    const unsigned tenth = unsigned((rest * 10) >> shift);
    QString text = QString::number(whole);
    if (tenth != 0) text += QLatin1Char('.') + QString::number(tenth);
    return text + QLatin1Char(' ') + QLatin1Char(unit);
}

QString FormatNumber(uint64_t value) {
    // The default locale is the user's (the program never sets another); tests set theirs.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(qulonglong(value));
}

QString FileNamePart(const QString& path, QChar separator) {
    const int at = path.lastIndexOf(separator);
    return at >= 0 ? path.mid(at + 1) : path;
}

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString ParentOf(const QString& path) {
    const QString p = WithoutTrailingSlash(path);
    const int slash = p.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : p.left(slash);
}

QString ExtensionOf(const QString& name) {
    const int at = name.lastIndexOf(QLatin1Char('.'));
    return at >= 0 ? name.mid(at) : QString();
}

} // namespace velmar
