#pragma once
// Folder enumeration over the local file system: the find-first/find-next pair a
// directory source steps through. A pattern is a folder followed by a mask
// ("/home/me/*.*"); masks follow the classic wildcard rules (see MatchMask).

#include "platform/BlockFile.h"
#include "platform/FindRecord.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::platform {

// `*` matches any run, `?` one character, case-insensitively; "*.*" matches every name,
// names without a dot included.
bool MatchMask(const QString& name, const QString& mask);
// The same for a name as the file system gives it (no decoding for an ASCII name).
bool MatchMaskRaw(std::string_view raw, const QString& mask);

// Fill a record from the file system; false when the path cannot be examined.
bool StatPath(const QString& path, FindRecord& out);
// The same without touching the record's name, for a file on a file system already known to
// be mounted read-only or not.
bool StatPathKeepingName(const QString& path, FindRecord& out, bool readOnlyFs);

class LocalFind {
public:
    // Which entries the caller is about to keep. Entries it would skip anyway are passed
    // over without examining them when the folder's type information already tells.
    enum class Want { Any, FoldersOnly, FilesOnly };

    LocalFind();
    ~LocalFind();
    LocalFind(const LocalFind&) = delete;
    LocalFind& operator=(const LocalFind&) = delete;

    // Start a search; false (and nothing open) when the folder cannot be read.
    bool Open(const QString& pattern);
    // The next entry matching the mask (and `want`); false at the end or on an error.
    // "." and ".." are never reported.
    bool Next(FindRecord& out, Want want = Want::Any);
    void Close();
    bool IsOpen() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A folder read in one pass for a tree walk: every name with what the folder's own type
// information tells, and records made only for the entries asked about. The folder stays
// open only while records are made, so a deep walk does not hold one handle per level.
class FolderScan {
public:
    enum class Type : unsigned char { Folder, LinkToFolder, Other };
    struct Entry {
        uint32_t offset; // of the name's bytes in the folder's name buffer
        uint32_t length;
        Type type;
    };

    FolderScan() = default;
    ~FolderScan();
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    // False when the folder cannot be read. "." and ".." are never listed.
    bool Read(const QString& folder);
    const std::vector<Entry>& entries() const { return entries_; }
    std::string_view Raw(const Entry& entry) const {
        return {names_.data() + entry.offset, entry.length};
    }
    QString Name(const Entry& entry) const;
    bool readOnlyFs() const { return readOnlyFs_; }
    // The record of an entry (its name included); false when it vanished meanwhile.
    bool Stat(const Entry& entry, FindRecord& out);

    // Opens an entry for one reading pass (BlockFile::OpenForScan), relative to the folder.
    bool OpenForScan(const Entry& entry, BlockFile& file);
    // Closes the folder until the next Stat or OpenForReading.
    void Release();

private:
    QByteArray folder_;
    int fd_ = -1;
    bool readOnlyFs_ = false;
    std::vector<Entry> entries_;
    std::string names_;
};

} // namespace velmar::platform
