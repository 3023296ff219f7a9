#include "platform/BlockFile.h"

#include "platform/NameCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

BlockFile::~BlockFile() {
    Close();
}

bool BlockFile::Open(const QString& path, Mode mode) {
    Close();
    const QByteArray name = EncodeName(path);
    const bool write = mode == Mode::ReadWriteExclusive;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = ::open(name.constData(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    openedSize_ = qint64(st.st_size);
    return true;
}

bool BlockFile::OpenForScan(const QString& path) {
    // Not blocking: opening a FIFO for reading would wait for a writer.
    return AdoptForScan(
        ::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

bool BlockFile::AdoptForScan(int fd) {
    Close();
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Read-ahead advice pays only beyond the first blocks.
    if (st.st_size > (1 << 20)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    openedSize_ = qint64(st.st_size);
    return true;
}

void BlockFile::Close() {
    if (fd_ < 0) return;
    ::close(fd_); // drops the lock
    fd_ = -1;
}

qint64 BlockFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return qint64(st.st_size);
}

qint64 BlockFile::ReadAt(qint64 offset, char* data, qint64 n) const {
    if (fd_ < 0 || offset < 0 || n < 0) return -1;
    qint64 done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, data + done, size_t(n - done), off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool BlockFile::WriteAt(qint64 offset, const char* data, qint64 n) {
    if (fd_ < 0 || offset < 0 || n < 0) return false;
    qint64 done = 0;
    while (done < n) {
        const ssize_t put = ::pwrite(fd_, data + done, size_t(n - done), off_t(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += put;
    }
    return true;
}

} // namespace velmar::platform
