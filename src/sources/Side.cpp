#include "sources/Side.h"

#include "sources/FilePrimitives.h"

namespace velmar {

namespace {

// A folder from the side's own listing: records hold what the listing told.
class ListedFolder final : public ScannedFolder {
public:
    std::vector<ListedEntry> entries;

    size_t size() const override { return entries.size(); }
    QString name(size_t i) const override { return entries[i].name; }
    Type type(size_t i) const override {
        const ListedEntry& e = entries[i];
        return e.linkToFolder ? Type::LinkToFolder : e.folder ? Type::Folder : Type::File;
    }
    uint32_t attributes(size_t i) const override { return entries[i].attributes; }
    bool Record(size_t i, FindRecord& out) override {
        out.name = entries[i].name;
        out.size = entries[i].size;
        out.attributes = entries[i].attributes;
        return true;
    }
    bool Holds(size_t, PatternSearch&) override { return false; }
};

} // namespace

std::unique_ptr<ScannedFolder> Side::ScanFolder(const QString& folder) {
    auto scan = std::make_unique<ListedFolder>();
    if (!List(folder, scan->entries, true)) return nullptr;
    return scan;
}

SideResult Side::FreeSpace(const QString&, uint64_t&) {
    return SideResult::Unsupported;
}

SideResult Side::CopyWithin(const QString&, const QString&, bool, const TransferControl&) {
    return SideResult::Unsupported;
}

bool Side::ModifiedTime(const QString&, int64_t&) {
    return false;
}

bool Side::SetModifiedTime(const QString&, int64_t) {
    return false;
}

SideResult Side::MoveToTrash(const QString&) {
    return SideResult::Unsupported;
}

std::unique_ptr<TreeHold> Side::HoldTree(const QString&) {
    return nullptr;
}

bool Side::IsLink(const QString&) {
    return false;
}

SideResult Side::CopyLink(const QString&, const QString&, bool) {
    return SideResult::Unsupported;
}

bool Side::Flush(const QString&) {
    return true; // a server keeps what it acknowledged
}

bool Side::OnOneVolume(const QString&, const QString&) {
    return false;
}

bool Side::RemoveArrived(const QString& folder, const QSet<QString>& arrived,
                         FileMessages& messages) {
    std::vector<ListedEntry> entries;
    if (!List(folder + QLatin1Char('/'), entries, false)) return false;
    bool whole = true;
    for (const ListedEntry& e : entries) {
        const QString path = folder + QLatin1Char('/') + e.name;
        if (e.folder && !e.linkToFolder) {
            if (!RemoveArrived(path, arrived, messages)) whole = false;
        } else if (!arrived.contains(path)) {
            whole = false;
        } else if (!DeleteFile(path)) {
            if (!ErrorText().isEmpty()) messages.Tell(ErrorText());
            whole = false;
        }
        if (!Usable()) return false;
    }
    if (!whole) return false;
    if (RemoveFolder(folder)) return true;
    if (!ErrorText().isEmpty()) messages.Tell(ErrorText());
    return false;
}

std::unique_ptr<Side::Reader> Side::OpenReader(const QString&) {
    return nullptr;
}

std::unique_ptr<Side::Writer> Side::OpenWriter(const QString&) {
    return nullptr;
}

bool Side::IsSameOrBelow(const QString& folder, const QString& target) {
    return target == folder || target.startsWith(folder + QLatin1Char('/'));
}

// The general removal, from the side's own primitives: list, delete the files, remove each
// subfolder the same way, then the folder once empty.
bool Side::RemoveTree(const QString& folder, const ShownFilter& filter, FileMessages& messages,
                      bool& whole) {
    whole = false;
    if (!messages.Ask(kAskRemoveFolder.arg(folder))) return false;
    if (!Usable()) return false;
    std::vector<ListedEntry> entries;
    if (!List(folder + QLatin1Char('/'), entries, false)) {
        // Nothing can go from a folder that cannot be read: say so rather than seem done.
        if (Usable()) messages.Tell(kCannotReadFolder.arg(folder));
        return false;
    }
    bool all = true;
    for (const ListedEntry& e : entries) {
        if (!filter.Shows(e)) {
            all = false; // what the pane hides stays, and with it the folder
            continue;
        }
        const QString child = folder + QLatin1Char('/') + e.name;
        if (e.folder && !e.linkToFolder) {
            bool sub = false;
            if (!RemoveTree(child, filter, messages, sub) || !sub) all = false;
        } else if (!DeleteFile(child)) {
            if (!ErrorText().isEmpty()) messages.Tell(ErrorText());
            all = false;
        }
        if (!Usable()) return true;
    }
    if (!all) return true;
    whole = RemoveFolder(folder);
    if (!whole && !ErrorText().isEmpty()) messages.Tell(ErrorText());
    return whole;
}

} // namespace velmar
