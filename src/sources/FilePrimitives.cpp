#include "sources/FilePrimitives.h"

#include "platform/FileOps.h"
#include "platform/LocalFiles.h"
#include "sources/SizeText.h"

namespace velmar {

namespace {

void TellError(const Side& side, FileMessages& messages) {
    if (!side.ErrorText().isEmpty()) messages.Tell(side.ErrorText());
}

// The end of a short cut within one side; Unsupported stays for the caller.
bool Finished(SideResult r, const Side& side, const QString& dst, FileMessages& messages) {
    if (r == SideResult::SameFile) messages.Tell(kSameFileRefused.arg(dst));
    // A cancel is the user's own doing: no message, but not a success either.
    if (r == SideResult::Failed) TellError(side, messages);
    return r == SideResult::Ok;
}

// A copy keeps the source's modification time where both sides can tell and set it (a
// server without MDTM or MFMT just leaves the time of the transfer).
bool KeepTime(const QString& src, const QString& dst, Side& from, Side& to) {
    int64_t seconds = 0;
    if (from.ModifiedTime(src, seconds)) to.SetModifiedTime(dst, seconds);
    return true;
}

// The general copy of one file between any two sides: through a reader of the source or a
// writer of the target, or, between two sides that have neither (two servers), through a
// private local file.
bool Stream(const TransferControl& control, const QString& src, const QString& dst, Side& from,
            Side& to, FileMessages& messages) {
    if (from.Pulls()) {
        std::unique_ptr<Side::Reader> reader = from.OpenReader(src);
        if (!reader) {
            TellError(from, messages);
            return false;
        }
        const auto write = [&] {
            return to.WriteFile(
                dst,
                [&reader](char* buffer, size_t capacity) { return reader->Read(buffer, capacity); },
                control);
        };
        bool ok = write();
        if (!ok && control.goingOn() && to.WriteAgain()) {
            TellError(to, messages); // what the first try left behind, if anything
            reader = from.OpenReader(src);
            if (!reader) {
                TellError(from, messages);
                return false;
            }
            ok = write();
        }
        if (!ok && control.goingOn()) TellError(to, messages);
        return ok && KeepTime(src, dst, from, to);
    }
    if (to.Pushes()) {
        const std::unique_ptr<Side::Writer> writer = to.OpenWriter(dst);
        if (!writer) {
            TellError(to, messages);
            return false;
        }
        bool ok = from.ReadFile(
            src, [&writer](const char* data, size_t size) { return writer->Write(data, size); },
            control);
        if (!ok) {
            if (control.goingOn()) TellError(from, messages);
            return false;
        }
        ok = control.goingOn() && writer->Commit();
        if (!ok && control.goingOn()) TellError(to, messages);
        return ok && KeepTime(src, dst, from, to);
    }
    // Two servers: through a private unnamed file in the user's cache folder, which must
    // have room for the whole file first.
    const QString cache = platform::CacheFolder();
    uint64_t size = 0;
    from.Exists(src, &size);
    PaneSide local;
    if (!CheckRoomForFile(size, cache, local, messages)) return false;
    platform::StagingFile stage;
    if (const int rc = stage.Open(cache); rc != 0) {
        messages.Tell(platform::SystemErrorText(rc));
        return false;
    }
    int localError = 0;
    bool ok = from.ReadFile(
        src,
        [&](const char* data, size_t n) {
            if (stage.Write(data, n)) return true;
            localError = errno ? errno : EIO;
            return false;
        },
        control);
    if (!ok) {
        if (localError != 0)
            messages.Tell(platform::SystemErrorText(localError));
        else if (control.goingOn())
            TellError(from, messages);
        return false;
    }
    if (!control.goingOn() || !stage.Rewind()) return false;
    if (control.counter) control.counter->store(0);
    const auto write = [&] {
        return to.WriteFile(
            dst, [&stage](char* buffer, size_t capacity) { return stage.Read(buffer, capacity); },
            control);
    };
    ok = write();
    if (!ok && control.goingOn() && to.WriteAgain() && stage.Rewind()) {
        TellError(to, messages);
        if (control.counter) control.counter->store(0);
        ok = write();
    }
    if (!ok && control.goingOn()) TellError(to, messages);
    return ok && KeepTime(src, dst, from, to);
}

// Copy from `from` to `to`; `replace` when the user already agreed to replace the target.
bool Copy(const TransferControl& control, const QString& src, const QString& dst, PaneSide& from,
          PaneSide& to, bool replace, FileMessages& messages) {
    if (from.side->Site() == to.side->Site()) {
        SideResult r = from.side->CopyWithin(src, dst, replace, control);
        if (r == SideResult::Exists) {
            if (!messages.Ask(kAskOverwrite.arg(dst))) return false;
            replace = true;
            r = from.side->CopyWithin(src, dst, true, control);
        }
        if (r != SideResult::Unsupported) return Finished(r, *from.side, dst, messages);
    }
    if (!replace) {
        const bool existed = to.side->Exists(dst);
        if (!to.usable()) return false;
        if (existed && !messages.Ask(kAskOverwrite.arg(dst))) return false;
    }
    return Stream(control, src, dst, *from.side, *to.side, messages);
}

} // namespace

bool CopyEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages) {
    if (!control.goingOn() || !from.usable() || !to.usable()) return false;
    return Copy(control, src, dst, from, to, false, messages);
}

bool MoveEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages) {
    if (!control.goingOn() || !from.usable() || !to.usable()) return false;
    bool replace = false;
    if (from.side->Site() == to.side->Site()) {
        SideResult r = from.side->MoveWithin(src, dst, false, control);
        if (r == SideResult::Exists) {
            if (!messages.Ask(kAskOverwrite.arg(dst))) return false;
            replace = true;
            r = from.side->MoveWithin(src, dst, true, control);
        }
        if (r != SideResult::Unsupported) return Finished(r, *from.side, dst, messages);
    }
    // A complete copy first, on the disk; the source goes only after it arrived whole.
    if (!Copy(control, src, dst, from, to, replace, messages)) return false;
    if (!to.side->Flush(dst)) {
        TellError(*to.side, messages);
        return false;
    }
    return DeleteEntry(src, from, messages);
}

bool DeleteEntry(const QString& path, PaneSide& side, FileMessages& messages) {
    if (side.side->DeleteFile(path)) return true;
    TellError(*side.side, messages);
    return false;
}

bool ListShownEntries(PaneSide& side, const QString& folder, std::vector<ListedEntry>& out,
                      bool sizes) {
    if (!side.side->List(folder, out, sizes)) return false;
    const ShownFilter filter = side.filter();
    std::erase_if(out, [&filter](const ListedEntry& e) { return !filter.Shows(e); });
    return true;
}

bool RemoveFolder(const QString& path, PaneSide& side, FileMessages& messages, bool* whole) {
    bool gone = false;
    const bool agreed =
        side.side->RemoveTree(WithoutTrailingSlash(path), side.filter(), messages, gone);
    if (whole) *whole = gone;
    return agreed;
}

bool CheckRoomForFile(uint64_t size, const QString& folder, PaneSide& side,
                      FileMessages& messages, uint64_t* left) {
    uint64_t free = 0;
    switch (side.side->FreeSpace(folder, free)) {
    case SideResult::Ok:
        break;
    case SideResult::Unsupported:
        if (left) *left = UINT64_MAX;
        return true; // a server cannot tell
    default:
        TellError(*side.side, messages);
        return false;
    }
    constexpr uint64_t kSpare = 32768;
    if (free > kSpare && free - kSpare > size) {
        if (left) *left = free - kSpare - size;
        return true;
    }
    messages.Tell(kTooLarge);
    return false;
}

bool CreateFolder(PaneSide& side, const QString& path, FileMessages& messages) {
    if (!side.usable()) return false;
    if (side.side->MakeFolder(WithoutTrailingSlash(path))) return true;
    TellError(*side.side, messages);
    return false;
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
