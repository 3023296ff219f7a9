#pragma once
// The search worker of "Search files": walks a folder tree depth first through directory
// sources (folders are listed before files, and a folder is searched as it is met), takes
// the files that match the mask and, if asked, hold the text, and hands them over as hits
// named relative to the searched folder ("sub/a.txt"). It knows nothing of windows: the
// pane takes the hits from the job on the interface thread.

#include "platform/Cancel.h"
#include "platform/FindRecord.h"
#include "sources/DirSource.h"
#include "sources/TransferJob.h"

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace velmar {

class PatternSearch;

struct SearchHit {
    FindRecord record; // name: the path relative to the root
    int kind = kEntryFile;
};

struct SearchJob {
    JobProgress progress;
    QString title = QStringLiteral("Search");
    QString root; // ends with "/"
    QString mask = QStringLiteral("*.*");
    bool recursive = true;
    bool textSearch = false;
    PatternSearch* pattern = nullptr; // with textSearch; used by the worker only
    int showHidden = 1;
    int showInRom = 1;
    // Makes the source each folder is listed through (the pane's kind, and for an FTP pane
    // its connection). Unset: a local source.
    std::function<std::unique_ptr<DirSource>()> makeSource;
    // Set by Stop; an FTP source watches it, so a LIST in progress ends too.
    std::atomic<bool> stop{false};
    // The worker's socket waits watch it (RunSearch names it the thread's token).
    platform::CancelToken cancel;

    // From any thread: the walk ends soon, a blocked LIST at once.
    void Stop();

    void AddHit(SearchHit hit);
    // The hits since the last call, in the order found.
    std::vector<SearchHit> TakeHits();

private:
    std::mutex mutex_;
    std::vector<SearchHit> hits_;
};

// Searches job.root; ends with progress.Finish(). Never follows a link to a folder.
void RunSearch(SearchJob& job);

} // namespace velmar
