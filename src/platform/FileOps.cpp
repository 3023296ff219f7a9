#include "platform/FileOps.h"

#include "platform/LocalFiles.h"
#include "platform/NameCodec.h"
#include "platform/TreeGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace velmar::platform {

namespace {

// Large enough that the kernel's copy runs at full speed, small enough that a cancel is seen
// within a few milliseconds.
constexpr size_t kKernelBlock = 8u << 20;
constexpr size_t kBufferBlock = 256u << 10;

bool GoingOn(const std::atomic<int>* running) {
    return !running || running->load(std::memory_order_relaxed) != 0;
}

std::atomic<BlockHook> blockHook{nullptr};

void Count(std::atomic<uint64_t>* counter, uint64_t n) {
    if (counter) counter->fetch_add(n, std::memory_order_relaxed);
    if (const BlockHook hook = blockHook.load(std::memory_order_relaxed)) hook();
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // close(2) reports late write errors (NFS, quotas): the copy is not complete without it.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

QString FolderOf(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

// Flushes a folder's entries (a file just renamed into it).
void SyncFolder(const QString& folder) {
    const int fd = ::open(SysName(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Moves the bytes of `in` to `out`: copy_file_range, else sendfile, else read and write.
// With `size` known (not -1) the copy ends once that many have moved, without a last call
// to find the end. Returns 0, errno or kCopyCancelled.
int CopyData(int in, int out, int64_t size, const std::atomic<int>* running,
             std::atomic<uint64_t>* counter) {
    enum { kRange, kSendfile, kBuffer } way = kRange;
    bool movedAny = false;
    uint64_t moved = 0;
    if (size == 0) return 0;
    std::vector<char> buffer;
    for (;;) {
        if (!GoingOn(running)) return kCopyCancelled;
        ssize_t n = -1;
        if (way == kRange) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kKernelBlock, 0);
            if (n < 0 && !movedAny &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                 errno == EPERM || errno == EBADF)) {
                way = kSendfile;
                continue;
            }
        } else if (way == kSendfile) {
            n = ::sendfile(out, in, nullptr, kKernelBlock);
            if (n < 0 && !movedAny && (errno == EINVAL || errno == ENOSYS)) {
                way = kBuffer;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(kBufferBlock);
            n = ::read(in, buffer.data(), buffer.size());
            if (n > 0) {
                const char* p = buffer.data();
                size_t left = size_t(n);
                while (left > 0) {
                    const ssize_t w = ::write(out, p, left);
                    if (w < 0) {
                        if (errno == EINTR) continue;
                        return errno;
                    }
                    p += w;
                    left -= size_t(w);
                }
            }
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        movedAny = true;
        Count(counter, uint64_t(n));
        moved += uint64_t(n);
        if (size > 0 && moved >= uint64_t(size)) return 0;
    }
}

// rename(2) of names in two folders; without `replace` an existing target is refused.
int RenameAt(int fromFolder, const char* from, int toFolder, const char* to, bool replace) {
    if (replace) return ::renameat(fromFolder, from, toFolder, to) == 0 ? 0 : errno;
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace flag: look first (racy, but refuses the usual case).
    struct stat st {};
    if (::fstatat(toFolder, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromFolder, from, toFolder, to) == 0 ? 0 : errno;
}

// Whether the sizes of the file system holding `fd` (on `device`, in the folder `folder`
// holds open below a guarded root) are exact, so a copy may end at the size the open file
// had instead of reading on to find the end: the disk and memory file systems, where the size
// is the inode's own. Network, FUSE and virtual file systems (whose sizes may be late or
// only a guess, as in /proc) are read to the end. Looked at once per folder of a tree walk; a
// name outside a walk is read to the end.
bool SizeIsExact(int fd, dev_t device, const std::shared_ptr<const int>& folder) {
    if (!folder) return false;
    // The folder's own holder is kept (weakly) as the key: no other folder can share it.
    thread_local std::weak_ptr<const int> lastFolder;
    thread_local dev_t lastDevice = 0;
    thread_local bool lastExact = false;
    if (!lastFolder.owner_before(folder) && !folder.owner_before(lastFolder) &&
        !lastFolder.expired() && lastDevice == device)
        return lastExact;
    struct statfs fs {};
    bool exact = false;
    if (::fstatfs(fd, &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case TMPFS_MAGIC:
        case EXT4_SUPER_MAGIC:
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
            exact = true;
            break;
        default:
            break;
        }
    }
    lastFolder = folder;
    lastDevice = device;
    lastExact = exact;
    return exact;
}

// The file system or the system cannot make or name an unnamed file: use a named part.
constexpr int kNoUnnamedFile = -1000;

// Whether naming an unnamed file has worked (1), failed for want of /proc or of O_TMPFILE
// on the system (0), or not been tried (-1).
std::atomic<int> unnamedWorks{-1};
// Whether linkat(AT_EMPTY_PATH) is allowed to this process (-1: not tried yet).
std::atomic<int> emptyPathLinks{-1};

// The umask read without changing it (umask(2) would, for every thread at once); -1 when
// it cannot be read.
int ReadUmask() {
    static const int mask = [] {
        FILE* f = std::fopen("/proc/self/status", "re");
        if (!f) return -1;
        int m = -1;
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                m = int(value & 0777);
                break;
            }
        std::fclose(f);
        return m;
    }();
    return mask;
}

mode_t ProcessUmask() {
    const int m = ReadUmask();
    return m < 0 ? mode_t(022) : mode_t(m);
}

// The data of `in` into `out`, then the source's mode (never set-user or set-group id: a
// copy is the copier's file, not the owner's) when `chmod` says the file lacks it, and its
// times. 0, errno or kCopyCancelled.
int CopyContents(int in, int out, const struct stat& opened, int64_t size, bool chmod,
                 const std::atomic<int>* running, std::atomic<uint64_t>* counter) {
    if (const int rc = CopyData(in, out, size, running, counter); rc != 0) return rc;
    if (chmod && ::fchmod(out, opened.st_mode & 0777) != 0) return errno;
    const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
    return ::futimens(out, times) == 0 ? 0 : errno;
}

// The data, mode and times of `in` into a new unnamed file in `folder` (relative to `at`),
// then named `target` if that name is still free. 0, errno (EEXIST when the name was taken
// meanwhile), kCopyCancelled, or kNoUnnamedFile before anything was read.
int CopyUnnamed(int in, const struct stat& opened, int64_t size, int at,
                const QByteArray& folder, const SysName& target,
                const std::atomic<int>* running, std::atomic<uint64_t>* counter) {
    if (unnamedWorks.load(std::memory_order_relaxed) == 0) return kNoUnnamedFile;
    // Made with the source's permission bits at once: nobody else can reach a file without a
    // name, and the chmod is needed only for what the umask takes away.
    const mode_t mode = opened.st_mode & 0777;
    Fd out(::openat(at, folder.isEmpty() ? "." : folder.constData(),
                    O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (out.get() < 0) {
        // EOPNOTSUPP / EISDIR / EINVAL: this file system (or kernel) has no unnamed files.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return kNoUnnamedFile;
        return errno;
    }
    const bool umaskTakes = ReadUmask() < 0 || (mode & mode_t(ReadUmask())) != 0;
    if (const int rc = CopyContents(in, out.get(), opened, size, umaskTakes, running, counter);
        rc != 0)
        return rc; // the unnamed file goes with its descriptor
    // linkat never replaces a name: one taken meanwhile is EEXIST, and a link put there is
    // not followed. Straight from the descriptor where the system lets us (it needs a right
    // most users lack: ENOENT), else through /proc.
    int linked = -1;
    if (emptyPathLinks.load(std::memory_order_relaxed) != 0) {
        linked = ::linkat(out.get(), "", target.folder(), target.leaf(), AT_EMPTY_PATH);
        if (linked != 0 && errno == ENOENT) emptyPathLinks.store(0);
    }
    if (linked != 0 && emptyPathLinks.load(std::memory_order_relaxed) == 0) {
        char self[40];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", out.get());
        linked = ::linkat(AT_FDCWD, self, target.folder(), target.leaf(), AT_SYMLINK_FOLLOW);
    }
    if (linked != 0) {
        const int e = errno;
        if (unnamedWorks.load(std::memory_order_relaxed) == -1 && (e == ENOENT || e == EPERM)) {
            // No /proc here (or no right to use it): named parts from now on.
            struct stat probe {};
            if (::stat("/proc/self/fd", &probe) != 0 || e == EPERM) {
                unnamedWorks.store(0);
                return kNoUnnamedFile;
            }
        }
        return e;
    }
    unnamedWorks.store(1, std::memory_order_relaxed);
    // close(2) may still report a late write error: then the name just made goes again.
    if (const int e = out.Close(); e != 0) {
        ::unlinkat(target.folder(), target.leaf(), 0);
        return e;
    }
    return 0;
}

} // namespace

QString SystemErrorText(int error) {
    if (error == kCopyCancelled) return QStringLiteral("Cancelled.");
    if (error == kSameFile) return QStringLiteral("Source and target are the same file.");
    char buffer[256];
    // GNU strerror_r returns the text, which need not be in the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

int Identify(const QString& path, FileIdentity& out, bool followLinks) {
    const SysName native(path);
    struct stat st {};
    const int rc = followLinks ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st);
    if (rc != 0) return errno;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.size = uint64_t(st.st_size);
    out.folder = S_ISDIR(st.st_mode);
    out.link = S_ISLNK(st.st_mode);
    out.modified = int64_t(st.st_mtim.tv_sec);
    return 0;
}

int SetModifiedTime(const QString& path, int64_t seconds) {
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(seconds);
    return ::utimensat(AT_FDCWD, EncodeName(path).constData(), times, 0) == 0 ? 0 : errno;
}

bool Exists(const QString& path) {
    struct stat st {};
    return ::lstat(SysName(path).c_str(), &st) == 0;
}

int CopyLocalFile(const QString& src, const QString& dst, bool replace,
                  const std::atomic<int>* running, std::atomic<uint64_t>* counter,
                  const std::function<bool(uint64_t)>* sized) {
    const SysName source(src);
    if (source.error()) return source.error();
    struct stat from {};
    if (!source.guarded()) {
        // A name chosen by itself is looked at first: a device is refused unopened.
        if (::fstatat(source.folder(), source.leaf(), &from, 0) != 0) return errno;
        if (S_ISDIR(from.st_mode)) return EISDIR;
        if (!S_ISREG(from.st_mode)) return kNotPlainFile;
    }
    const SysName target(dst);
    if (target.error()) return target.error();
    // Inside a guarded tree a link is never followed, not even the last name (ELOOP).
    int inFd = -1;
    struct stat opened {};
    if (const int rc = OpenPlainFileAt(source.folder(), source.leaf(), inFd, &opened,
                                       source.guarded());
        rc != 0)
        return rc;
    Fd in(inFd);
    if (source.guarded())
        from = opened;
    else if (opened.st_dev != from.st_dev || opened.st_ino != from.st_ino)
        return EAGAIN; // replaced between the look and the open
    struct stat to {};
    // Without leave to replace, a small file is copied without looking at the target first:
    // the naming refuses a taken name (EEXIST) and only then is the target looked at. A large
    // one is looked at first, so that no long copy is made in vain.
    constexpr off_t kLookFirst = 1 << 20;
    const bool look = replace || from.st_size > kLookFirst;
    const auto classify = [&](const struct stat& t) {
        if (t.st_dev == from.st_dev && t.st_ino == from.st_ino) return kSameFile;
        if (S_ISDIR(t.st_mode)) return EISDIR;
        return EEXIST;
    };
    const auto taken = [&](int rc) {
        if (rc != EEXIST || look) return rc;
        struct stat now {};
        return ::fstatat(target.folder(), target.leaf(), &now, 0) == 0 ? classify(now) : rc;
    };
    const bool replacing = look && ::fstatat(target.folder(), target.leaf(), &to, 0) == 0;
    if (replacing) {
        if (const int rc = classify(to); rc != EEXIST || !replace) return rc;
    }
    if (sized && !(*sized)(uint64_t(opened.st_size))) return kCopyRefused;
    const int64_t size = SizeIsExact(in.get(), opened.st_dev, source.folderHandle())
                             ? int64_t(opened.st_size)
                             : -1;

    // The part goes beside the target: in the folder the target's name is looked up in.
    const auto folderOfTarget = [&target] {
        const QByteArray& whole = target.bytes();
        const qsizetype slash = whole.lastIndexOf('/');
        return slash >= 0 ? whole.left(slash + 1) : QByteArray();
    };
    const int partFolder = target.guarded() ? target.folder() : AT_FDCWD;
    // A new file (nothing to replace) is written without a name and named only when whole;
    // a cut copy leaves nothing behind, and the part's own name and rename are saved.
    if (!replacing) {
        // What a killed copy left here goes first, as with a named part (the key is made
        // only when the folder changes: a tree copy writes many files into each).
        thread_local QString cleanedFor;
        const QStringView folder =
            QStringView(dst).left(std::max<qsizetype>(dst.lastIndexOf(QLatin1Char('/')), 0));
        if (cleanedFor.isEmpty() || folder != cleanedFor) {
            cleanedFor = folder.toString();
            const QByteArray key = EncodeName(FolderOf(dst)) + '/';
            const QByteArray plain = target.guarded() ? QByteArray() : folderOfTarget();
            RemoveStalePartsOnce(partFolder, plain.isEmpty() ? "." : plain.constData(), key);
        }
        static const QByteArray here(".");
        const int rc = CopyUnnamed(in.get(), opened, size, partFolder,
                                   target.guarded() ? here : folderOfTarget(), target, running,
                                   counter);
        if (rc != kNoUnnamedFile) return taken(rc);
        if (::lseek(in.get(), 0, SEEK_SET) != 0) return errno;
        if (counter) counter->store(0, std::memory_order_relaxed);
    }
    const QByteArray folder = folderOfTarget();
    int outFd = -1;
    QByteArray temp;
    if (const int rc =
            CreatePartFileAt(partFolder, folder, EncodeName(FolderOf(dst)) + '/', outFd, temp);
        rc != 0)
        return rc;
    if (!target.guarded()) temp = folder + temp;
    Fd out(outFd);
    int result = CopyContents(in.get(), out.get(), opened, size, true, running, counter);
    // A file that is replaced goes only once its successor is on the disk.
    if (result == 0 && replacing && ::fsync(out.get()) != 0) result = errno;
    if (result == 0) result = out.Close();
    if (result == 0)
        result = RenameAt(partFolder, temp.constData(), target.folder(), target.leaf(), replace);
    if (result != 0) {
        out.Reset();
        ::unlinkat(partFolder, temp.constData(), 0);
    } else if (replacing) {
        SyncFolder(FolderOf(dst));
    }
    return taken(result);
}

int CopyLink(const QString& from, const QString& to, bool replace) {
    const SysName linkName(from);
    const QByteArray& link = linkName.bytes();
    std::vector<char> contents(4096);
    for (;;) {
        const ssize_t n = ::readlink(link.constData(), contents.data(), contents.size());
        if (n < 0) return errno;
        if (size_t(n) < contents.size()) {
            contents.resize(size_t(n));
            break;
        }
        contents.resize(contents.size() * 2);
    }
    contents.push_back(0);
    const SysName targetName(to);
    const QByteArray& target = targetName.bytes();
    if (!replace) return ::symlink(contents.data(), target.constData()) == 0 ? 0 : errno;
    // The new link goes under a part name first, so what it replaces goes in one rename.
    int fd = -1;
    QByteArray part;
    const qsizetype slash = target.lastIndexOf('/');
    if (const int rc = CreatePartFile(slash >= 0 ? target.left(slash + 1) : QByteArray(), fd, part);
        rc != 0)
        return rc;
    ::close(fd);
    ::unlink(part.constData());
    if (::symlink(contents.data(), part.constData()) != 0) return errno;
    if (::rename(part.constData(), target.constData()) == 0) return 0;
    const int e = errno;
    ::unlink(part.constData());
    return e;
}

int FlushToDisk(const QString& path) {
    const int fd =
        ::open(SysName(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ELOOP) { // a link has no data of its own: only its entry
        SyncFolder(FolderOf(path));
        return 0;
    }
    if (fd < 0) return errno;
    struct stat st {};
    int rc = ::fstat(fd, &st) != 0 ? errno : 0;
    if (rc == 0) {
        if (S_ISDIR(st.st_mode))
            rc = ::syncfs(fd) == 0 ? 0 : errno;
        else
            rc = ::fsync(fd) == 0 ? 0 : errno;
    }
    ::close(fd);
    if (rc == 0 && !S_ISDIR(st.st_mode)) SyncFolder(FolderOf(path));
    return rc;
}

bool OnOneFileSystem(const QString& path, const QString& folder) {
    struct stat a {
    }, b{};
    return ::lstat(SysName(path).c_str(), &a) == 0 && ::stat(SysName(folder).c_str(), &b) == 0 &&
           a.st_dev == b.st_dev;
}

QString CacheFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/.cache/velmar");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(FolderOf(folder));
        ::mkdir(EncodeName(folder).constData(), 0700);
    }
    return folder;
}

void SetBlockHook(BlockHook hook) {
    blockHook.store(hook);
}

int RenamePath(const QString& from, const QString& to, bool replace) {
    const SysName a(from);
    const SysName b(to);
    return RenameAt(a.folder(), a.leaf(), b.folder(), b.leaf(), replace);
}

int RemoveFile(const QString& path) {
    return ::unlink(SysName(path).c_str()) == 0 ? 0 : errno;
}

int RemoveEmptyFolder(const QString& path) {
    return ::rmdir(SysName(path).c_str()) == 0 ? 0 : errno;
}

int MakeFolder(const QString& path) {
    return ::mkdir(SysName(path).c_str(), 0777) == 0 ? 0 : errno;
}

int FreeBytes(const QString& folder, uint64_t& out) {
    struct statvfs vfs {};
    // With its "/": below a guarded root the folder's own descriptor, which the copy into it
    // reuses, is asked (no walk through /proc, no descriptor opened for this alone).
    const SysName name(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    if (!name.guarded()) {
        if (::statvfs(name.c_str(), &vfs) != 0) return errno;
    } else {
        if (name.error()) return name.error();
        if (::fstatvfs(name.folder(), &vfs) != 0) return errno;
    }
    out = uint64_t(vfs.f_bavail) * uint64_t(vfs.f_frsize);
    return 0;
}

int SetNewFileMode(const QString& path) {
    return ::chmod(EncodeName(path).constData(), 0666 & ~ProcessUmask()) == 0 ? 0 : errno;
}

int MakeTempFile(const QString& folder, const QString& prefix, QString& path) {
    QByteArray pattern = EncodeName(folder);
    if (!pattern.endsWith('/')) pattern += '/';
    pattern += EncodeName(prefix) + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    path = DecodeName(pattern);
    return 0;
}

QString TempFolder() {
    QString t = QDir::tempPath();
    while (t.size() > 1 && t.endsWith(QLatin1Char('/')))
        t.chop(1);
    return t;
}

int ListFolder(const QString& folder, FolderListing& out, bool sizes) {
    out.items.clear();
    // With its "/": inside a guarded tree the folder itself is reached without a link too.
    const SysName name(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    if (name.error()) return name.error();
    const int fd = ::openat(name.folder(), *name.leaf() ? name.leaf() : ".",
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    struct statvfs vfs {};
    out.readOnlyFs = ::fstatvfs(fd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        FolderItem item;
        item.name = DecodeName(std::string_view(raw));
        unsigned char type = e->d_type;
        struct stat st {};
        const bool needStat = type == DT_UNKNOWN || (sizes && type != DT_DIR);
        if (needStat) {
            if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue; // vanished
            type = S_ISDIR(st.st_mode)    ? DT_DIR
                   : S_ISLNK(st.st_mode)  ? DT_LNK
                   : S_ISREG(st.st_mode)  ? DT_REG
                   : S_ISFIFO(st.st_mode) ? DT_FIFO
                                          : DT_CHR; // socket or device: refused alike
            if (S_ISREG(st.st_mode)) item.size = uint64_t(st.st_size);
        }
        // Opening a device can act on it (a tape rewinds, a watchdog starts): the folder's
        // own type of an entry keeps a copy from ever opening one.
        item.special = type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK;
        item.folder = type == DT_DIR;
        item.link = type == DT_LNK;
        if (type == DT_LNK) {
            struct stat target {};
            item.linkToFolder = ::fstatat(fd, raw, &target, 0) == 0 && S_ISDIR(target.st_mode);
        }
        out.items.push_back(std::move(item));
        errno = 0;
    }
    const int e = errno;
    ::closedir(dir);
    return e;
}

namespace {

// File systems with no files of their own on a disk: what they show has no size to add.
bool IsVirtualFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case SELINUX_MAGIC:
    case EFIVARFS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case 0x42494e4d: // binfmt_misc
        return true;
    default:
        return false;
    }
}

uint64_t TreeSizeOf(std::string& path, dev_t device, const std::atomic<int>* running) {
    const auto stopped = [running] {
        return running && running->load(std::memory_order_relaxed) == 0;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return 0;
    // A mount point below the folder leads to another file system: not this folder's size.
    struct stat self {};
    if (::fstat(fd, &self) != 0 || self.st_dev != device) {
        ::close(fd);
        return 0;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    uint64_t sum = 0;
    std::vector<std::string> folders; // entered once this one is closed
    while (const dirent* e = ::readdir(dir)) {
        if (stopped()) break;
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        if (e->d_type == DT_DIR) {
            folders.emplace_back(raw);
            continue;
        }
        // Links and special files add nothing: only what may be a regular file is looked at.
        if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN) continue;
        struct stat st {};
        if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue; // vanished
        if (S_ISREG(st.st_mode))
            sum += uint64_t(st.st_size);
        else if (S_ISDIR(st.st_mode))
            folders.emplace_back(raw);
    }
    ::closedir(dir);
    const size_t length = path.size();
    for (const std::string& name : folders) {
        if (stopped()) break;
        if (path.back() != '/') path += '/';
        path += name;
        sum += TreeSizeOf(path, device, running);
        path.resize(length);
    }
    return sum;
}

} // namespace

uint64_t TreeSize(const QString& folder, const std::atomic<int>* running) {
    std::string path = EncodeName(folder).toStdString();
    if (path.empty()) return 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    const bool counted = ::fstat(fd, &st) == 0 && !IsVirtualFileSystem(fd);
    ::close(fd);
    if (!counted) return 0;
    // The folder's own name may be a link (the pane lists one as a folder); below it none is.
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.back() != '/') path += '/';
    return TreeSizeOf(path, st.st_dev, running);
}

OpenFolder::~OpenFolder() {
    if (fd_ >= 0) ::close(fd_);
}

int OpenFolder::Open(const QString& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(EncodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0 ? 0 : errno;
}

int OpenFolder::OpenChild(const OpenFolder& parent, const char* name) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::openat(parent.fd_, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0 ? 0 : errno;
}

int OpenFolder::Read(std::vector<Entry>& out, bool* readOnlyFs) {
    out.clear();
    names_.clear();
    if (readOnlyFs) {
        struct statvfs vfs {};
        *readOnlyFs = ::fstatvfs(fd_, &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
    }
    // Names first, pointers after: the buffer may still move while it grows.
    std::vector<std::pair<size_t, bool>> found;
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd_, buffer, sizeof buffer);
        if (n < 0) return errno;
        if (n == 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            const char* raw = e->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
            bool folder = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st {};
                if (::fstatat(fd_, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue; // vanished
                folder = S_ISDIR(st.st_mode);
            }
            found.emplace_back(names_.size(), folder);
            names_.insert(names_.end(), raw, raw + std::strlen(raw) + 1);
        }
    }
    out.reserve(found.size());
    for (const auto& [offset, folder] : found)
        out.push_back({names_.data() + offset, folder});
    return 0;
}

int OpenFolder::RemoveFile(const char* name) const {
    return ::unlinkat(fd_, name, 0) == 0 ? 0 : errno;
}

int OpenFolder::RemoveEmptyFolder(const char* name) const {
    return ::unlinkat(fd_, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

} // namespace velmar::platform
