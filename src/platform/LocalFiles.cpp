#include "platform/LocalFiles.h"

#include "platform/NameCodec.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

// The process's file mode mask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
    static const mode_t mask = [] {
        mode_t found = 022;
        if (FILE* f = std::fopen("/proc/self/status", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, f)) {
                unsigned value = 0;
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    found = mode_t(value);
                    break;
                }
            }
            std::fclose(f);
        }
        return found;
    }();
    return mask;
}

} // namespace

int OpenForScan(const QString& path) {
    // Not blocking: opening a FIFO for reading would wait for a writer.
    const int fd =
        ::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

void CloseHandle(int fd) {
    if (fd >= 0) ::close(fd);
}

bool InputFile::Open(const QString& path) {
    Close();
    fd_ = ::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

int64_t InputFile::Read(char* buffer, size_t capacity) {
    size_t got = 0;
    while (got < capacity) {
        const ssize_t r = ::read(fd_, buffer + got, capacity - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += size_t(r);
    }
    return int64_t(got);
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ReplacingFile::Open(const QString& target, bool readOnly) {
    Abandon();
    target_ = EncodeName(target);
    struct stat st {};
    if (target_.isEmpty() || (::lstat(target_.constData(), &st) == 0 && S_ISDIR(st.st_mode)))
        return false;
    const qsizetype slash = target_.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target_.left(slash + 1) : QByteArray();
    mode_ = (readOnly ? 0444u : 0666u) & ~unsigned(CurrentUmask());
    for (int attempt = 0; attempt < 32; ++attempt) {
        temporary_ = folder + ".vlf" +
                     QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
        fd_ = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     0600);
        if (fd_ >= 0) return true;
        if (errno != EEXIST) break;
    }
    temporary_.clear();
    return false;
}

bool ReplacingFile::Write(const char* data, size_t length) {
    while (length > 0) {
        const ssize_t w = ::write(fd_, data, length);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        length -= size_t(w);
    }
    return true;
}

bool ReplacingFile::Commit() {
    if (fd_ < 0) return false;
    const bool ok = ::fchmod(fd_, mode_) == 0 && ::close(fd_) == 0;
    fd_ = -1;
    if (!ok || ::rename(temporary_.constData(), target_.constData()) != 0) {
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void ReplacingFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty()) ::unlink(temporary_.constData());
    temporary_.clear();
}

} // namespace velmar::platform
