// The local file system as a side: the kernel's copy and rename, trees removed through
// folder descriptors.

#include "sources/FilePrimitives.h"
#include "sources/Side.h"

#include "platform/FileOps.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "platform/NameCodec.h"
#include "platform/Trash.h"
#include "platform/TreeGuard.h"
#include "sources/PatternSearch.h"
#include "sources/SizeText.h"

#include <cerrno>

namespace velmar {
namespace {

class LocalFileReader final : public Side::Reader {
public:
    // 0, errno, or kNotPlainFile.
    int Open(const QString& path) { return in_.Open(path) ? 0 : in_.error(); }
    int64_t Read(char* buffer, size_t capacity) override { return in_.Read(buffer, capacity); }

private:
    platform::InputFile in_;
};

class LocalFileWriter final : public Side::Writer {
public:
    bool Open(const QString& path) { return out_.Open(path, false); }
    bool Write(const char* data, size_t size) override { return out_.Write(data, size); }
    bool Commit() override { return out_.Commit(); }

private:
    platform::ReplacingFile out_;
};

// One pass over the folder with the types its entries tell; a record (a statx) only for
// what the search keeps, the bytes read relative to the open folder.
class LocalScannedFolder final : public ScannedFolder {
public:
    bool Read(const QString& folder) { return scan_.Read(folder); }

    size_t size() const override { return scan_.entries().size(); }
    QString name(size_t i) const override { return scan_.Name(scan_.entries()[i]); }
    bool Matches(size_t i, const QString& mask) const override {
        return platform::MatchMaskRaw(scan_.Raw(scan_.entries()[i]), mask);
    }
    Type type(size_t i) const override {
        switch (scan_.entries()[i].type) {
        case platform::FolderScan::Type::Folder:
            return Type::Folder;
        case platform::FolderScan::Type::LinkToFolder:
            return Type::LinkToFolder;
        default:
            return Type::File;
        }
    }
    uint32_t attributes(size_t i) const override {
        return (scan_.Raw(scan_.entries()[i]).starts_with('.') ? attr::Hidden : 0) |
               (scan_.readOnlyFs() ? attr::InRom : 0);
    }
    bool Record(size_t i, FindRecord& out) override { return scan_.Stat(scan_.entries()[i], out); }
    bool RecordCostsALook() const override { return true; }
    bool Holds(size_t i, PatternSearch& pattern) override {
        platform::BlockFile file;
        return scan_.OpenForScan(scan_.entries()[i], file) && pattern.SearchOpenFile(file);
    }

private:
    platform::FolderScan scan_;
};

class LocalTreeHold final : public TreeHold {
public:
    platform::TreeGuard guard;
};

class LocalFiles final : public Side {
public:
    QString Site() const override { return {}; }
    bool Usable() const override { return true; }

    bool List(const QString& folder, std::vector<ListedEntry>& out, bool sizes) override {
        out.clear();
        platform::FolderListing listing;
        if (const int rc = platform::ListFolder(folder, listing, sizes); rc != 0) return Fail(rc);
        out.reserve(listing.items.size());
        for (platform::FolderItem& item : listing.items) {
            const bool hidden = item.name.startsWith(QLatin1Char('.'));
            ListedEntry e;
            e.name = std::move(item.name);
            e.folder = item.folder;
            e.link = item.link;
            e.linkToFolder = item.linkToFolder;
            e.special = item.special;
            e.size = item.size;
            e.attributes = (item.folder ? attr::Directory : 0) | (hidden ? attr::Hidden : 0) |
                           (listing.readOnlyFs ? attr::InRom : 0);
            out.push_back(std::move(e));
        }
        return true;
    }

    bool ReadFile(const QString& path, const BlockSink& sink,
                  const TransferControl& control) override {
        ClearError();
        platform::InputFile in;
        if (!in.Open(path)) return FailOn(path, in.error());
        std::vector<char> block(256 * 1024);
        for (;;) {
            if (!control.goingOn()) return false;
            const int64_t n = in.Read(block.data(), block.size());
            if (n < 0) return Fail(errno);
            if (n == 0) return true;
            if (!sink(block.data(), size_t(n))) {
                ClearError(); // the receiver's failure, told by the receiver
                return false;
            }
            if (control.counter) control.counter->fetch_add(uint64_t(n));
        }
    }

    bool WriteFile(const QString& path, const BlockSource& source,
                   const TransferControl& control) override {
        ClearError();
        platform::ReplacingFile out;
        if (!out.Open(path, false)) return Fail(errno);
        std::vector<char> block(256 * 1024);
        for (;;) {
            if (!control.goingOn()) return false;
            const int64_t n = source(block.data(), block.size());
            if (n < 0) return Fail(errno);
            if (n == 0) break;
            if (!out.Write(block.data(), size_t(n))) return Fail(errno);
            if (control.counter) control.counter->fetch_add(uint64_t(n));
        }
        return out.Commit() || Fail(errno);
    }

    bool DeleteFile(const QString& path) override { return Done(platform::RemoveFile(path)); }
    bool RemoveFolder(const QString& path) override {
        return Done(platform::RemoveEmptyFolder(path));
    }
    bool MakeFolder(const QString& path) override { return Done(platform::MakeFolder(path)); }
    bool EnsureFolder(const QString& path) override {
        // Made at once where it is new (a tree copy's usual case); only when that fails is
        // the name looked at, a folder (or a link to one) already there being fine.
        const int rc = platform::MakeFolder(path);
        platform::FileIdentity id;
        if (rc == 0 || (platform::Identify(path, id) == 0 && id.folder)) return true;
        return Fail(rc);
    }
    bool Exists(const QString& path, uint64_t* size) override {
        platform::FileIdentity id;
        if (platform::Identify(path, id) != 0) return false;
        if (size) *size = id.size;
        return true;
    }
    bool ModifiedTime(const QString& path, int64_t& seconds) override {
        platform::FileIdentity id;
        if (platform::Identify(path, id) != 0) return false;
        seconds = id.modified;
        return true;
    }
    bool SetModifiedTime(const QString& path, int64_t seconds) override {
        return platform::SetModifiedTime(path, seconds) == 0;
    }
    SideResult FreeSpace(const QString& folder, uint64_t& bytes) override {
        const int rc = platform::FreeBytes(folder, bytes);
        return rc == 0 ? SideResult::Ok : Failed(rc);
    }

    SideResult CopyWithin(const QString& from, const QString& to, bool replace,
                          const TransferControl& control) override {
        const int rc = platform::CopyLocalFile(from, to, replace, control.running, control.counter,
                                               control.sized);
        switch (rc) {
        case 0:
            return SideResult::Ok;
        case EEXIST:
            return replace ? Failed(rc) : SideResult::Exists;
        case platform::kSameFile:
            return SideResult::SameFile;
        case platform::kCopyCancelled:
        case platform::kCopyRefused: // told by whoever refused
            return SideResult::Cancelled;
        default:
            FailOn(from, rc);
            return SideResult::Failed;
        }
    }

    std::unique_ptr<ScannedFolder> ScanFolder(const QString& folder) override {
        auto scan = std::make_unique<LocalScannedFolder>();
        if (!scan->Read(folder)) return nullptr;
        return scan;
    }

    SideResult MoveToTrash(const QString& path) override {
        const int rc = platform::MoveToTrash(path);
        if (rc == platform::kNoTrash) return SideResult::Unsupported;
        return rc == 0 ? SideResult::Ok : Failed(rc);
    }

    std::unique_ptr<TreeHold> HoldTree(const QString& root) override {
        auto hold = std::make_unique<LocalTreeHold>();
        hold->guard.Add(root); // a root that cannot be opened fails its own listing
        return hold;
    }

    bool IsLink(const QString& path) override {
        platform::FileIdentity id;
        return platform::Identify(path, id, false) == 0 && id.link;
    }

    SideResult CopyLink(const QString& from, const QString& to, bool replace) override {
        platform::FileIdentity id;
        if (platform::Identify(from, id, false) != 0 || !id.link) return SideResult::Unsupported;
        const int rc = platform::CopyLink(from, to, replace);
        if (rc == 0) return SideResult::Ok;
        if (rc == EEXIST && !replace) return SideResult::Exists;
        return Failed(rc);
    }

    bool Flush(const QString& path) override { return Done(platform::FlushToDisk(path)); }

    bool OnOneVolume(const QString& path, const QString& folder) override {
        return platform::OnOneFileSystem(path, folder);
    }

    // Walks by folder descriptors: a folder put in the place of one (a link to elsewhere)
    // meanwhile is never walked into, so nothing outside the moved tree can go.
    bool RemoveArrived(const QString& folder, const QSet<QString>& arrived,
                       FileMessages& messages) override {
        platform::OpenFolder handle;
        if (handle.Open(folder) != 0 || !EmptyArrived(handle, folder, arrived, messages))
            return false;
        const int rc = platform::RemoveEmptyFolder(folder);
        if (rc != 0 && rc != ENOTEMPTY && rc != EEXIST)
            messages.Tell(platform::SystemErrorText(rc));
        return rc == 0;
    }

    SideResult MoveWithin(const QString& from, const QString& to, bool replace,
                          const TransferControl& control) override {
        platform::FileIdentity a, b;
        if (const int rc = platform::Identify(from, a); rc != 0) return Failed(rc);
        // rename(2) between two names of one file succeeds and does nothing; refuse it plainly.
        if (platform::Identify(to, b) == 0 && a.device == b.device && a.inode == b.inode)
            return SideResult::SameFile;
        const int rc = platform::RenamePath(from, to, replace);
        if (rc == 0) {
            if (control.counter && !a.folder)
                control.counter->fetch_add(a.size, std::memory_order_relaxed);
            return SideResult::Ok;
        }
        if (rc == EEXIST && !replace) return SideResult::Exists;
        if (rc == EXDEV) return SideResult::Unsupported;
        return Failed(rc);
    }

    bool Pulls() const override { return true; }
    bool Pushes() const override { return true; }
    std::unique_ptr<Reader> OpenReader(const QString& path) override {
        auto reader = std::make_unique<LocalFileReader>();
        if (const int rc = reader->Open(path); rc != 0) {
            FailOn(path, rc);
            return nullptr;
        }
        return reader;
    }
    std::unique_ptr<Writer> OpenWriter(const QString& path) override {
        auto writer = std::make_unique<LocalFileWriter>();
        if (writer->Open(path)) return writer;
        Fail(errno);
        return nullptr;
    }

    bool IsSameOrBelow(const QString& folder, const QString& target) override {
        return velmar::IsSameOrBelow(folder, target);
    }

    bool RemoveTree(const QString& folder, const ShownFilter& filter, FileMessages& messages,
                    bool& whole) override {
        whole = false;
        if (!messages.Ask(kAskRemoveFolder.arg(folder))) return false;
        platform::FileIdentity self;
        if (platform::Identify(folder, self, false) == 0 && self.link) {
            // A link to a folder goes as a link; what it points to is not ours to empty.
            whole = DeleteFile(folder);
            if (!whole) messages.Tell(ErrorText());
            return whole;
        }
        platform::OpenFolder handle;
        if (handle.Open(folder) != 0) {
            messages.Tell(kCannotReadFolder.arg(folder));
            return false;
        }
        const int left = EmptyFolder(handle, folder, filter, messages);
        // What the pane hides stays, and with it the folder; no further message.
        if (left != 0) return left > 0;
        const int rc = platform::RemoveEmptyFolder(folder);
        if (rc == ENOTEMPTY || rc == EEXIST) return true;
        if (rc != 0) {
            messages.Tell(platform::SystemErrorText(rc));
            return false;
        }
        whole = true;
        return true;
    }

private:
    bool Fail(int error) {
        SetError(platform::SystemErrorText(error ? error : EIO));
        return false;
    }
    SideResult Failed(int error) {
        Fail(error);
        return SideResult::Failed;
    }
    bool Done(int rc) { return rc == 0 || Fail(rc); }
    // A failure about one file: a special file is named, as the user must find it.
    bool FailOn(const QString& path, int error) {
        if (error != platform::kNotPlainFile) return Fail(error);
        SetError(kSpecialFileRefused.arg(path));
        return false;
    }

    // Removes below the open folder only what arrived; true when everything went.
    bool EmptyArrived(platform::OpenFolder& handle, const QString& folder,
                      const QSet<QString>& arrived, FileMessages& messages) {
        std::vector<platform::OpenFolder::Entry> entries;
        if (handle.Read(entries) != 0) return false;
        bool whole = true;
        for (const platform::OpenFolder::Entry& e : entries) {
            const QString path =
                folder + QLatin1Char('/') + platform::DecodeName(std::string_view(e.name));
            if (e.folder) {
                platform::OpenFolder sub;
                if (sub.OpenChild(handle, e.name) != 0 ||
                    !EmptyArrived(sub, path, arrived, messages) ||
                    handle.RemoveEmptyFolder(e.name) != 0)
                    whole = false;
            } else if (!arrived.contains(path)) {
                whole = false;
            } else if (const int rc = handle.RemoveFile(e.name); rc != 0) {
                messages.Tell(platform::SystemErrorText(rc));
                whole = false;
            }
        }
        return whole;
    }

    // Asks, then removes the subfolder `name` of `parent` with what it holds; true when it went.
    bool RemoveSubfolder(const platform::OpenFolder& parent, const char* name,
                         const QString& parentPath, const ShownFilter& filter,
                         FileMessages& messages) {
        const QString folder =
            parentPath + QLatin1Char('/') + platform::DecodeName(std::string_view(name));
        if (!messages.Ask(kAskRemoveFolder.arg(folder))) return false;
        platform::OpenFolder handle;
        if (handle.OpenChild(parent, name) != 0) {
            messages.Tell(kCannotReadFolder.arg(folder));
            return false;
        }
        if (EmptyFolder(handle, folder, filter, messages) != 0) return false;
        const int rc = parent.RemoveEmptyFolder(name);
        // Something that arrived meanwhile keeps the folder, as hidden entries do.
        if (rc != 0 && rc != ENOTEMPTY && rc != EEXIST)
            messages.Tell(platform::SystemErrorText(rc));
        return rc == 0;
    }

    // Removes what a folder holds through its descriptor, passing over what the pane hides
    // and asking before each subfolder: 0 when everything went, 1 when something stays, -1
    // when the folder could not be read (said).
    int EmptyFolder(platform::OpenFolder& handle, const QString& folder, const ShownFilter& filter,
                    FileMessages& messages) {
        std::vector<platform::OpenFolder::Entry> entries;
        bool readOnlyFs = false;
        if (handle.Read(entries, filter.showInRom ? nullptr : &readOnlyFs) != 0) {
            messages.Tell(kCannotReadFolder.arg(folder));
            return -1;
        }
        if (readOnlyFs) entries.clear();
        bool all = true;
        for (const platform::OpenFolder::Entry& e : entries) {
            if (e.name[0] == '.' && !filter.showHidden) continue;
            if (!e.folder) {
                // A link to a folder goes as a link.
                if (const int rc = handle.RemoveFile(e.name); rc != 0) {
                    messages.Tell(platform::SystemErrorText(rc));
                    all = false;
                }
                continue;
            }
            if (!RemoveSubfolder(handle, e.name, folder, filter, messages)) all = false;
        }
        return all ? 0 : 1;
    }
};

} // namespace

std::shared_ptr<Side> LocalSide() {
    // No state but the last error text, which the engine reads on the thread that failed;
    // each pane side gets its own object so that two threads never share it.
    return std::make_shared<LocalFiles>();
}

} // namespace velmar
