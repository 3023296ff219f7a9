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
    BatchPoster(ListingJob& job, const DirSource* source) : job_(job), source_(source) {}

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

    // Sends what is held, folders first. `more`: entries known to follow (0: not known).
    void SendAll(size_t more = 0) {
        Send(runs_[0], more);
        Send(runs_[1], more);
    }

    // Forgets what is held.
    void Drop() {
        runs_[0].entries.clear();
        runs_[1].entries.clear();
    }

    void SendArranged(std::vector<FileEntry>& all) {
        size_t next = 0;
        Run& run = runs_[1];
        while (next < all.size() && !stopped()) {
            const size_t n = std::min(all.size() - next, size_t(limit_));
            run.entries.assign(std::make_move_iterator(all.begin() + qsizetype(next)),
                               std::make_move_iterator(all.begin() + qsizetype(next + n)));
            next += n;
            Send(run, all.size() - next);
        }
    }

private:
    struct Run {
        std::vector<FileEntry> entries;
        int64_t startedMs = 0;
        int sent = 0; // entries of this run's kind posted so far
    };

    bool AddTo(Run& run, FindRecord& record, int kind, int ordinal) {
        if (stopped()) return false;
        const int64_t now = NowMs();
        if (run.entries.empty()) {
            if (run.entries.capacity() == 0) run.entries = job_.BatchVector();
            run.startedMs = now;
        }
        // Moved, never copied: a large listing pays every copy of a record a hundred thousand
        // times.
        run.entries.push_back(FileEntry{kind, ordinal, std::move(record)});
        if (int(run.entries.size()) >= limit_ || now - run.startedMs >= kEntryBatchDelayMs)
            Send(run);
        return !stopped();
    }

    void Send(Run& run, size_t more = 0) {
        if (run.entries.empty()) return;
        // A stopped listing's entries are of no use to the pane, which has moved on.
        while (job_.inFlight.load(std::memory_order_acquire) >= kEntryBatchesInFlight && !stopped())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (stopped()) {
            run.entries.clear();
            return;
        }
        if (mixed_) {
            // The pane holds the parent row, the folders sent and then the files sent.
            int ordinal = run.sent + (&run == &runs_[1] ? runs_[0].sent : 0);
            for (FileEntry& e : run.entries)
                e.ordinal = ++ordinal;
        }
        run.sent += int(run.entries.size());
        auto* event = new EntryPostedEvent(job_.path, std::move(run.entries));
        event->more = more ? more : source_ ? source_->PendingHint() : 0;
        job_.inFlight.fetch_add(1, std::memory_order_acq_rel);
        PostToWindow(job_.pane, event);
        run.entries.clear();
        limit_ = std::min(limit_ * 2, kEntryBatchMaxSize);
    }

    ListingJob& job_;
    const DirSource* source_;
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
        BatchPoster poster(job, job.arrange ? nullptr : source.get());
        std::vector<FileEntry> all;
        bool mixed = false;
        const auto take = [&](FindRecord& record, EntryKind kind) {
            if (job.stop.load()) return false;
            if (job.filter && !job.filter(record)) return true;
            ++posted;
            if (job.arrange) {
                all.push_back(FileEntry{kind, -1, std::move(record)});
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
            for (size_t i = 0; i < all.size(); ++i)
                all[i].ordinal = int(i) + 1;
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

void ListingJob::GiveBack(std::vector<FileEntry>& spent) {
    // Two on their way and one filling: more would only hold memory.
    constexpr size_t kKept = kEntryBatchesInFlight + 1;
    if (spent.capacity() < size_t(kEntryBatchMaxSize)) return;
    spent.clear();
    std::lock_guard lock(spareLock_);
    if (spares_.size() < kKept) spares_.push_back(std::move(spent));
}

std::vector<FileEntry> ListingJob::BatchVector() {
    {
        std::lock_guard lock(spareLock_);
        if (!spares_.empty()) {
            std::vector<FileEntry> v = std::move(spares_.back());
            spares_.pop_back();
            return v;
        }
    }
    // Only the pages a batch fills are ever touched: the room costs address space alone.
    std::vector<FileEntry> v;
    v.reserve(size_t(kEntryBatchMaxSize));
    return v;
}

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
