#include "framework/Browser.h"

#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

static void InitHelpResources() {
    Q_INIT_RESOURCE(velmar_help);
}

namespace velmar {

namespace {
UrlOpener g_opener;
const QString kManual = QStringLiteral("ce_velmar.htm");
const QString kResourceFolder = QStringLiteral(":/velmar/help");

// Copies the manual and its pictures out of the resources; rewrites only what differs,
// so a browser still showing the old copy is not disturbed needlessly.
bool Unpack(const QString& folder) {
    if (!QDir().mkpath(folder)) return false;
    QDirIterator it(kResourceFolder, QDir::Files);
    bool manualFound = false;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = folder + QLatin1Char('/') + it.fileName();
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) return false;
        const QByteArray bytes = in.readAll();
        QFile existing(target);
        if (!existing.open(QIODevice::ReadOnly) || existing.readAll() != bytes) {
            existing.close();
            QFile out(target);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                out.write(bytes) != bytes.size())
                return false;
        }
        if (it.fileName() == kManual) manualFound = true;
    }
    return manualFound;
}
} // namespace

void SetUrlOpenerForTesting(UrlOpener opener) {
    g_opener = std::move(opener);
}

bool OpenInBrowser(const QUrl& url) {
    if (g_opener) return g_opener(url);
    return platform::OpenUrl(url);
}

QString InstalledHelpPath() {
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {appDir + QStringLiteral("/help/") + kManual,
                                     appDir + QStringLiteral("/../share/velmar/help/") + kManual}) {
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return QString();
}

QString HelpFilePath() {
    const QString installed = InstalledHelpPath();
    if (!installed.isEmpty()) return installed;
    InitHelpResources();
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) cache = QDir::tempPath();
    const QString folder = cache + QStringLiteral("/Korvath CE Velmar/help");
    if (!Unpack(folder)) return QString();
    return folder + QLatin1Char('/') + kManual;
}

bool OpenHelp() {
    const QString path = HelpFilePath();
    if (path.isEmpty()) return false;
    return OpenInBrowser(QUrl::fromLocalFile(path));
}

} // namespace velmar
