#pragma once
// Directory sources: a pane never reads a folder itself, it steps a source through one
// folder. Every source delivers all folders of a listing before any file.

#include "platform/FindRecord.h"
#include "platform/LocalFind.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;

namespace velmar {

enum EntryKind : int { kEntryEnd = 0, kEntryFile = 1, kEntryFolder = 2, kEntryFtp = 3 };
enum DirSourceKind : int { kSourceLocal = 0, kSourceFtp = 1 };

class DirSource {
public:
    virtual ~DirSource() = default;
    // Close any open search, take `path` (a folder followed by a mask) and start with folders.
    virtual bool Open(const QString& path) = 0;
    // Fill `out` with the next entry; kEntryEnd when nothing is left, and again after that.
    virtual EntryKind Next(FindRecord& out) = 0;

    using Take = std::function<bool(FindRecord&, EntryKind)>;
    enum class PushResult { Unsupported, Done, Failed };
    // A source whose entries arrive by themselves (a server's answer) hands each to `take`
    // as it comes, folders and files mixed in their order of arrival, so that a consumer can
    // show them before the last has come. On a failure `drop` is called before the failure
    // is reported, for the consumer to forget what it still holds. `take` runs on one thread
    // at a time, not always the caller's (a server's answer may be parsed beside the thread
    // that receives it), and never after Push returns. A source that only steps
    // (Next) takes nothing and answers Unsupported. Open comes first, as for Next.
    virtual PushResult Push(const Take& take, const std::function<void()>& drop) {
        (void)take;
        (void)drop;
        return PushResult::Unsupported;
    }

    int phase = 1;            // 1 while folders are listed, 0 while files are
    QObject* owner = nullptr; // the pane the source reports to
    int lastKind = kEntryEnd; // what the consumer got from the last Next
    QString mask;             // the path with mask given to Open
};

class LocalDirSource : public DirSource {
public:
    bool Open(const QString& path) override;
    EntryKind Next(FindRecord& out) override;

private:
    // One find step: start a new search when restarting, else continue the open one.
    // False when the phase is over.
    bool Step(FindRecord& out, platform::LocalFind::Want want);

    platform::LocalFind find_;
    QString pattern_;
    bool restart_ = true;
    bool ended_ = false;
};

// The folder pattern: cut `path` after its last "/" and append "*.*".
QString FolderPattern(const QString& path);

// Makes the source of a kind; none for an unknown kind. The FTP kind is registered by the
// FTP layer (it owns the connection handling).
std::unique_ptr<DirSource> CreateDirSource(int kind);
using DirSourceFactory = std::unique_ptr<DirSource> (*)();
void RegisterDirSourceFactory(int kind, DirSourceFactory factory);

// Removes one trailing blank from a listed name: the rule of FTP listings, whose servers
// pad names. Local names are exact ("x " and "x" are two files).
inline void TrimOneTrailingBlank(QString& name) {
    // Read through a const reference: a shared name is not copied only to be looked at.
    const QString& look = name;
    if (!look.isEmpty() && look.back() == QLatin1Char(' ')) name.chop(1);
}

// The one listing loop of panes and listing threads: opens `source` on `path` (a folder
// and a mask) and hands every entry but "." and ".." to `take`, names trimmed for an FTP
// source, until the source ends or `take` returns false. The number of entries taken.
int ListEntries(DirSource& source, int sourceKind, const QString& path,
                const DirSource::Take& take);

// The same for a consumer that takes folders and files mixed, from a source that pushes:
// each as it arrives (after a failure, `drop` as DirSource::Push says). The number of
// entries taken; -1, with nothing taken, from a source that only steps.
int ListEntriesAsTheyCome(DirSource& source, int sourceKind, const QString& path,
                          const DirSource::Take& take, const std::function<void()>& drop);

} // namespace velmar
