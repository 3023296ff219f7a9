#include "sources/ListingThread.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>

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

using Clock = std::chrono::steady_clock;

// Hands batches to the pane, growing them as the listing goes on, and never more than
// kEntryBatchesInFlight at a time.
class BatchPoster {
public:
    BatchPoster(ListingJob& job, const DirSource* source) : job_(job), source_(source) {}

    bool stopped() const { return job_.stop.load(); }

    // Adds one entry; false when the listing should end (stopped).
    bool Add(FileEntry&& entry) {
        if (stopped()) return false;
        if (batch_.empty()) {
            batch_.reserve(size_t(limit_));
            started_ = Clock::now();
        }
        batch_.push_back(std::move(entry));
        if (int(batch_.size()) >= limit_ ||
            Clock::now() - started_ >= std::chrono::milliseconds(kEntryBatchDelayMs))
            Send();
        return !stopped();
    }

    // `more`: entries known to follow (0 when not known).
    void Send(size_t more = 0) {
        if (batch_.empty()) return;
        // A stopped listing's entries are of no use to the pane, which has moved on.
        while (job_.inFlight.load(std::memory_order_acquire) >= kEntryBatchesInFlight && !stopped())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (stopped()) {
            batch_.clear();
            return;
        }
        auto* event = new EntryPostedEvent(job_.path, std::move(batch_));
        event->more = more ? more : source_ ? source_->PendingHint() : 0;
        job_.inFlight.fetch_add(1, std::memory_order_acq_rel);
        PostToWindow(job_.pane, event);
        batch_.clear();
        limit_ = std::min(limit_ * 2, kEntryBatchMaxSize);
    }

    void SendArranged(std::vector<FileEntry>& all) {
        size_t next = 0;
        while (next < all.size() && !stopped()) {
            const size_t n = std::min(all.size() - next, size_t(limit_));
            batch_.assign(std::make_move_iterator(all.begin() + qsizetype(next)),
                          std::make_move_iterator(all.begin() + qsizetype(next + n)));
            next += n;
            Send(all.size() - next);
        }
    }

private:
    ListingJob& job_;
    const DirSource* source_;
    std::vector<FileEntry> batch_;
    Clock::time_point started_;
    int limit_ = kEntryBatchSize;
};

// The thread procedure. Returns the number of entries listed.
int RunListing(ListingJob& job) {
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
        ListEntries(*source, job.sourceKind, job.path, [&](FindRecord& record, EntryKind kind) {
            if (job.stop.load()) return false;
            if (job.filter && !job.filter(record)) return true;
            FileEntry entry;
            entry.kind = kind;
            entry.ordinal = ++posted;
            entry.find = std::move(record);
            if (job.arrange) {
                all.push_back(std::move(entry));
                return true;
            }
            return poster.Add(std::move(entry));
        });
        if (job.arrange && !job.stop.load()) {
            job.arrange(all);
            for (size_t i = 0; i < all.size(); ++i)
                all[i].ordinal = int(i) + 1;
            poster.SendArranged(all);
        } else {
            poster.Send();
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
