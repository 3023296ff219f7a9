#pragma once
// Tree walks that a link cannot redirect. While a TreeGuard lives on a thread, every local
// path below one of its roots that this thread's file functions are given is reached from
// the root's descriptor, opened when the guard took the root, and through no symbolic link
// below it: a folder put in the place of another by a link during a tree copy makes the
// operation fail instead of leading outside the tree, and a folder renamed away meanwhile is
// still the one written to.

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace velmar::platform {

// Folders (paths without a trailing "/") with the descriptors they are reached through: a
// thread that works in them for another takes them (TreeGuard::Take) and reaches the very
// folders the other reached, whatever their paths lead to by then.
struct HeldRoots {
    std::vector<std::pair<QString, std::shared_ptr<const int>>> roots;
};
// `folders` as this thread's guards reach them now; one outside every guarded root is left
// out (it is reached by its path). Null when one of them cannot be reached.
std::shared_ptr<const HeldRoots> HoldFolders(std::initializer_list<QString> folders);

class TreeGuard {
public:
    TreeGuard();
    ~TreeGuard();
    TreeGuard(const TreeGuard&) = delete;
    TreeGuard& operator=(const TreeGuard&) = delete;
    // Takes `root` (links in its own path followed: the user chose it); 0 or errno.
    int Add(const QString& root);
    // Takes folders another thread held as roots of this guard.
    void Take(const HeldRoots& held);

private:
    struct Roots;
    std::unique_ptr<Roots> roots_;
};

// The name a system call is given for a local path: its bytes, or below a guarded root
// "/proc/self/fd/N/leaf", with N the folder holding the leaf, kept open as long as this
// object. A folder on the way that is a link (or gone) gives a name that cannot be opened.
class SysName {
public:
    SysName() = default;
    explicit SysName(const QString& path);
    const char* c_str() const { return bytes().constData(); }
    // Below a guarded root the "/proc/self/fd/N/leaf" form is made when first asked for: the
    // *at calls of a tree walk never need it.
    const QByteArray& bytes() const;
    // Whether the path lies below a guarded root: its leaf must not be followed either.
    bool guarded() const { return guarded_; }
    // The same for the *at calls, which skip the walk through /proc: the folder (AT_FDCWD
    // when not guarded) and the name in it (the whole path when not guarded; "." for a
    // root). error() is 0, or why the folder could not be reached.
    int folder() const { return folder_ ? *folder_ : at_; }
    const char* leaf() const { return name_.constData() + leafAt_; }
    int error() const { return error_; }
    // What holds folder() open (null when not guarded): one object per folder reached.
    const std::shared_ptr<const int>& folderHandle() const { return folder_; }

private:
    QByteArray name_; // the whole path, or below a guarded root the part below it
    qsizetype leafAt_ = 0;
    mutable QByteArray proc_; // bytes() of a guarded name, once made
    int at_ = -100; // AT_FDCWD
    int error_ = 0;
    std::shared_ptr<const int> folder_;
    bool guarded_ = false;
};

} // namespace velmar::platform
