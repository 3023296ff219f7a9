#include "sources/ListingThread.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>
#include <pthread.h>
#include <time.h>

namespace velmar {

QEvent::Type EntryEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type ListingFailedEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type ListingDoneEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

namespace {

// Milliseconds of the coarse monotonic clock: read once per entry, where the fine clock's
// cost shows in a large folder, and far finer than the batch delay.
int64_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Hands batches to the pane, growing them as the listing goes on, and never more than
// kEntryBatchesInFlight at a time. Entries of a source that steps come folders first and
// carry their ordinals; entries that come mixed gather in a run per kind, and a run learns
// its place as it goes out: folders after the folders sent, files after every row sent.
class BatchPoster {
public:
    explicit BatchPoster(ListingJob& job) : job_(job) {}

    bool stopped() const { return job_.stop.load(); }

    // Adds one entry at its ordinal, taking its record over; false when the listing should
    // end (stopped).
    bool Add(FindRecord& record, int kind, int ordinal) {
        return AddTo(runs_[1], record, kind, ordinal);
    }

    // Adds one entry that came mixed (no ordinal yet).
    bool AddMixed(FindRecord& record, int kind) {
        mixed_ = true;
        return AddTo(runs_[kind == kEntryFolder ? 0 : 1], record, kind, -1);
    }

    // Sends what is held, folders first.
    void SendAll() {
        Send(runs_[0]);
        Send(runs_[1]);
    }

    // Forgets what is held.
    void Drop() {
        runs_[0].rows.clear();
        runs_[1].rows.clear();
    }

    void SendArranged(PaneRows& all) {
        size_t next = 0;
        Run& run = runs_[1];
        while (next < all.size() && !stopped()) {
            const size_t n = std::min(all.size() - next, size_t(limit_));
            run.rows.assign(std::make_move_iterator(all.begin() + qsizetype(next)),
                            std::make_move_iterator(all.begin() + qsizetype(next + n)));
            run.first = int(next) + 1;
            next += n;
            Send(run);
        }
    }

private:
    struct Run {
        PaneRows rows;
        int64_t startedMs = 0;
        int first = -1; // the ordinal of the first row held, for a source that steps
        int sent = 0;   // entries of this run's kind posted so far
    };

    bool AddTo(Run& run, FindRecord& record, int kind, int ordinal) {
        if (stopped()) return false;
        const int64_t now = NowMs();
        if (run.rows.empty()) {
            run.rows.reserve(size_t(limit_));
            run.startedMs = now;
            run.first = ordinal;
        }
        // Made in place, the record moved in, never copied: a large listing pays every copy
        // of a record a hundred thousand times.
        run.rows.emplace_back().Take(record, kind);
        if (int(run.rows.size()) >= limit_ || now - run.startedMs >= kEntryBatchDelayMs)
            Send(run);
        return !stopped();
    }

    void Send(Run& run) {
        if (run.rows.empty()) return;
        // A stopped listing's entries are of no use to the pane, which has moved on.
        while (job_.inFlight.load(std::memory_order_acquire) >= kEntryBatchesInFlight && !stopped())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (stopped()) {
            run.rows.clear();
            return;
        }
        // Mixed, the pane holds the parent row, the folders sent and then the files sent.
        const int first =
            mixed_ ? run.sent + (&run == &runs_[1] ? runs_[0].sent : 0) + 1 : run.first;
        run.sent += int(run.rows.size());
        auto* event = new EntryPostedEvent(job_.path, std::move(run.rows), first);
        job_.inFlight.fetch_add(1, std::memory_order_acq_rel);
        PostToWindow(job_.pane, event);
        run.rows = PaneRows();
        limit_ = std::min(limit_ * 2, kEntryBatchMaxSize);
    }

    ListingJob& job_;
    Run runs_[2]; // folders, files (every entry of a source that steps)
    bool mixed_ = false;
    int limit_ = kEntryBatchSize;
};

// The thread procedure. Returns the number of entries listed.
int RunListing(ListingJob& job) {
    pthread_setname_np(pthread_self(), "listing");
    platform::ScopedCancel cancelScope(&job.cancel);
    int posted = 0;
    std::unique_ptr<DirSource> source = CreateDirSource(job.sourceKind);
    QString failure;
    bool ok = source != nullptr;
    if (ok && job.sourceKind == kSourceFtp && job.connect && !job.connect(failure)) ok = false;
    if (!ok) {
        source.reset();
        // A connect given up because of a stop is no lost connection: the pane has moved on.
        if (job.pane && !job.stop.load())
            PostToWindow(job.pane, new ListingFailedEvent(failure, false));
    } else {
        source->owner = job.pane;
        if (job.attach) job.attach(*source);
        BatchPoster poster(job);
        PaneRows all;
        bool mixed = false;
        const auto take = [&](FindRecord& record, EntryKind kind) {
            if (job.stop.load()) return false;
            if (job.filter && !job.filter(record)) return true;
            ++posted;
            if (job.arrange) {
                all.emplace_back().Take(record, kind);
                return true;
            }
            if (mixed) return poster.AddMixed(record, kind);
            return poster.Add(record, kind, posted);
        };
        if (job.arrange) {
            ListEntries(*source, job.sourceKind, job.path, take);
        } else {
            // Entries the source has at once go to the pane while the rest still arrive;
            // the poster keeps folders ahead of files.
            mixed = true;
            const int pushed = ListEntriesAsTheyCome(*source, job.sourceKind, job.path, take,
                                                     [&] { poster.Drop(); });
            if (pushed < 0) {
                mixed = false;
                ListEntries(*source, job.sourceKind, job.path, take);
            }
        }
        if (job.arrange && !job.stop.load()) {
            job.arrange(all);
            poster.SendArranged(all);
        } else {
            poster.SendAll();
        }
        source.reset();
        if (job.pane && !job.stop.load()) PostToWindow(job.pane, new ListingDoneEvent(posted));
    }
    job.stop = false;
    job.done = true;
    return posted;
}

} // namespace

void StopListing(ListingJob& job) {
    if (job.done.load()) return;
    job.stop = true;
    job.cancel.Cancel();
    while (!job.done.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void StartListing(ListingJob& job, const QString& path) {
    StopListing(job);
    job.path = path;
    job.stop = false;
    job.cancel.Reset();
    job.inFlight = 0;
    job.done = false;
    std::thread([&job] { RunListing(job); }).detach();
}

} // namespace velmar
