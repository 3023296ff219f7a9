#pragma once
// The copy/move worker and what it shares with its progress dialog. The worker runs on its
// own thread and knows nothing of windows: the dialog reads a snapshot of JobProgress on a
// timer and stops the worker through the running flag.

#include "platform/Cancel.h"
#include "sources/FilePrimitives.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace velmar {

// The state a worker shares with its progress dialog. The counters are atomics; the current
// name is behind a lock.
class JobProgress {
public:
    std::atomic<int> running{1};
    std::atomic<uint64_t> done{0};  // bytes of the current file
    std::atomic<uint64_t> total{1}; // size of the current file
    std::atomic<int> files{0};      // files transferred (or found) so far
    std::atomic<bool> ended{false}; // the worker has finished
    // The worker's socket waits watch it (its Run* function names it the thread's token).
    platform::CancelToken cancel;

    // From the window's thread: the worker stops between two blocks or entries; one still
    // blocked on a server after `graceMs` has its waits ended at once (a connection cut in
    // the middle of a reply is dropped afterwards), so a stop never waits out a time-out.
    void Stop(int graceMs = 300);

    void SetName(const QString& name);
    struct Snapshot {
        QString name;
        int files = 0;
        uint64_t done = 0;
        uint64_t total = 1;
        bool ended = false;
    };
    Snapshot Take() const;

    // The worker's last step: the name becomes "Done" (or `failure`, the last failure told,
    // so a job that failed never ends saying it is done) and the flags drop.
    void Finish(const QString& failure = {});

private:
    mutable std::mutex mutex_;
    QString name_;
};

// One chosen row, taken from the pane when the command starts.
struct TransferItem {
    QString name;
    bool folder = false;
    bool hasRecord = true;
    uint64_t size = 0;
};

struct TransferJob {
    JobProgress progress;
    QString title; // "Copy" or "Move"
    bool copy = true;
    std::vector<TransferItem> items;
    QString sourcePath; // both ending with "/"
    QString targetPath;
    PaneSide source;
    PaneSide target;
    FileMessages* messages = nullptr;
};

// Transfers every item in order; ends with progress.Finish().
void RunTransfer(TransferJob& job);

// Delete on a side: files and folder trees (each tree asks its own question) below `folder`
// (ending with "/"), in order, until the progress is stopped or the side is lost. With `trash`
// each entry goes whole into the desktop trash, a folder without its question (nothing is
// removed); one that cannot go there is deleted for good only after kAskNoTrash.
struct DeleteJob {
    JobProgress progress;
    PaneSide side;
    QString folder;
    std::vector<TransferItem> items; // name and folder flag
    FileMessages* messages = nullptr;
    bool trash = false;
};
inline const QString kAskNoTrash =
    QStringLiteral("%1 cannot go to the trash on its disk.\nDelete it for good?");
// Ends with progress.Finish(); progress.files counts the files that went.
void RunDelete(DeleteJob& job);
// New Dir on a side, as a worker: progress.files is 1 when the folder was made.
void RunNewFolder(PaneSide& side, const QString& path, JobProgress& progress,
                  FileMessages& messages);

} // namespace velmar
