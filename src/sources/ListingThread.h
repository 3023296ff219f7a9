#pragma once
// The listing thread: steps a directory source and posts its entries to the pane's controller
// in EntryPostedEvent batches, so that the rows are only touched on the window's thread. Local
// and FTP folders list the same way; the window keeps painting and taking input meanwhile.
// The thread reports results (entries, a failure with the server's text, its end); what the
// user is shown is decided above it.

#include "platform/Cancel.h"
#include "platform/WindowPost.h"
#include "sources/DirSource.h"
#include "sources/PaneRow.h"

#include <QEvent>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace velmar {

// Event types of what a listing thread posts.
QEvent::Type EntryEventType();
QEvent::Type ListingFailedEventType();
QEvent::Type ListingDoneEventType();

// A run of entries in delivery order, made the pane's rows, with consecutive ordinals from
// `first`. One event per entry would wake the pane's thread ten thousand times for a large
// folder.
class EntryPostedEvent : public QEvent {
public:
    EntryPostedEvent(QString path, PaneRows r, int firstOrdinal)
        : QEvent(EntryEventType()), folder(std::move(path)), rows(std::move(r)),
          first(firstOrdinal) {}
    QString folder; // the path with mask of the listing
    PaneRows rows;  // the pane takes them over
    int first;      // 1-based position of the first in the listing's order
};

// The first batch is small so that the first rows show at once; later ones grow up to the
// largest, so that a huge folder costs few hand-overs, each short enough for the window's
// thread to take between two paints. A batch also goes out when an entry comes after its
// first has waited kEntryBatchDelayMs (a slow source still shows its entries as they come),
// and at the end of the listing.
// The largest fills one 2 MB page (see PaneRows).
constexpr int kEntryBatchSize = 512;
constexpr int kEntryBatchMaxSize = int((size_t(2) << 20) / sizeof(PaneRow));
constexpr int kEntryBatchDelayMs = 30;
// Batches posted and not yet taken: the thread waits while this many are on their way, so
// the window's queue never piles up more work than one turn of its loop should do.
constexpr int kEntryBatchesInFlight = 2;

// The listing failed: the connection could not be made, or was lost or refused the folder.
// `serverText` is the peer's (or the connection layer's) text, empty when there is none;
// `closedAfterwards` tells that the back end closed the connection on its way out (the
// libcurl side), which the user is told as well. The pane goes back to the local root on it.
class ListingFailedEvent : public QEvent {
public:
    ListingFailedEvent(QString text, bool closed)
        : QEvent(ListingFailedEventType()), serverText(std::move(text)), closedAfterwards(closed) {}
    QString serverText;
    bool closedAfterwards;
};

// The listing ended (not posted for a stopped one): every entry has been posted before it.
class ListingDoneEvent : public QEvent {
public:
    explicit ListingDoneEvent(int n) : QEvent(ListingDoneEventType()), entries(n) {}
    int entries;
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
    // Batches posted and not taken yet; the pane counts down as it takes one (TookBatch).
    std::atomic<int> inFlight{0};
    QString path; // folder followed by the mask; written only while no thread runs
    int sourceKind = kSourceLocal;

    // Optional hooks, called on the listing thread; set only while no thread runs.
    // FTP: connect when not connected; false = failed, with the reason's text in `text`.
    std::function<bool(QString& text)> connect;
    std::function<void(DirSource&)> attach;        // FTP: hand the pane's connection to the source
    std::function<bool(const FindRecord&)> filter; // false drops an entry (the pane's filters)
    // Puts the whole listing in the pane's order before anything is posted.
    std::function<void(PaneRows&)> arrange;

    // The pane took a batch: the thread may post the next.
    void TookBatch() { inFlight.fetch_sub(1, std::memory_order_acq_rel); }
};

// The pane's side: stop and await a thread still running, then start a new one on
// `path`. Returns at once; entries arrive as posted batches.
void StartListing(ListingJob& job, const QString& path);

// Ask a running thread to end and wait until it has: promptly, even while it is blocked on
// a server, and after it nothing more is posted.
void StopListing(ListingJob& job);

} // namespace velmar
