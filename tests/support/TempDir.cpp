#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <string>

namespace velmar::test {

TempDir::TempDir() {
    std::string tmpl = QDir::tempPath().toStdString() + "/velmar-test-XXXXXX";
    if (char* made = mkdtemp(tmpl.data())) path_ = QString::fromLocal8Bit(made);
}

TempDir::~TempDir() {
    if (!path_.isEmpty()) {
        // Make everything writable again so a test that took rights away still cleans up.
        std::string cmd = "chmod -R u+rwx '" + path_.toStdString() + "' 2>/dev/null";
        [[maybe_unused]] int rc = std::system(cmd.c_str());
        QDir(path_).removeRecursively();
    }
}

QString TempDir::file(const QString& name) const { return path_ + QLatin1Char('/') + name; }

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = file(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return p;
}

QString TempDir::mkdir(const QString& name) const {
    const QString p = file(name);
    QDir().mkpath(p);
    return p;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace velmar::test
