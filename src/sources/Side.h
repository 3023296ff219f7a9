#pragma once
// A side is a folder tree somewhere: the local file system or an FTP server (either back end).
// The copy, move, delete and new-folder engines call only this interface; what one kind of
// side does faster (the kernel's copy, a rename within one server, removing a local tree
// through folder descriptors) it does behind the same calls.
//
// Paths are the side's own: local paths, or absolute server paths. A side reports a failure
// as a result; its text (empty when there is nothing to tell, as after a cancel) waits in
// ErrorText() for the engine to show.

#include "platform/FindRecord.h"
#include "sources/DirSource.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velmar {

class FileMessages;
class FtpConnection;
class PatternSearch;

// The running flag and byte counter of the transfer in progress (either may be null).
struct TransferControl {
    const std::atomic<int>* running = nullptr;
    std::atomic<uint64_t>* counter = nullptr;
    // Told a file's size where the side learns it as the copy starts (a local copy, once the
    // source is open and before anything is written); false refuses the file, the callee
    // having said why. Null: nothing to tell.
    const std::function<bool(uint64_t)>* sized = nullptr;
    bool goingOn() const { return !running || running->load(std::memory_order_relaxed) != 0; }
};

// One entry of a folder as the tree operations see it, on either kind of side.
struct ListedEntry {
    QString name;
    bool folder = false;
    bool link = false;         // a symbolic link (to anything): copied as a link where it can be
    bool linkToFolder = false; // never walked into
    bool special = false;      // a local FIFO, socket or device: never opened by a copy
    uint64_t size = 0;
    uint32_t attributes = 0; // attr::Hidden, attr::InRom ... as the pane shows them
};

// What the pane hides, which tree operations pass over.
struct ShownFilter {
    bool showHidden = true;
    bool showInRom = true;
    bool Shows(const ListedEntry& e) const {
        return (showHidden || !(e.attributes & attr::Hidden)) &&
               (showInRom || !(e.attributes & attr::InRom));
    }
};

enum class SideResult {
    Ok,
    Exists,      // the target is there and replacing was not agreed
    SameFile,    // source and target are one file
    Cancelled,   // the running flag cleared: nothing to tell
    Failed,      // ErrorText() says why
    Unsupported, // this side has no such short cut: the engine takes the general way
};

// A folder read once for a tree search: every entry's name and type at once, the full
// record only of the entries the search keeps. After the reading thread hands it on, one
// other thread may ask for records.
class ScannedFolder {
public:
    enum class Type : unsigned char { Folder, LinkToFolder, File };
    virtual ~ScannedFolder() = default;
    virtual size_t size() const = 0;
    virtual QString name(size_t i) const = 0;
    // Whether entry i's name fits the mask (platform::MatchMask).
    virtual bool Matches(size_t i, const QString& mask) const {
        return platform::MatchMask(name(i), mask);
    }
    virtual Type type(size_t i) const = 0;
    // attr::Hidden and attr::InRom, as the pane shows them.
    virtual uint32_t attributes(size_t i) const = 0;
    // The record of entry i, its name included; false when the entry went meanwhile.
    virtual bool Record(size_t i, FindRecord& out) = 0;
    // Whether Record looks at the entry itself (a stat) instead of handing back what the
    // reading told; a search then keeps only the name and leaves the rest for later.
    virtual bool RecordCostsALook() const { return false; }
    // Whether the bytes of entry i hold the pattern; false when they cannot be read here.
    virtual bool Holds(size_t i, PatternSearch& pattern) = 0;
    // The row kind of a file found here (kEntryFile, or kEntryFtp on a server).
    virtual EntryKind fileKind() const { return kEntryFile; }
};

// Held while a tree is copied (Side::HoldTree).
class TreeHold {
public:
    virtual ~TreeHold() = default;
};

class Side {
public:
    // Gets each block read; false stops the transfer as failed.
    using BlockSink = std::function<bool(const char* data, size_t size)>;
    // Fills up to `capacity` bytes; the count, 0 at the end, -1 on a read error.
    using BlockSource = std::function<int64_t(char* buffer, size_t capacity)>;

    virtual ~Side() = default;

    // Two sides with the same site reach the same files ("" for the local file system).
    virtual QString Site() const = 0;
    // False once the side can do nothing more (no connection, or it was lost).
    virtual bool Usable() const = 0;
    // Set when an operation found the connection lost; the pane drops it afterwards.
    virtual bool Lost() const { return false; }
    // The failure of the last operation that failed, for the user; empty when none to tell.
    const QString& ErrorText() const { return error_; }

    // Every entry of `folder` but "." and "..", hidden and in-ROM ones marked.
    virtual bool List(const QString& folder, std::vector<ListedEntry>& out, bool sizes) = 0;
    // A file's bytes to `sink`, block by block, counted; false when cut or cancelled.
    virtual bool ReadFile(const QString& path, const BlockSink& sink,
                          const TransferControl& control) = 0;
    // A file written from `source`; it stands under `path` (replacing what was there) only
    // once complete: a cut or cancelled write leaves `path` as it was.
    virtual bool WriteFile(const QString& path, const BlockSource& source,
                           const TransferControl& control) = 0;
    // True once after a WriteFile that failed only because the side changed how it writes (a
    // server that will not rename its private upload name): the caller writes it again.
    virtual bool WriteAgain() { return false; }
    virtual bool DeleteFile(const QString& path) = 0;
    // An empty folder.
    virtual bool RemoveFolder(const QString& path) = 0;
    virtual bool MakeFolder(const QString& path) = 0;
    // The folder is there afterwards (made, or there already); false when it cannot be.
    virtual bool EnsureFolder(const QString& path) = 0;
    // Whether a file is there, and its size.
    virtual bool Exists(const QString& path, uint64_t* size = nullptr) = 0;
    // The modification time of a file (seconds since 1970, UTC); false where the side cannot
    // tell (a server without MDTM). Setting it is best effort: false where it cannot be set.
    virtual bool ModifiedTime(const QString& path, int64_t& seconds);
    virtual bool SetModifiedTime(const QString& path, int64_t seconds);
    // Bytes free in `folder`; Unsupported where the side cannot tell (a server).
    virtual SideResult FreeSpace(const QString& folder, uint64_t& bytes);

    // A copy within this side (same site), replacing only when `replace`.
    virtual SideResult CopyWithin(const QString& from, const QString& to, bool replace,
                                  const TransferControl& control);
    // A rename within this side of a file or a whole folder, replacing only when `replace`;
    // Unsupported where the two names cannot be joined by a rename (another file system).
    virtual SideResult MoveWithin(const QString& from, const QString& to, bool replace,
                                  const TransferControl& control) = 0;

    // While the result lives, the calling thread reaches paths below `root` on this side
    // through no link (a folder swapped for a link during a tree copy fails its entries
    // instead of leading outside the tree). Null where the side has no links (a server).
    virtual std::unique_ptr<TreeHold> HoldTree(const QString& root);

    // Whether `path` itself is a symbolic link (never on a server).
    virtual bool IsLink(const QString& path);
    // Makes `to` a link like the link `from`, replacing only when `replace`; Unsupported when
    // `from` is no link or the side has none.
    virtual SideResult CopyLink(const QString& from, const QString& to, bool replace);
    // What was written under `path` (a file or a folder tree) is on the disk: a move removes
    // its source only after. False (with ErrorText) when it cannot be.
    virtual bool Flush(const QString& path);
    // Whether a rename within this side joins `path` and `folder` (one file system), so a
    // move between them needs no room.
    virtual bool OnOneVolume(const QString& path, const QString& folder);
    // After a folder move: removes below `folder` only the files in `arrived` (complete
    // paths), then every folder left empty, never walking into a link. True when `folder`
    // itself went; failures are told.
    virtual bool RemoveArrived(const QString& folder, const QSet<QString>& arrived,
                               FileMessages& messages);

    // A pull reader or push writer where the side has them (Pulls/Pushes; null with
    // ErrorText on failure): the general copy joins a side that only pushes to one that only
    // pulls through them.
    virtual bool Pulls() const { return false; }
    virtual bool Pushes() const { return false; }
    class Reader {
    public:
        virtual ~Reader() = default;
        virtual int64_t Read(char* buffer, size_t capacity) = 0;
    };
    class Writer {
    public:
        virtual ~Writer() = default;
        virtual bool Write(const char* data, size_t size) = 0;
        // The file stands under its name only after this; false (with ErrorText) on failure.
        virtual bool Commit() = 0;
    };
    virtual std::unique_ptr<Reader> OpenReader(const QString& path);
    virtual std::unique_ptr<Writer> OpenWriter(const QString& path);

    // `folder` (ending with "/") read for a tree search; null when it cannot be read.
    virtual std::unique_ptr<ScannedFolder> ScanFolder(const QString& folder);
    // How many folder levels below its root a tree search enters here: a server may list a
    // link to a folder as a folder, and a walk round such a loop would never end.
    virtual int SearchDepth() const { return 1 << 20; }

    // Moves a file or a whole folder into the desktop trash of its file system, by a rename.
    // Unsupported where the side keeps no trash (a server: its deletes are for good) or none
    // can be had for this entry; the engine then asks before deleting for good.
    virtual SideResult MoveToTrash(const QString& path);

    // Whether `target` (which need not exist yet) is `folder` or lies below it.
    virtual bool IsSameOrBelow(const QString& folder, const QString& target);

    // Asks (through `messages`), then removes `folder` with what it holds, passing over what
    // `filter` hides and asking before each subfolder. True when the user agreed; `whole`
    // tells whether the folder itself went. Failures are told as they happen.
    virtual bool RemoveTree(const QString& folder, const ShownFilter& filter,
                            FileMessages& messages, bool& whole);

protected:
    void SetError(const QString& text) { error_ = text; }
    void ClearError() { error_.clear(); }

private:
    QString error_;
};

// The local file system (one object serves every pane).
std::shared_ptr<Side> LocalSide();
// A server through a pane's connection (borrowed; null: a side that can do nothing). `site`
// tells two servers apart (user, host and port).
std::shared_ptr<Side> MakeFtpSide(FtpConnection* connection, const QString& site);

} // namespace velmar
