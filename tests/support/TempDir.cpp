#include "support/TempDir.h"

#include "platform/NameCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace velmar::test {

TempDir::TempDir(const QString& parent, const char* prefix) {
    const QString base = parent.isEmpty() ? QDir::tempPath() : parent;
    std::string tmpl = base.toStdString() + "/" + prefix + "XXXXXX";
    if (char* made = mkdtemp(tmpl.data())) path_ = QString::fromLocal8Bit(made);
}

TempDir::~TempDir() {
    if (!path_.isEmpty()) RemoveTree(path_);
}

// Byte-exact: QDir::removeRecursively cannot remove a name that is not UTF-8.
void RemoveTree(const QString& path) {
    const std::string p = QFile::encodeName(path).toStdString();
    const std::string cmd = "chmod -R u+rwx '" + p + "' 2>/dev/null; rm -rf '" + p + "'";
    [[maybe_unused]] int rc = std::system(cmd.c_str());
}

QString TempDir::file(const QString& name) const {
    return path_ + QLatin1Char('/') + name;
}

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
    // Through the file system's own bytes: a name that is not UTF-8 reads too.
    QFile f;
    const int fd = ::open(platform::EncodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray bytes;
    if (f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        bytes = f.readAll();
    else
        ::close(fd);
    return bytes;
}

bool WriteRaw(const QByteArray& path, const QByteArray& bytes) {
    FILE* f = std::fopen(path.constData(), "wb");
    if (!f) return false;
    const size_t n = size_t(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, n, f) == n;
    return std::fclose(f) == 0 && written;
}

} // namespace velmar::test
