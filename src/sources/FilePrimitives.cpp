#include "sources/FilePrimitives.h"

#include "platform/FileOps.h"
#include "platform/NameCodec.h"
#include "sources/FtpPrimitives.h"
#include "sources/SizeText.h"

#include <cerrno>

namespace velmar {

namespace {

void TellError(FileMessages& messages, int error) {
    messages.Tell(platform::SystemErrorText(error));
}

// `replace`: the user already agreed to replace the target.
bool LocalCopy(const TransferControl& control, const QString& src, const QString& dst, bool replace,
               FileMessages& messages) {
    int rc = platform::CopyLocalFile(src, dst, replace, control.running, control.counter);
    if (rc == EEXIST && !replace) {
        if (!messages.Ask(kAskOverwrite.arg(dst))) return false;
        rc = platform::CopyLocalFile(src, dst, true, control.running, control.counter);
    }
    if (rc == platform::kSameFile) {
        messages.Tell(kSameFileRefused.arg(dst));
        return false;
    }
    // A cancel is the user's own doing: no message, but not a success either.
    if (rc != 0 && rc != platform::kCopyCancelled) TellError(messages, rc);
    return rc == 0;
}

bool LocalMove(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, FileMessages& messages) {
    platform::FileIdentity a, b;
    if (int rc = platform::Identify(src, a); rc != 0) {
        TellError(messages, rc);
        return false;
    }
    if (platform::Identify(dst, b) == 0) {
        // rename(2) between two names of one file succeeds and does nothing; refuse it plainly.
        if (a.device == b.device && a.inode == b.inode) {
            messages.Tell(kSameFileRefused.arg(dst));
            return false;
        }
    }
    int rc = platform::RenamePath(src, dst, false);
    bool replace = false;
    if (rc == EEXIST) {
        if (!messages.Ask(kAskOverwrite.arg(dst))) return false;
        replace = true;
        rc = platform::RenamePath(src, dst, true);
    }
    if (rc == 0) {
        if (control.counter) control.counter->fetch_add(a.size, std::memory_order_relaxed);
        return true;
    }
    if (rc != EXDEV) {
        TellError(messages, rc);
        return false;
    }
    // Another file system: a complete copy first, the source goes only after it.
    if (!LocalCopy(control, src, dst, replace, messages)) return false;
    return DeleteEntry(src, from, messages);
}

} // namespace

bool CopyEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages) {
    if (!control.goingOn() || !from.usable() || !to.usable()) return false;
    if (!from.isFtp() && !to.isFtp()) return LocalCopy(control, src, dst, false, messages);
    if (from.isFtp() && !to.isFtp())
        return DownloadFile(control, from, src, dst, /*failIfExists=*/true, messages);
    if (!from.isFtp() && to.isFtp()) return UploadFile(control, to, src, dst, messages);
    return ftpprim::CopyBetweenServers(control, src, dst, from, to, messages);
}

bool MoveEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages) {
    if (!control.goingOn() || !from.usable() || !to.usable()) return false;
    if (!from.isFtp() && !to.isFtp()) return LocalMove(control, src, dst, from, messages);
    if (from.isFtp() && to.isFtp() && from.site == to.site)
        return ftpprim::MoveOnServer(control, src, dst, from, messages);
    if (!CopyEntry(control, src, dst, from, to, messages)) return false;
    // CopyEntry is true only for a copy that arrived whole.
    return DeleteEntry(src, from, messages);
}

bool DeleteEntry(const QString& path, PaneSide& side, FileMessages& messages) {
    if (side.isFtp()) return ftpprim::DeleteFile(side, path, messages);
    const int rc = platform::RemoveFile(path);
    if (rc != 0) TellError(messages, rc);
    return rc == 0;
}

bool ListShownEntries(PaneSide& side, const QString& folder, std::vector<ListedEntry>& out,
                      bool sizes) {
    out.clear();
    if (side.isFtp()) return ftpprim::ListFolder(side, folder, out);
    platform::FolderListing listing;
    if (platform::ListFolder(folder, listing, sizes) != 0) return false;
    if (listing.readOnlyFs && !side.showInRom) return true;
    out.reserve(listing.items.size());
    for (platform::FolderItem& item : listing.items) {
        const bool hidden = item.name.startsWith(QLatin1Char('.'));
        if (hidden && !side.showHidden) continue;
        ListedEntry e;
        e.name = std::move(item.name);
        e.folder = item.folder;
        e.linkToFolder = item.linkToFolder;
        e.size = item.size;
        e.attributes = (item.folder ? attr::Directory : 0) | (hidden ? attr::Hidden : 0) |
                       (listing.readOnlyFs ? attr::InRom : 0);
        out.push_back(std::move(e));
    }
    return true;
}

namespace {

int EmptyLocalFolder(platform::OpenFolder& handle, const QString& folder, const PaneSide& side,
                     FileMessages& messages);

// Asks, then removes the subfolder `name` of `parent` with what it holds; true when it went.
bool RemoveLocalSubfolder(const platform::OpenFolder& parent, const char* name,
                          const QString& parentPath, const PaneSide& side, FileMessages& messages) {
    const QString folder =
        parentPath + QLatin1Char('/') + platform::DecodeName(std::string_view(name));
    if (!messages.Ask(kAskRemoveFolder.arg(folder))) return false;
    platform::OpenFolder handle;
    if (handle.OpenChild(parent, name) != 0) {
        messages.Tell(kCannotReadFolder.arg(folder));
        return false;
    }
    if (EmptyLocalFolder(handle, folder, side, messages) != 0) return false;
    const int rc = parent.RemoveEmptyFolder(name);
    // Something that arrived meanwhile keeps the folder, as hidden entries do.
    if (rc != 0 && rc != ENOTEMPTY && rc != EEXIST) TellError(messages, rc);
    return rc == 0;
}

// Removes what a local folder holds through its descriptor, passing over what the pane hides
// and asking before each subfolder: 0 when everything went, 1 when something stays, -1 when
// the folder could not be read (said).
int EmptyLocalFolder(platform::OpenFolder& handle, const QString& folder, const PaneSide& side,
                     FileMessages& messages) {
    std::vector<platform::OpenFolder::Entry> entries;
    bool readOnlyFs = false;
    if (handle.Read(entries, side.showInRom ? nullptr : &readOnlyFs) != 0) {
        messages.Tell(kCannotReadFolder.arg(folder));
        return -1;
    }
    if (readOnlyFs) entries.clear();
    bool all = true;
    for (const platform::OpenFolder::Entry& e : entries) {
        if (e.name[0] == '.' && !side.showHidden) continue;
        if (!e.folder) {
            // A link to a folder goes as a link.
            if (const int rc = handle.RemoveFile(e.name); rc != 0) {
                TellError(messages, rc);
                all = false;
            }
            continue;
        }
        if (!RemoveLocalSubfolder(handle, e.name, folder, side, messages)) all = false;
    }
    return all ? 0 : 1;
}

} // namespace

bool RemoveFolder(const QString& path, PaneSide& side, FileMessages& messages, bool* whole) {
    if (whole) *whole = false;
    const QString folder = WithoutTrailingSlash(path);
    if (!messages.Ask(kAskRemoveFolder.arg(folder))) return false;
    if (!side.usable()) return false;
    if (!side.isFtp()) {
        platform::FileIdentity self;
        if (platform::Identify(folder, self, false) == 0 && self.link) {
            // A link to a folder goes as a link; what it points to is not ours to empty.
            const bool gone = DeleteEntry(folder, side, messages);
            if (whole) *whole = gone;
            return gone;
        }
        platform::OpenFolder handle;
        if (handle.Open(folder) != 0) {
            messages.Tell(kCannotReadFolder.arg(folder));
            return false;
        }
        const int left = EmptyLocalFolder(handle, folder, side, messages);
        // What the pane hides stays, and with it the folder; no further message.
        if (left != 0) return left > 0;
        const int rc = platform::RemoveEmptyFolder(folder);
        if (rc == ENOTEMPTY || rc == EEXIST) return true;
        if (rc != 0) {
            TellError(messages, rc);
            return false;
        }
        if (whole) *whole = true;
        return true;
    }
    std::vector<ListedEntry> entries;
    if (!ListShownEntries(side, folder + QLatin1Char('/'), entries, false)) {
        // Nothing can go from a folder that cannot be read: say so rather than seem done.
        if (side.usable()) messages.Tell(kCannotReadFolder.arg(folder));
        return false;
    }
    bool all = true;
    for (const ListedEntry& e : entries) {
        const QString child = folder + QLatin1Char('/') + e.name;
        if (e.folder && !e.linkToFolder) {
            bool sub = false;
            if (!RemoveFolder(child, side, messages, &sub) || !sub) all = false;
        } else if (!DeleteEntry(child, side, messages)) {
            all = false;
        }
        if (!side.usable()) return true;
    }
    if (!all) return true;
    const bool ok = ftpprim::RemoveDir(side, folder, messages);
    if (whole) *whole = ok;
    return ok;
}

bool DownloadFile(const TransferControl& control, PaneSide& from, const QString& remote,
                  const QString& local, bool failIfExists, FileMessages& messages) {
    if (!control.goingOn() || !from.usable()) return false;
    return ftpprim::Download(control, from, remote, local, failIfExists, messages);
}

bool UploadFile(const TransferControl& control, PaneSide& to, const QString& local,
                const QString& remote, FileMessages& messages) {
    if (!control.goingOn() || !to.usable()) return false;
    return ftpprim::Upload(control, to, local, remote, messages);
}

bool CheckRoomForFile(uint64_t size, const QString& folder, FileMessages& messages) {
    uint64_t free = 0;
    if (int rc = platform::FreeBytes(folder, free); rc != 0) {
        TellError(messages, rc);
        return false;
    }
    constexpr uint64_t kSpare = 32768;
    if (free > kSpare && free - kSpare > size) return true;
    messages.Tell(kTooLarge);
    return false;
}

bool CreateLocalFolder(const QString& path, FileMessages& messages) {
    const int rc = platform::MakeFolder(WithoutTrailingSlash(path));
    if (rc != 0) TellError(messages, rc);
    return rc == 0;
}

bool CreateFtpFolder(PaneSide& side, const QString& path, FileMessages& messages) {
    if (!side.usable()) return false;
    return ftpprim::MakeDir(side, WithoutTrailingSlash(path), messages);
}

bool CreateFolder(PaneSide& side, const QString& path, FileMessages& messages) {
    return side.isFtp() ? CreateFtpFolder(side, path, messages) : CreateLocalFolder(path, messages);
}

uint64_t DirSize(const QString& folder, const std::atomic<int>* running) {
    return platform::TreeSize(folder, running);
}

int ProgressPercent(uint64_t done, uint64_t total) {
    if (total < 2 || done == 0) return 0;
    if (done >= total) return 100;
    constexpr uint64_t kSafe = UINT64_MAX / 100;
    return int(done <= kSafe ? done * 100 / total : done / (total / 100));
}

bool IsSameOrBelow(const QString& folder, const QString& target) {
    platform::FileIdentity f;
    if (platform::Identify(folder, f) != 0 || !f.folder) return false;
    QString p = WithoutTrailingSlash(target);
    for (;;) {
        platform::FileIdentity t;
        if (platform::Identify(p, t) == 0 && t.device == f.device && t.inode == f.inode)
            return true;
        if (p == QLatin1String("/") || p.isEmpty()) return false;
        p = ParentOf(p);
    }
}

} // namespace velmar
