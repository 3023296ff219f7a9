#include "platform/LocalFind.h"

#include "platform/NameCodec.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace velmar::platform {

namespace {

// Equal when case is ignored; two ASCII characters (nearly every name) without the Unicode
// tables. An ASCII letter against any other character takes the tables (the Kelvin sign
// folds to "k").
inline bool SameFolded(QChar a, QChar b) {
    const char16_t x = a.unicode();
    const char16_t y = b.unicode();
    if (x == y) return true;
    if ((x | y) >= 0x80) return a.toCaseFolded() == b.toCaseFolded();
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return lower(x) == lower(y);
}

inline QChar Unit(QChar c) {
    return c;
}
inline QChar Unit(char c) {
    return QChar(char16_t(static_cast<unsigned char>(c)));
}

// `C` is QChar, or char for a name of ASCII bytes.
template <class C>
bool MatchFrom(const C* n, const C* nEnd, const QChar* m, const QChar* mEnd) {
    // Iterative wildcard match with one backtrack point (the last star).
    const QChar* starM = nullptr;
    const C* starN = nullptr;
    while (n < nEnd) {
        if (m < mEnd && *m == QLatin1Char('*')) {
            starM = ++m;
            starN = n;
            continue;
        }
        if (m < mEnd && (*m == QLatin1Char('?') || SameFolded(*m, Unit(*n)))) {
            ++m;
            ++n;
            continue;
        }
        if (!starM) return false;
        m = starM;
        n = ++starN;
    }
    while (m < mEnd && *m == QLatin1Char('*'))
        ++m;
    return m == mEnd;
}

template <class C>
bool MatchMaskIn(const C* n, qsizetype size, const QString& mask) {
    if (mask == QLatin1String("*.*") || mask == QLatin1String("*")) return true;
    const QChar* m = mask.constData();
    // The usual mask, a star and a plain tail ("*.txt"): only the name's end is compared.
    const qsizetype tail = mask.size() - 1;
    if (tail > 0 && m[0] == QLatin1Char('*') && std::none_of(m + 1, m + mask.size(), [](QChar c) {
            return c == QLatin1Char('*') || c == QLatin1Char('?');
        })) {
        if (size < tail) return false;
        const C* end = n + size - tail;
        for (qsizetype i = 0; i < tail; ++i)
            if (!SameFolded(m[1 + i], Unit(end[i]))) return false;
        return true;
    }
    if (MatchFrom(n, n + size, m, m + mask.size())) return true;
    // "name.*" also matches a name without any dot, as the classic find did.
    if (mask.endsWith(QLatin1String(".*")) &&
        std::none_of(n, n + size, [](C c) { return Unit(c) == QLatin1Char('.'); }))
        return MatchFrom(n, n + size, m, m + mask.size() - 2);
    return false;
}

struct Identity {
    uid_t uid = geteuid();
    std::vector<gid_t> groups;
    Identity() {
        groups.push_back(getegid());
        const int n = getgroups(0, nullptr);
        if (n > 0) {
            std::vector<gid_t> more(static_cast<size_t>(n));
            if (getgroups(n, more.data()) == n)
                groups.insert(groups.end(), more.begin(), more.end());
        }
    }
    bool MayWrite(uid_t owner, gid_t group, mode_t mode) const {
        if (uid == 0) return true;
        if (owner == uid) return (mode & S_IWUSR) != 0;
        for (gid_t g : groups)
            if (g == group) return (mode & S_IWGRP) != 0;
        return (mode & S_IWOTH) != 0;
    }
};

const Identity& Me() {
    static const Identity me;
    return me;
}

uint64_t FileTime(const struct statx_timestamp& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

// Fill everything but the name from statx results; `target` is the followed link when the
// entry is a symbolic link that resolves.
void FillFromStat(FindRecord& out, const struct statx& self, const struct statx* target,
                  bool readOnlyFs, bool hidden) {
    const struct statx& st = target ? *target : self;
    uint32_t a = 0;
    if (S_ISDIR(st.stx_mode))
        a |= attr::Directory;
    else if (S_ISREG(st.stx_mode))
        a |= attr::Archive;
    if (S_ISLNK(self.stx_mode)) a |= attr::ReparsePoint;
    if (readOnlyFs || !Me().MayWrite(st.stx_uid, st.stx_gid, st.stx_mode)) a |= attr::ReadOnly;
    if (readOnlyFs) a |= attr::InRom;
    if (hidden) a |= attr::Hidden;
    if (a == 0) a = attr::Normal;
    out.attributes = a;
    out.creationTime =
        (st.stx_mask & STATX_BTIME) ? FileTime(st.stx_btime) : FileTime(st.stx_ctime);
    out.lastAccessTime = FileTime(st.stx_atime);
    out.lastWriteTime = FileTime(st.stx_mtime);
    out.size = S_ISDIR(st.stx_mode) ? 0 : st.stx_size;
    out.objectId = 0;
}

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_ATIME |
                                STATX_MTIME | STATX_CTIME | STATX_SIZE | STATX_BTIME;

// `name` is relative to `dirfd` (or a whole path); the hidden mark comes from its last part.
bool StatAt(int dirfd, const char* name, FindRecord& out, bool readOnlyFs) {
    const char* slash = std::strrchr(name, '/');
    const bool hidden = (slash ? slash[1] : name[0]) == '.';
    struct statx self {};
    if (statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &self) != 0)
        return false;
    if (S_ISLNK(self.stx_mode)) {
        struct statx target {};
        if (statx(dirfd, name, AT_NO_AUTOMOUNT, kStatxMask, &target) == 0) {
            FillFromStat(out, self, &target, readOnlyFs, hidden);
            return true;
        }
    }
    FillFromStat(out, self, nullptr, readOnlyFs, hidden);
    return true;
}

bool IsReadOnlyFs(int fd) {
    struct statvfs vfs {};
    return fstatvfs(fd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
}

} // namespace

bool MatchMask(const QString& name, const QString& mask) {
    return MatchMaskIn(name.constData(), name.size(), mask);
}

bool MatchMaskRaw(std::string_view raw, const QString& mask) {
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; }))
        return MatchMaskIn(raw.data(), qsizetype(raw.size()), mask);
    return MatchMask(DecodeName(raw), mask);
}

bool StatPath(const QString& path, FindRecord& out) {
    const QByteArray native = EncodeName(path);
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    out.name = slash >= 0 ? path.mid(slash + 1) : path;
    bool readOnlyFs = false;
    const int fd = ::open(native.constData(), O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        readOnlyFs = IsReadOnlyFs(fd);
        ::close(fd);
    }
    return StatAt(AT_FDCWD, native.constData(), out, readOnlyFs);
}

bool StatPathKeepingName(const QString& path, FindRecord& out, bool readOnlyFs) {
    return StatAt(AT_FDCWD, EncodeName(path).constData(), out, readOnlyFs);
}

struct LocalFind::State {
    DIR* dir = nullptr;
    QString mask;
    bool everything = true;
    bool readOnlyFs = false;
};

LocalFind::LocalFind() = default;
LocalFind::~LocalFind() {
    Close();
}

bool LocalFind::IsOpen() const {
    return state_ && state_->dir;
}

void LocalFind::Close() {
    if (state_ && state_->dir) closedir(state_->dir);
    state_.reset();
}

bool LocalFind::Open(const QString& pattern) {
    Close();
    const int slash = pattern.lastIndexOf(QLatin1Char('/'));
    QString folder = slash >= 0 ? pattern.left(slash + 1) : QStringLiteral("./");
    const QString mask = slash >= 0 ? pattern.mid(slash + 1) : pattern;
    const QByteArray native = EncodeName(folder);
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    state_ = std::make_unique<State>();
    state_->dir = dir;
    state_->mask = mask.isEmpty() ? QStringLiteral("*.*") : mask;
    state_->everything = state_->mask == QLatin1String("*.*") || state_->mask == QLatin1String("*");
    state_->readOnlyFs = IsReadOnlyFs(fd);
    return true;
}

bool LocalFind::Next(FindRecord& out, Want want) {
    if (!IsOpen()) return false;
    State& s = *state_;
    const int fd = dirfd(s.dir);
    while (const dirent* e = readdir(s.dir)) {
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        if (want == Want::FoldersOnly &&
            (e->d_type == DT_REG || e->d_type == DT_FIFO || e->d_type == DT_SOCK ||
             e->d_type == DT_CHR || e->d_type == DT_BLK))
            continue;
        if (want == Want::FilesOnly && e->d_type == DT_DIR) continue;
        out.name = DecodeName(std::string_view(raw));
        if (!s.everything && !MatchMask(out.name, s.mask)) continue;
        // An entry that vanished between readdir and statx is simply passed over.
        if (!StatAt(fd, raw, out, s.readOnlyFs)) continue;
        if (want == Want::FoldersOnly && !out.isFolder()) continue;
        if (want == Want::FilesOnly && out.isFolder()) continue;
        return true;
    }
    return false;
}

FolderScan::~FolderScan() {
    Release();
}

void FolderScan::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FolderScan::Read(const QString& folder) {
    Release();
    entries_.clear();
    names_.clear();
    folder_ = EncodeName(folder);
    const int fd = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    readOnlyFs_ = IsReadOnlyFs(fd);
    while (const dirent* e = readdir(dir)) {
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        Type type = e->d_type == DT_DIR ? Type::Folder : Type::Other;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat self {};
            if (fstatat(fd, raw, &self, AT_SYMLINK_NOFOLLOW) != 0) continue; // vanished
            struct stat target {};
            if (S_ISDIR(self.st_mode))
                type = Type::Folder;
            else if (S_ISLNK(self.st_mode) && fstatat(fd, raw, &target, 0) == 0 &&
                     S_ISDIR(target.st_mode))
                type = Type::LinkToFolder;
        }
        // Every name in one buffer, each ending with its NUL: no allocation per entry.
        const size_t length = strlen(raw);
        entries_.push_back({uint32_t(names_.size()), uint32_t(length), type});
        names_.append(raw, length + 1);
    }
    closedir(dir);
    return true;
}

QString FolderScan::Name(const Entry& entry) const {
    return DecodeName(Raw(entry));
}

bool FolderScan::Stat(const Entry& entry, FindRecord& out) {
    if (fd_ < 0) fd_ = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return false;
    out.name = Name(entry);
    return StatAt(fd_, names_.data() + entry.offset, out, readOnlyFs_);
}

bool FolderScan::OpenForScan(const Entry& entry, BlockFile& file) {
    if (fd_ < 0) fd_ = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return false;
    // Relative to the open folder: no walk of the whole path for every file.
    return file.AdoptForScan(::openat(fd_, names_.data() + entry.offset,
                                      O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

} // namespace velmar::platform
