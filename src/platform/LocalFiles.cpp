#include "platform/LocalFiles.h"

#include "platform/NameCodec.h"
#include "platform/TreeGuard.h"

#include <QRandomGenerator>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

// All of `length` bytes, through interruptions and short writes.
bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t w = ::write(fd, data, length);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        length -= size_t(w);
    }
    return true;
}

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

constexpr char kPartPrefix[] = ".vlf-part.";

// Flushes the folder's entry for a file just renamed into it.
void SyncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : slash == 0 ? "/" : ".";
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

int OpenPlainFile(const QByteArray& path, int& fd, struct stat* st, bool noFollow) {
    return OpenPlainFileAt(AT_FDCWD, path.constData(), fd, st, noFollow);
}

int OpenPlainFileAt(int folder, const char* name, int& fd, struct stat* st, bool noFollow) {
    struct stat own {};
    struct stat& s = st ? *st : own;
    fd = ::openat(folder, name,
                  O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0) {
        // A socket cannot be opened at all (ENXIO): still say what it is.
        const int e = errno;
        if (noFollow && e == ELOOP) return e;
        return ::fstatat(folder, name, &s, 0) == 0 && !S_ISREG(s.st_mode) && !S_ISDIR(s.st_mode)
                   ? kNotPlainFile
                   : e;
    }
    int rc = ::fstat(fd, &s) != 0 ? errno
             : S_ISREG(s.st_mode) ? 0
             : S_ISDIR(s.st_mode) ? EISDIR
                                  : kNotPlainFile;
    // O_NONBLOCK stays: it only kept the open from waiting on a FIFO or device, and reads of a
    // plain file ignore it (two system calls less per file of a tree copy).
    if (rc != 0) {
        ::close(fd);
        fd = -1;
    }
    return rc;
}

int RemoveStaleParts(int at, const char* folder) {
    const int dfd = ::openat(at, folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return 0;
    int removed = 0;
    const size_t prefix = sizeof kPartPrefix - 1;
    // The entries straight from the kernel: the folder is read once per copy into it.
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(dfd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t offset = 0; offset < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += e->d_reclen;
            if (std::strncmp(e->d_name, kPartPrefix, prefix) != 0) continue;
            char* end = nullptr;
            const long pid = std::strtol(e->d_name + prefix, &end, 10);
            if (pid <= 0 || *end != '.' || pid == long(::getpid())) continue;
            // Another user's part is not ours to judge; a live (or unknowable) writer keeps it.
            struct stat st {};
            if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || st.st_uid != ::geteuid())
                continue;
            if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
            if (::unlinkat(dfd, e->d_name, 0) == 0) ++removed;
        }
    }
    ::close(dfd);
    return removed;
}

int CreatePartFile(const QByteArray& folder, int& fd, QByteArray& path) {
    const int rc = CreatePartFileAt(AT_FDCWD, folder, folder, fd, path);
    if (rc == 0) path.prepend(folder);
    return rc;
}

namespace {
// Whether `key` is new to this process (so its folder is to be cleaned).
bool FirstTimeFor(const QByteArray& key) {
    static std::mutex mutex;
    static std::set<QByteArray> cleaned;
    const std::lock_guard<std::mutex> lock(mutex);
    if (cleaned.size() > 4096) cleaned.clear();
    return cleaned.insert(key).second;
}
} // namespace

void RemoveStalePartsOnce(int at, const char* folder, const QByteArray& key) {
    if (FirstTimeFor(key)) RemoveStaleParts(at, folder);
}

int CreatePartFileAt(int at, const QByteArray& folder, const QByteArray& key, int& fd,
                     QByteArray& name) {
    RemoveStalePartsOnce(AT_FDCWD, folder.isEmpty() ? "." : folder.constData(), key);
    const QByteArray stem = kPartPrefix + QByteArray::number(qint64(::getpid())) + '.';
    // Relative to `at` when given, else to `folder`.
    const QByteArray base = at == AT_FDCWD ? folder : QByteArray();
    for (int attempt = 0; attempt < 32; ++attempt) {
        name = stem + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::openat(at, (base + name).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return 0;
        if (errno != EEXIST) break;
    }
    const int e = errno;
    name.clear();
    return e;
}

StagingFile::~StagingFile() {
    if (fd_ >= 0) ::close(fd_);
}

int StagingFile::Open(const QString& folder) {
    if (fd_ >= 0) ::close(fd_);
    const QByteArray native = EncodeName(folder);
    fd_ = ::open(native.constData(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ >= 0) return 0;
    // A file system without unnamed files: a private name, removed at once.
    QByteArray pattern = native + "/vlfXXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return errno;
    ::unlink(pattern.constData());
    return 0;
}

bool StagingFile::Write(const char* data, size_t length) {
    return WriteAll(fd_, data, length);
}

bool StagingFile::Rewind() {
    return ::lseek(fd_, 0, SEEK_SET) == 0;
}

int64_t StagingFile::Read(char* buffer, size_t capacity) {
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, capacity);
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

int OpenForScan(const QString& path) {
    // Not blocking: opening a FIFO for reading would wait for a writer.
    const SysName name(path);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                                            (name.guarded() ? O_NOFOLLOW : 0));
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
    const SysName name(path);
    error_ = OpenPlainFile(name.bytes(), fd_, nullptr, name.guarded());
    if (error_ == kNotPlainFile) errno = EINVAL;
    return error_ == 0;
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
    name_ = SysName(target);
    target_ = name_.bytes();
    struct stat st {};
    if (target_.isEmpty() || (::lstat(target_.constData(), &st) == 0 && S_ISDIR(st.st_mode)))
        return false;
    const qsizetype slash = target_.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target_.left(slash + 1) : QByteArray();
    mode_ = (readOnly ? 0444u : 0666u) & ~unsigned(CurrentUmask());
    if (const int rc = CreatePartFile(folder, fd_, temporary_); rc != 0) {
        errno = rc;
        return false;
    }
    return true;
}

bool ReplacingFile::Write(const char* data, size_t length) {
    return WriteAll(fd_, data, length);
}

bool ReplacingFile::Commit() {
    if (fd_ < 0) return false;
    struct stat st {};
    const bool replacing = ::lstat(target_.constData(), &st) == 0;
    bool ok = ::fchmod(fd_, mode_) == 0 && (!replacing || ::fsync(fd_) == 0);
    if (::close(fd_) != 0) ok = false; // late write errors (NFS, quotas) show here
    fd_ = -1;
    if (!ok || ::rename(temporary_.constData(), target_.constData()) != 0) {
        const int e = errno;
        Abandon();
        errno = e;
        return false;
    }
    temporary_.clear();
    if (replacing) SyncFolderOf(target_);
    return true;
}

void ReplacingFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty()) ::unlink(temporary_.constData());
    temporary_.clear();
}

} // namespace velmar::platform
