#include "sources/SearchJob.h"

#include "platform/LocalFind.h"
#include "sources/PatternSearch.h"

namespace velmar {

void SearchJob::AddHit(SearchHit hit) {
    std::lock_guard lock(mutex_);
    hits_.push_back(std::move(hit));
}

void SearchJob::Stop() {
    progress.running.store(0);
    stop.store(true);
    cancel.Cancel();
}

std::vector<SearchHit> SearchJob::TakeHits() {
    std::lock_guard lock(mutex_);
    std::vector<SearchHit> out;
    out.swap(hits_);
    return out;
}

namespace {

bool Running(const SearchJob& job) {
    return job.progress.running.load(std::memory_order_relaxed) != 0;
}

// A local folder in one pass of the folder (the directory source reads it twice, folders then
// files, and looks closely at every entry): folders first, in listing order, each searched as
// it is met; then the files the mask takes. Only hits are looked at closely.
void SearchLocalFolder(SearchJob& job, const QString& folder) {
    platform::FolderScan scan;
    if (!scan.Read(folder)) return;
    if (!job.showInRom && scan.readOnlyFs()) return;
    using Type = platform::FolderScan::Type;
    const auto hidden = [&job](const QString& name) {
        return !job.showHidden && name.startsWith(QLatin1Char('.'));
    };
    for (const auto& e : scan.entries()) {
        if (!Running(job)) return;
        if (e.type == Type::Other || hidden(e.name)) continue;
        job.progress.SetName(e.name);
        // A link to a folder may lead back up the tree: never entered.
        if (e.type == Type::Folder && job.recursive)
            SearchLocalFolder(job, folder + e.name + QLatin1Char('/'));
    }
    for (const auto& e : scan.entries()) {
        if (!Running(job)) return;
        if (e.type != Type::Other || hidden(e.name)) continue;
        if (!platform::MatchMask(e.name, job.mask)) continue;
        const QString path = folder + e.name;
        if (job.textSearch) {
            platform::BlockFile file;
            if (!job.pattern || !scan.OpenForScan(e, file) || !job.pattern->SearchOpenFile(file))
                continue;
        }
        SearchHit hit;
        if (!scan.Stat(e, hit.record)) continue; // vanished meanwhile
        job.progress.SetName(e.name);
        hit.kind = kEntryFile;
        hit.record.name = path.mid(job.root.size());
        job.AddHit(std::move(hit));
        job.progress.files.fetch_add(1);
    }
}

void SearchFolder(SearchJob& job, const QString& folder) {
    if (!job.makeSource) {
        SearchLocalFolder(job, folder);
        return;
    }
    std::unique_ptr<DirSource> source = job.makeSource();
    if (!source || !source->Open(folder + job.mask)) return;
    const qsizetype rootLength = job.root.size();
    while (Running(job)) {
        FindRecord record;
        const EntryKind kind = source->Next(record);
        source->lastKind = kind;
        if (kind == kEntryEnd) break;
        TrimOneTrailingBlank(record.name);
        if (!job.showHidden && (record.attributes & attr::Hidden)) continue;
        if (!job.showInRom && (record.attributes & attr::InRom)) continue;
        if (record.name == QLatin1String(".") || record.name == QLatin1String("..")) continue;
        job.progress.SetName(record.name);
        if (kind == kEntryFolder || (kind != kEntryFtp && record.isFolder())) {
            // A link to a folder may lead back up the tree: never entered.
            if (job.recursive && !(record.attributes & attr::ReparsePoint))
                SearchFolder(job, folder + record.name + QLatin1Char('/'));
            continue;
        }
        if (job.textSearch && kind != kEntryFtp &&
            !(job.pattern && job.pattern->SearchFile(folder + record.name)))
            continue;
        if (job.textSearch && kind == kEntryFtp) continue; // contents are searched locally only
        SearchHit hit;
        hit.kind = kind;
        hit.record = std::move(record);
        hit.record.name = (folder + hit.record.name).mid(rootLength);
        job.AddHit(std::move(hit));
        job.progress.files.fetch_add(1);
    }
}

} // namespace

void RunSearch(SearchJob& job) {
    const platform::ScopedCancel cancelScope(&job.cancel);
    if (job.pattern) job.pattern->SetStillRunning([&job] { return Running(job); });
    SearchFolder(job, job.root);
    if (job.pattern) job.pattern->SetStillRunning({});
    job.progress.Finish();
}

} // namespace velmar
