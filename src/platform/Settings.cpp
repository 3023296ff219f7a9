#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

const QString kOrganisation = QStringLiteral("Korvath CE Velmar");
const QString kApplication = QStringLiteral("CE Velmar");

QMutex g_folderLock;
QString g_testFolder;

QString ConfigFolder() {
    QMutexLocker lock(&g_folderLock);
    if (!g_testFolder.isEmpty()) return g_testFolder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString FilePath() {
    return ConfigFolder() + QLatin1Char('/') + kOrganisation + QLatin1Char('/') + kApplication +
           QStringLiteral(".conf");
}

// The file holds FTP passwords. Create it private before QSettings first writes it
// (its save file keeps the permissions of the file it replaces), and tighten it after.
void PrepareWrite(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) == 0) return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
}

QVariant Read(const QString& section, const QString& value) {
    return QSettings(FilePath(), QSettings::IniFormat).value(section + QLatin1Char('/') + value);
}

void Write(const QString& section, const QString& value, const QVariant& v) {
    const QString path = FilePath();
    PrepareWrite(path);
    {
        QSettings store(path, QSettings::IniFormat);
        store.setValue(section + QLatin1Char('/') + value, v);
        store.sync();
    }
    ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR);
}

} // namespace

QString SettingsFilePath() {
    return FilePath();
}

bool CountSettingsKeys(const QString& section, int& values, int& sections) {
    QSettings store(FilePath(), QSettings::IniFormat);
    store.beginGroup(section);
    values = int(store.childKeys().size());
    sections = int(store.childGroups().size());
    return values > 0 || sections > 0;
}

void SetSettingsFolderForTesting(const QString& folder) {
    QMutexLocker lock(&g_folderLock);
    g_testFolder = folder;
}

int ReadSetting(const QString& section, const QString& value, int fallback) {
    const QVariant v = Read(section, value);
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::QByteArray) return fallback;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < INT_MIN || n > UINT_MAX) return fallback;
    // Stored as 32-bit numbers: values above INT_MAX wrap as the registry's DWORD would.
    return int(qint32(quint32(n)));
}

void WriteSetting(const QString& section, const QString& value, int number) {
    Write(section, value, number);
}

QString ReadStringSetting(const QString& section, const QString& value, const QString& fallback) {
    const QVariant v = Read(section, value);
    // An unquoted text with a comma reads back as a list: it is still the one text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    if (v.typeId() != QMetaType::QString) return fallback;
    return v.toString();
}

void WriteStringSetting(const QString& section, const QString& value, const QString& text) {
    Write(section, value, text);
}

std::optional<QByteArray> ReadBinarySetting(const QString& section, const QString& value) {
    const QVariant v = Read(section, value);
    if (!v.isValid() || v.typeId() != QMetaType::QByteArray) return std::nullopt;
    return v.toByteArray();
}

void WriteBinarySetting(const QString& section, const QString& value, const QByteArray& bytes) {
    Write(section, value, bytes);
}

} // namespace velmar::platform
