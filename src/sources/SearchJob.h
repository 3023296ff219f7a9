#pragma once
// The search worker of "Search files": walks a folder tree of a side depth first (each
// folder read once, its subfolders searched as they are met, then its files), takes the
// files that match the mask and, if asked, hold the text, and hands them over as hits named
// relative to the searched folder ("sub/a.txt"). It knows nothing of windows: the pane
// takes the hits from the job on the interface thread.

#include "platform/Cancel.h"
#include "platform/FindRecord.h"
#include "sources/DirSource.h"
#include "sources/Side.h"
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
    // False for a local file: the walk does not stat its hits, so the record holds only the
    // name, attr::Hidden and attr::InRom until CompleteHitRecord makes the rest.
    bool complete = true;
};

// Makes the size, times and attributes of a local hit's record from the file below `root` as
// it is now, keeping its name; false (the record as it was) when the file is gone.
bool CompleteHitRecord(const QString& root, FindRecord& record);

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
    // Where the folders are read (a server side borrows the pane's connection).
    std::shared_ptr<Side> side = LocalSide();
    // Folders not entered because they lie deeper than the side's search depth.
    std::atomic<int> tooDeep{0};
    // The worker's socket waits watch it (RunSearch names it the thread's token).
    platform::CancelToken cancel;

    // From any thread: the walk ends soon, a blocked LIST at once (through the token).
    void Stop();

    void AddHit(SearchHit hit);
    void AddHits(std::vector<SearchHit>& hits); // taken, in order
    // The hits since the last call, in the order found.
    std::vector<SearchHit> TakeHits();

private:
    std::mutex mutex_;
    std::vector<SearchHit> hits_;
};

// Searches job.root; ends with progress.Finish(), when every hit is there. Never follows a
// link to a folder.
void RunSearch(SearchJob& job);

} // namespace velmar
