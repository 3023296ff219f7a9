#include "platform/Trash.h"

#include "platform/NameCodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

constexpr int kNameMax = 255;
const QByteArray kInfoSuffix = QByteArrayLiteral(".trashinfo");

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// A trash folder opened with its two subfolders.
struct TrashFolder {
    Fd files;
    Fd info;
    QByteArray path;   // the trash folder itself
    QByteArray prefix; // what the info's Path is relative to; empty: Path is absolute
};

// `name` below `parent`, made owner-only when missing; never a link.
Fd OpenOrMakeChild(int parent, const char* name) {
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return Fd();
    Fd child(::openat(parent, name, kDirFlags | O_NOFOLLOW));
    struct stat st {};
    if (!child.ok() || ::fstat(child.get(), &st) != 0 || st.st_uid != ::getuid()) return Fd();
    return child;
}

// files/ and info/ of an opened trash folder; false when either cannot be had.
bool OpenParts(Fd folder, TrashFolder& out) {
    out.files = OpenOrMakeChild(folder.get(), "files");
    out.info = OpenOrMakeChild(folder.get(), "info");
    return out.files.ok() && out.info.ok();
}

// Makes every missing folder of an absolute path, owner-only, as a user's data folder is made.
bool MakePath(const QByteArray& path) {
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) return false;
        if (slash < 0) return true;
    }
}

dev_t DeviceOf(const QByteArray& path, bool follow = true) {
    struct stat st {};
    const int rc = follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    return rc == 0 ? st.st_dev : dev_t(-1);
}

QByteArray ParentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The home trash, when it lies on `device` (made when missing).
bool OpenHomeTrash(dev_t device, TrashFolder& out) {
    const QByteArray home = EncodeName(HomeTrashFolder());
    if (!home.startsWith('/')) return false;
    // Made only for an entry of its own file system: the nearest folder there tells.
    QByteArray existing = home;
    while (DeviceOf(existing) == dev_t(-1) && existing != "/")
        existing = ParentOf(existing);
    if (DeviceOf(existing) != device || !MakePath(home)) return false;
    Fd folder(::open(home.constData(), kDirFlags));
    struct stat st {};
    if (!folder.ok() || ::fstat(folder.get(), &st) != 0 || st.st_dev != device) return false;
    out.path = home;
    out.prefix.clear();
    return OpenParts(std::move(folder), out);
}

// The top folder of the file system that holds `folder` (a canonical path).
QByteArray TopFolderOf(const QByteArray& folder, dev_t device) {
    QByteArray top = folder;
    while (top != "/") {
        const QByteArray up = ParentOf(top);
        if (DeviceOf(up) != device) break;
        top = up;
    }
    return top;
}

// TOP/.Trash/UID when TOP/.Trash is a sticky folder (never a link), else TOP/.Trash-UID.
bool OpenTopTrash(const QByteArray& top, dev_t device, TrashFolder& out) {
    Fd topFd(::open(top.constData(), kDirFlags));
    struct stat st {};
    if (!topFd.ok() || ::fstat(topFd.get(), &st) != 0 || st.st_dev != device) return false;
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray base = top == "/" ? QByteArray() : top;
    out.prefix = base + '/';

    struct stat shared {};
    if (::fstatat(topFd.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        Fd sharedFd(::openat(topFd.get(), ".Trash", kDirFlags | O_NOFOLLOW));
        if (sharedFd.ok()) {
            Fd mine = OpenOrMakeChild(sharedFd.get(), uid.constData());
            if (mine.ok()) {
                out.path = base + "/.Trash/" + uid;
                if (OpenParts(std::move(mine), out)) return true;
            }
        }
    }
    const QByteArray own = ".Trash-" + uid;
    Fd mine = OpenOrMakeChild(topFd.get(), own.constData());
    if (!mine.ok()) return false;
    out.path = base + '/' + own;
    return OpenParts(std::move(mine), out);
}

// Cuts `name` to at most `limit` bytes, never inside a UTF-8 sequence.
QByteArray CutName(QByteArray name, qsizetype limit) {
    if (name.size() <= limit) return name;
    qsizetype end = limit;
    while (end > 0 && (uchar(name[end]) & 0xC0) == 0x80)
        --end;
    return name.left(end);
}

// "photo.jpg", "photo.2.jpg", "photo.3.jpg" ...: the n-th try, short enough to take the
// info file's suffix.
QByteArray CandidateName(const QByteArray& name, int n) {
    const qsizetype room = kNameMax - kInfoSuffix.size();
    if (n == 1) return CutName(name, room);
    const QByteArray number = '.' + QByteArray::number(n);
    qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0) dot = name.size();
    const QByteArray ext = name.mid(dot).size() <= 32 ? name.mid(dot) : QByteArray();
    const QByteArray stem = name.left(name.size() - ext.size());
    return CutName(stem, room - number.size() - ext.size()) + number + ext;
}

QByteArray InfoText(const QByteArray& path) {
    // Path keeps the file system's bytes, escaped as in a URL.
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
           '\n';
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

int RenameNoReplace(const QByteArray& from, int toFolder, const QByteArray& name) {
    if (::renameat2(AT_FDCWD, from.constData(), toFolder, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: the name was looked at just before.
    struct stat st {};
    if (::fstatat(toFolder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(AT_FDCWD, from.constData(), toFolder, name.constData()) == 0 ? 0 : errno;
}

} // namespace

QString HomeTrashFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative value is not a valid one.
    if (!data.startsWith(QLatin1Char('/')))
        data = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share");
    while (data.size() > 1 && data.endsWith(QLatin1Char('/')))
        data.chop(1);
    return data + QStringLiteral("/Trash");
}

int MoveToTrash(const QString& path, Trashed* where) {
    QString absolute = path;
    if (!absolute.startsWith(QLatin1Char('/'))) absolute = QDir::currentPath() + '/' + absolute;
    while (absolute.size() > 1 && absolute.endsWith(QLatin1Char('/')))
        absolute.chop(1);
    const QByteArray native = EncodeName(absolute);
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1);
    if (name.isEmpty() || name == "." || name == "..") return EINVAL;

    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0) return errno;
    // The folder it lies in, with every link resolved: the top folder is found on that.
    char resolved[PATH_MAX];
    if (!::realpath(ParentOf(native).constData(), resolved)) return errno;
    const QByteArray parent(resolved);
    if (DeviceOf(parent) != entry.st_dev) return EBUSY; // a mount point moves nowhere

    TrashFolder trash;
    if (!OpenHomeTrash(entry.st_dev, trash) &&
        !OpenTopTrash(TopFolderOf(parent, entry.st_dev), entry.st_dev, trash))
        return kNoTrash;
    QByteArray recorded = native;
    if (!trash.prefix.isEmpty()) {
        // Below a top folder the origin is told relative to it.
        const QByteArray real = (parent == "/" ? QByteArray() : parent) + '/' + name;
        recorded = real.startsWith(trash.prefix) ? real.mid(trash.prefix.size()) : real;
    }
    for (int n = 1; n < 10000; ++n) {
        const QByteArray candidate = CandidateName(name, n);
        const QByteArray infoName = candidate + kInfoSuffix;
        // The info file comes first and claims the name: two programs trashing the same name
        // at once get two names.
        Fd info(::openat(trash.info.get(), infoName.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!info.ok()) {
            if (errno == EEXIST) continue;
            return kNoTrash;
        }
        struct stat st {};
        const bool taken =
            ::fstatat(trash.files.get(), candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        int rc = taken ? EEXIST : 0;
        if (!rc && !WriteAll(info.get(), InfoText(recorded))) rc = kNoTrash;
        if (!rc) rc = RenameNoReplace(native, trash.files.get(), candidate);
        if (rc) {
            ::unlinkat(trash.info.get(), infoName.constData(), 0);
            if (rc == EEXIST) continue;
            // Another file system after all (a bind mount): never a copy. EINVAL: the entry
            // holds this trash.
            return rc == EXDEV || rc == EINVAL ? kNoTrash : rc;
        }
        if (where) {
            where->file = DecodeName(trash.path + "/files/" + candidate);
            where->info = DecodeName(trash.path + "/info/" + infoName);
        }
        return 0;
    }
    return kNoTrash;
}

} // namespace velmar::platform
