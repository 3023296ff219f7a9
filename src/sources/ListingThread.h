#pragma once
// The listing thread: steps a directory source and posts its entries to the pane in
// EntryPostedEvent batches, so that the pane's list is only touched on its own thread.

#include "platform/Cancel.h"
#include "platform/WindowPost.h"
#include "res/Ids.h"
#include "sources/DirSource.h"

#include <QEvent>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace velmar {

constexpr QEvent::Type kEntryEventType = QEvent::Type(QEvent::User + ids::kMsgEntry);
constexpr QEvent::Type kConnectionClosedEventType =
    QEvent::Type(QEvent::User + ids::kMsgConnectionClosed);

// A run of entries in delivery order, with consecutive ordinals. One event per entry would
// wake the pane's thread ten thousand times for a large folder.
class EntryPostedEvent : public QEvent {
public:
    EntryPostedEvent(QString path, std::vector<FileEntry> e)
        : QEvent(kEntryEventType), folder(std::move(path)), entries(std::move(e)) {}
    const int wordParam = ids::kEntryWordParam;
    QString folder;                 // the path with mask of the listing
    std::vector<FileEntry> entries; // the pane takes them over
    size_t more = 0;                // at most this many entries may follow (0: not known)
};

// A batch goes out when it holds this many entries, when an entry comes after its first
// has waited kEntryBatchDelayMs (a slow source still shows its entries as they come), and
// at the end of the listing.
constexpr int kEntryBatchSize = 512;
constexpr int kEntryBatchDelayMs = 30;

class ConnectionClosedEvent : public QEvent {
public:
    ConnectionClosedEvent() : QEvent(kConnectionClosedEventType) {}
};

using platform::PostToWindow;
using platform::ReceivedType;

// The parameter block of one listing thread. It belongs to the pane and must outlive the
// thread: a pane stops and awaits its thread (StopListing) before it goes.
struct ListingJob {
    QObject* pane = nullptr;
    std::atomic<bool> done{true};
    std::atomic<bool> stop{false};
    // Fired with `stop`: the thread's socket waits (connect, replies, data) end at once, so
    // a stop never waits for a server's time-out. A source with waits of its own (libcurl)
    // looks at platform::CurrentCancelToken() in its progress callback.
    platform::CancelToken cancel;
    QString path; // folder followed by the mask; written only while no thread runs
    int sourceKind = kSourceLocal;

    // Optional hooks, called on the listing thread.
    std::function<void(bool)> busy;         // wait cursor on (true) and off (false)
    std::function<bool()> connect;          // FTP: connect when not connected; false = failed
    std::function<void(DirSource&)> attach; // FTP: hand the pane's connection to the source
};

// The thread procedure; runs on the calling thread. Returns the number of entries listed.
int RunListing(ListingJob& job);

// The pane's side: stop and await a thread still running, then start a new one on
// `path`. Returns at once; entries arrive as posted batches.
void StartListing(ListingJob& job, const QString& path);

// Ask a running thread to end and wait until it has: promptly, even while it is blocked on
// a server, and after it nothing more is posted.
void StopListing(ListingJob& job);

} // namespace velmar
