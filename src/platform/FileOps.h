#pragma once
// Single-file operations on the local file system for the copy, move, delete and create
// primitives. Every call returns 0 or an errno value; the primitives turn it into a message.
// Sizes and counters are 64-bit.

#include "platform/LocalFiles.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace velmar::platform {

// Results beside the errno values.
constexpr int kCopyCancelled = -1; // the running flag cleared between two blocks
constexpr int kSameFile = -2;      // source and target are one file (device and inode)
constexpr int kCopyRefused = -4;   // the size callback of CopyLocalFile refused the file
// kNotPlainFile (LocalFiles.h): a FIFO, socket or device, whose bytes are never copied.

// The text of an errno value (or of the two results above).
QString SystemErrorText(int error);

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    bool folder = false;
    bool link = false; // the path itself is a symbolic link (only with followLinks off)
    int64_t modified = 0; // seconds since 1970, UTC
};
// 0, or errno (ENOENT when nothing is there).
int Identify(const QString& path, FileIdentity& out, bool followLinks = true);
bool Exists(const QString& path);
// Sets the modification time (seconds since 1970, UTC) and leaves the access time; 0 or errno.
int SetModifiedTime(const QString& path, int64_t seconds);

// Copies `src` to `dst`: the bytes go to a private part file in the target folder, written
// through the descriptor it was made with, which takes the source's permission bits (never
// set-user or set-group id) and times and is renamed over `dst` only when complete (and,
// when it replaces a file, only once on the disk), so a copy that ends early leaves no
// partial file and an existing target unchanged. `replace` false refuses an existing
// target (EEXIST); a source that is no regular file gives kNotPlainFile and is never opened
// in a way that waits. The running flag is looked at and `counter` advanced after every block.
// `sized` (optional) is told the source's size once it is open, before anything is made in
// the target folder; false gives kCopyRefused (it said why itself).
// Outside a guarded tree the source is looked at before it is opened, so a device named by
// itself is never opened; below a guarded root the open (without waiting, no link followed)
// comes first and its descriptor tells the type, which saves a look-up for every file.
int CopyLocalFile(const QString& src, const QString& dst, bool replace,
                  const std::atomic<int>* running, std::atomic<uint64_t>* counter,
                  const std::function<bool(uint64_t)>* sized = nullptr);

// Makes `to` a symbolic link with the same contents as the link `from` (EINVAL when `from`
// is no link); `replace` false refuses an existing `to` (EEXIST).
int CopyLink(const QString& from, const QString& to, bool replace);

// What was written under `path` is on the disk before a move removes its source: a file
// and its folder entry are flushed; for a folder, its whole file system.
int FlushToDisk(const QString& path);

// Whether `path` and `folder` lie on one file system (a rename joins them).
bool OnOneFileSystem(const QString& path, const QString& folder);

// The per-user cache folder (made owner-only when missing), without a trailing "/".
QString CacheFolder();

// For tests: called after each block a copy moved, on the copying thread (a kill or a swap
// in the middle of a copy, made deterministic).
using BlockHook = void (*)();
void SetBlockHook(BlockHook hook);

// rename(2); `replace` false refuses an existing target (EEXIST). EXDEV means another file
// system.
int RenamePath(const QString& from, const QString& to, bool replace);
int RemoveFile(const QString& path);
int RemoveEmptyFolder(const QString& path);
int MakeFolder(const QString& path);

// Free bytes available to the caller on the file system holding `folder` (statvfs).
int FreeBytes(const QString& folder, uint64_t& out);

// Gives a file the permission bits of a newly made file (0666 less the umask).
int SetNewFileMode(const QString& path);

// A new private empty file "<prefix>XXXXXX" in `folder`; its path goes to `path`.
int MakeTempFile(const QString& folder, const QString& prefix, QString& path);
// The system temporary folder, without a trailing "/".
QString TempFolder();

// One entry of a folder read in one pass, without following links.
struct FolderItem {
    QString name;
    bool folder = false; // a real folder, never a link to one
    bool link = false;   // a symbolic link, to whatever
    bool linkToFolder = false;
    bool special = false; // a FIFO, socket or device: a copy refuses it without opening it
    uint64_t size = 0;    // only when sizes were asked for
};
struct FolderListing {
    std::vector<FolderItem> items;
    bool readOnlyFs = false; // every entry is "in ROM"
};
// "." and ".." are never listed. `sizes` asks for the size of each file.
int ListFolder(const QString& folder, FolderListing& out, bool sizes = false);

// The bytes of the regular files below `folder`, never following a link and never leaving
// the file system `folder` is on (a mount point below it adds nothing); a virtual file
// system (proc, sysfs, cgroups ...) adds nothing at all. Walks raw names (nothing is decoded)
// with one descriptor open at a time. Stops early, with what it has, when `running` clears;
// a folder that cannot be read adds nothing.
uint64_t TreeSize(const QString& folder, const std::atomic<int>* running = nullptr);

// A folder held open by descriptor for emptying it: its entries are read in one pass as raw
// names, files go by unlinkat relative to it and subfolders open by openat with
// O_NOFOLLOW, so no path is looked up again for each file and a link put in place of a
// folder is never walked into. Every call returns 0 or an errno value.
class OpenFolder {
public:
    struct Entry {
        const char* name; // raw bytes, valid until the next Read
        bool folder;      // a real folder, never a link to one
    };
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int Open(const QString& path);
    int OpenChild(const OpenFolder& parent, const char* name);
    // All entries but "." and ".."; `readOnlyFs` (optional) tells whether the folder lies on
    // a read-only file system.
    int Read(std::vector<Entry>& out, bool* readOnlyFs = nullptr);
    int RemoveFile(const char* name) const;
    int RemoveEmptyFolder(const char* name) const;

private:
    int fd_ = -1;
    std::vector<char> names_;
};

} // namespace velmar::platform
