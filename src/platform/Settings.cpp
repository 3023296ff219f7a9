#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
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

QString Key(const QString& section, const QString& value) {
    return section + QLatin1Char('/') + value;
}

QVariant Read(const QString& section, const QString& value) {
    return QSettings(FilePath(), QSettings::IniFormat).value(Key(section, value));
}

int IntFrom(const QVariant& v, int fallback) {
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::QByteArray) return fallback;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < INT_MIN || n > UINT_MAX) return fallback;
    // Stored as 32-bit numbers: values above INT_MAX wrap as the registry's DWORD would.
    return int(qint32(quint32(n)));
}

QString StringFrom(const QVariant& v, const QString& fallback) {
    // An unquoted text with a comma reads back as a list: it is still the one text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    if (v.typeId() != QMetaType::QString) return fallback;
    return v.toString();
}

std::optional<QByteArray> BinaryFrom(const QVariant& v) {
    if (!v.isValid() || v.typeId() != QMetaType::QByteArray) return std::nullopt;
    return v.toByteArray();
}

// Held while a copy of the program reads, merges and writes, so that two copies take
// turns. A file of its own: the settings file itself is replaced by every write.
class WriteLock {
public:
    explicit WriteLock(const QString& settingsPath) {
        const QByteArray path = QFile::encodeName(settingsPath + QStringLiteral(".lock-velmar"));
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~WriteLock() {
        if (fd_ >= 0) ::close(fd_); // closing lets go of the lock
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int fd_ = -1;
};

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

int SettingsEdit::ReadInt(const QString& section, const QString& value, int fallback) const {
    return IntFrom(store_.value(Key(section, value)), fallback);
}

QString SettingsEdit::ReadString(const QString& section, const QString& value,
                                 const QString& fallback) const {
    return StringFrom(store_.value(Key(section, value)), fallback);
}

std::optional<QByteArray> SettingsEdit::ReadBinary(const QString& section,
                                                   const QString& value) const {
    return BinaryFrom(store_.value(Key(section, value)));
}

void SettingsEdit::WriteInt(const QString& section, const QString& value, int number) {
    store_.setValue(Key(section, value), number);
}

void SettingsEdit::WriteString(const QString& section, const QString& value, const QString& text) {
    store_.setValue(Key(section, value), text);
}

void SettingsEdit::WriteBinary(const QString& section, const QString& value,
                               const QByteArray& bytes) {
    store_.setValue(Key(section, value), bytes);
}

bool EditSettings(const std::function<void(SettingsEdit&)>& change) {
    const QString path = FilePath();
    PrepareWrite(path);
    bool ok = false;
    {
        const WriteLock lock(path);
        // Made under the lock: it reads the file as the last writer left it. Its sync
        // writes all changes at once through a temporary file renamed over the old one.
        QSettings store(path, QSettings::IniFormat);
        SettingsEdit edit(store);
        change(edit);
        store.sync();
        ok = store.status() == QSettings::NoError;
    }
    ::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR);
    return ok;
}

int ReadSetting(const QString& section, const QString& value, int fallback) {
    return IntFrom(Read(section, value), fallback);
}

void WriteSetting(const QString& section, const QString& value, int number) {
    EditSettings([&](SettingsEdit& e) { e.WriteInt(section, value, number); });
}

QString ReadStringSetting(const QString& section, const QString& value, const QString& fallback) {
    return StringFrom(Read(section, value), fallback);
}

void WriteStringSetting(const QString& section, const QString& value, const QString& text) {
    EditSettings([&](SettingsEdit& e) { e.WriteString(section, value, text); });
}

std::optional<QByteArray> ReadBinarySetting(const QString& section, const QString& value) {
    return BinaryFrom(Read(section, value));
}

void WriteBinarySetting(const QString& section, const QString& value, const QByteArray& bytes) {
    EditSettings([&](SettingsEdit& e) { e.WriteBinary(section, value, bytes); });
}

} // namespace velmar::platform
