#pragma once
// The single-entry operations behind copy, move, delete and new folder, for local folders
// and FTP folders alike. No widget here: questions and errors go through FileMessages, which
// the window layer routes to the message seam and tests answer by script.
//
// Nothing here loses data the user did not ask to lose: a copy goes to a private temporary
// name and replaces the target only when complete, a move removes its source only after the
// copy arrived whole, a file is never copied onto itself and a folder never into itself.

#include "sources/DirSource.h"
#include "sources/Side.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmar {

enum class FailureAnswer { Skip, SkipAll, Stop };

// How a primitive asks and tells.
class FileMessages {
public:
    virtual ~FileMessages() = default;
    // A Yes/No question; true only for Yes.
    virtual bool Ask(const QString& question) = 0;
    // An error or notice.
    virtual void Tell(const QString& text) = 0;
    // A failure in a job of many entries (kAskOnFailure): go on without the entry, go on
    // and pass over later failures of the same kind without a question, or stop the job.
    // Where no such question can be put, the failure is told and the entry skipped.
    virtual FailureAnswer AskOnFailure(const QString& text) {
        Tell(text);
        return FailureAnswer::Skip;
    }
};

// What the primitives use of a pane: its side and what it hides.
struct PaneSide {
    std::shared_ptr<Side> side = LocalSide();
    bool showHidden = true;
    bool showInRom = true;

    // An FTP pane's side (`connection` borrowed; null when not connected).
    static PaneSide Ftp(FtpConnection* connection, const QString& site) {
        PaneSide p;
        p.side = MakeFtpSide(connection, site);
        return p;
    }
    bool usable() const { return side->Usable(); }
    // An operation found the connection lost; the pane drops it afterwards, and nothing more
    // is tried on it meanwhile.
    bool lost() const { return side->Lost(); }
    ShownFilter filter() const { return {showHidden, showInRom}; }
};

inline const QString kAskOverwrite = QStringLiteral("File %1 exist. Copy?");
inline const QString kAskRemoveFolder = QStringLiteral("You want to remove folder %1.\nContinue?");
inline const QString kTooLarge = QStringLiteral("You try to download too large file");
inline const QString kSameFileRefused = QStringLiteral("%1 is the file itself: not copied.");
inline const QString kIntoItselfRefused =
    QStringLiteral("Folder %1 cannot go into itself: not copied.");
inline const QString kSpecialFileRefused =
    QStringLiteral("%1 is a pipe, socket or device: not copied.");
inline const QString kCannotReadFolder = QStringLiteral("Cannot read folder %1.");
// The entry's path, then what failed.
inline const QString kAskOnFailure =
    QStringLiteral("%1\n%2\n\nSkip this entry, skip all such failures, or stop?");
inline const QString kFailuresPassedOver =
    QStringLiteral("%1 more entries failed the same way and were not copied.");
inline const QString kNotRemovedWhole =
    QStringLiteral("Folder %1 was not removed: not everything in it was moved.");

// One file from `src` to `dst` (complete paths). Asks before replacing an existing target.
bool CopyEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages);
// A rename where both lie on one side, else a copy and then the source removed, only when
// the copy arrived whole.
bool MoveEntry(const TransferControl& control, const QString& src, const QString& dst,
               PaneSide& from, PaneSide& to, FileMessages& messages);
bool DeleteEntry(const QString& path, PaneSide& side, FileMessages& messages);
// Asks, then removes a folder with what it holds, passing over what the pane hides. True
// when the user agreed; `whole` (optional) tells whether the folder itself went.
bool RemoveFolder(const QString& path, PaneSide& side, FileMessages& messages,
                  bool* whole = nullptr);
// Whether `size` bytes fit into `folder` with 32 KiB to spare; says so when not. A side that
// cannot tell its free space (a server) always has room.
bool CheckRoomForFile(uint64_t size, const QString& folder, PaneSide& side, FileMessages& messages);
// A trailing "/" is ignored.
bool CreateFolder(PaneSide& side, const QString& path, FileMessages& messages);

// Bytes of all files below a local folder, never following a link to a folder. Stops early
// (with what it has) when `running` clears.
uint64_t DirSize(const QString& folder, const std::atomic<int>* running = nullptr);

// The progress bar position: done × 100 / total, capped at 100; 0 for a total below 2.
int ProgressPercent(uint64_t done, uint64_t total);

// Whether `target` (a path that need not exist yet) is the local folder `folder` or lies
// below it, links followed.
bool IsSameOrBelow(const QString& folder, const QString& target);

} // namespace velmar

namespace velmar {

// The entries of `folder` (ending with "/") that the pane shows (hidden and in-ROM filters);
// false when the folder cannot be listed.
bool ListShownEntries(PaneSide& side, const QString& folder, std::vector<ListedEntry>& out,
                      bool sizes);

} // namespace velmar
