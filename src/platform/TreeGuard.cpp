#include "platform/TreeGuard.h"

#include "platform/NameCodec.h"

#include <QList>

#include <algorithm>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velmar::platform {

namespace {

using FolderFd = std::shared_ptr<const int>;

FolderFd Own(int fd) {
    return FolderFd(new int(fd), [](const int* p) {
        ::close(*p);
        delete p;
    });
}

// One folder below `from` (a relative path of plain names), no link followed on the way.
int OpenBeneath(int from, const QByteArray& relative) {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, from, relative.constData(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return int(fd);
    // A kernel before openat2: one name at a time.
    int at = ::fcntl(from, F_DUPFD_CLOEXEC, 0);
    for (const QByteArray& name : relative.split('/')) {
        if (at < 0) break;
        if (name.isEmpty() || name == "." || name == "..") {
            ::close(at);
            errno = EXDEV;
            return -1;
        }
        const int next =
            ::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int e = errno;
        ::close(at);
        errno = e;
        at = next;
    }
    return at;
}

struct Root {
    const void* owner;
    QString path; // no trailing "/"
    FolderFd fd;
    // The folders last reached below it: a walk asks for the same folder file after file.
    std::vector<std::pair<QByteArray, FolderFd>> recent;
};

thread_local std::vector<Root> roots;

constexpr size_t kRecent = 4;

} // namespace

struct TreeGuard::Roots {};

TreeGuard::TreeGuard() : roots_(std::make_unique<Roots>()) {}

TreeGuard::~TreeGuard() {
    std::erase_if(roots, [this](const Root& r) { return r.owner == roots_.get(); });
}

int TreeGuard::Add(const QString& root) {
    QString path = root;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const int fd = ::open(EncodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    roots.push_back({roots_.get(), path, Own(fd), {}});
    return 0;
}

void TreeGuard::Take(const HeldRoots& held) {
    for (const auto& [path, fd] : held.roots)
        roots.push_back({roots_.get(), path, fd, {}});
}

std::shared_ptr<const HeldRoots> HoldFolders(std::initializer_list<QString> folders) {
    auto held = std::make_shared<HeldRoots>();
    for (const QString& folder : folders) {
        const SysName name(folder + QLatin1Char('/'));
        if (!name.guarded()) continue;
        if (name.error() != 0) return nullptr;
        held->roots.emplace_back(folder, name.folderHandle());
    }
    return held;
}

SysName::SysName(const QString& path) {
    Root* best = nullptr;
    for (Root& r : roots) {
        if ((path.size() == r.path.size() || (path.size() > r.path.size() &&
                                              path.at(r.path.size()) == QLatin1Char('/'))) &&
            path.startsWith(r.path) && (!best || r.path.size() > best->path.size()))
            best = &r;
    }
    if (!best) {
        name_ = EncodeName(path);
        return;
    }
    guarded_ = true;
    name_ = EncodeName(QStringView(path).mid(std::min(best->path.size() + 1, path.size())));
    if (name_.isEmpty()) { // the root itself
        folder_ = best->fd;
        name_ = ".";
        return;
    }
    const qsizetype slash = name_.lastIndexOf('/');
    leafAt_ = slash + 1;
    if (slash <= 0) {
        folder_ = best->fd;
        return;
    }
    // The folder holding the leaf: most often one of the last few reached.
    for (auto it = best->recent.begin(); it != best->recent.end(); ++it) {
        if (it->first.size() != slash || std::memcmp(it->first.constData(), name_.constData(),
                                                     size_t(slash)) != 0)
            continue;
        folder_ = it->second;
        std::rotate(best->recent.begin(), it, it + 1);
        return;
    }
    const QByteArray parent = name_.left(slash);
    const int fd = OpenBeneath(*best->fd, parent);
    if (fd < 0) {
        // Nothing of that name can be opened, created or removed.
        error_ = errno;
        at_ = -1;
        return;
    }
    folder_ = Own(fd);
    if (best->recent.size() >= kRecent) best->recent.pop_back();
    best->recent.insert(best->recent.begin(), {parent, folder_});
}

const QByteArray& SysName::bytes() const {
    if (!guarded_ || !proc_.isEmpty()) return guarded_ ? proc_ : name_;
    proc_ = "/proc/self/fd/" + QByteArray::number(folder()) + '/' + leaf();
    return proc_;
}

} // namespace velmar::platform
