#include "sources/ListingThread.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>

namespace velmar {

int RunListing(ListingJob& job) {
    platform::ScopedCancel cancelScope(&job.cancel);
    if (job.busy) job.busy(true);
    int posted = 0;
    std::unique_ptr<DirSource> source = CreateDirSource(job.sourceKind);
    bool ok = source != nullptr;
    if (ok && job.sourceKind == kSourceFtp && job.connect && !job.connect()) ok = false;
    if (!ok) {
        source.reset();
        // A connect given up because of a stop is no lost connection: the pane has moved on.
        if (job.pane && !job.stop.load()) PostToWindow(job.pane, new ConnectionClosedEvent);
    } else {
        source->owner = job.pane;
        if (job.attach) job.attach(*source);
        std::vector<FileEntry> batch;
        auto batchStart = std::chrono::steady_clock::time_point();
        // A stopped listing's entries are of no use to the pane, which has moved on.
        auto send = [&] {
            if (!batch.empty() && job.pane && !job.stop.load()) {
                auto* event = new EntryPostedEvent(job.path, std::move(batch));
                event->more = source->PendingHint();
                PostToWindow(job.pane, event);
            }
            batch.clear();
        };
        ListEntries(*source, job.sourceKind, job.path, [&](FindRecord& record, EntryKind kind) {
            if (job.stop.load()) return false;
            if (batch.empty()) {
                batch.reserve(kEntryBatchSize);
                batchStart = std::chrono::steady_clock::now();
            }
            FileEntry& entry = batch.emplace_back();
            entry.kind = kind;
            entry.ordinal = ++posted;
            entry.find = std::move(record);
            if (int(batch.size()) >= kEntryBatchSize ||
                std::chrono::steady_clock::now() - batchStart >=
                    std::chrono::milliseconds(kEntryBatchDelayMs))
                send();
            return true;
        });
        send();
        source.reset();
    }
    job.stop = false;
    if (job.busy) job.busy(false);
    job.done = true;
    return posted;
}

void StopListing(ListingJob& job) {
    if (job.done.load()) return;
    job.stop = true;
    job.cancel.Cancel();
    while (!job.done.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void StartListing(ListingJob& job, const QString& path) {
    StopListing(job);
    job.path = path;
    job.stop = false;
    job.cancel.Reset();
    job.done = false;
    std::thread([&job] { RunListing(job); }).detach();
}

} // namespace velmar
