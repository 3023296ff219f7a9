#pragma once
// Folder enumeration over the local file system: the find-first/find-next pair a
// directory source steps through. A pattern is a folder followed by a mask
// ("/home/me/*.*"); masks follow the classic wildcard rules (see MatchMask).

#include "platform/FindRecord.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace velmar::platform {

// `*` matches any run, `?` one character, case-insensitively; "*.*" matches every name,
// names without a dot included.
bool MatchMask(const QString& name, const QString& mask);

// Fill a record from the file system; false when the path cannot be examined.
bool StatPath(const QString& path, FindRecord& out);

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

} // namespace velmar::platform
