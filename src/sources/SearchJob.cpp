#include "sources/SearchJob.h"

#include "platform/LocalFind.h"
#include "sources/PatternSearch.h"
#include "sources/SizeText.h"

namespace velmar {

void SearchJob::AddHit(SearchHit hit) {
    std::lock_guard lock(mutex_);
    hits_.push_back(std::move(hit));
}

void SearchJob::AddHits(std::vector<SearchHit>& hits) {
    std::lock_guard lock(mutex_);
    if (hits_.empty())
        hits_.swap(hits);
    else
        hits_.insert(hits_.end(), std::make_move_iterator(hits.begin()),
                     std::make_move_iterator(hits.end()));
    hits.clear();
}

void SearchJob::Stop() {
    progress.running.store(0);
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

class Walk {
public:
    explicit Walk(SearchJob& job) : job_(job), maxDepth_(job.side->SearchDepth()) {}

    // `prefix`: the folder relative to the root ("" for the root, else ending with "/").
    void Folder(const QString& prefix, int depth) {
        std::unique_ptr<ScannedFolder> folder = job_.side->ScanFolder(job_.root + prefix);
        if (!folder) return; // a folder that cannot be read yields no hits
        using Type = ScannedFolder::Type;
        const size_t n = folder->size();
        for (size_t i = 0; i < n; ++i) {
            if (!Running(job_)) return;
            if (folder->type(i) != Type::Folder || !Shown(*folder, i)) continue;
            // A link to a folder may lead back up the tree: never entered.
            if (!job_.recursive) continue;
            const QString name = folder->name(i);
            job_.progress.SetName(name);
            if (depth >= maxDepth_) {
                job_.tooDeep.fetch_add(1);
                continue;
            }
            Folder(prefix + name + QLatin1Char('/'), depth + 1);
        }
        std::vector<size_t> hits; // entries of `folder`, in order
        for (size_t i = 0; i < n; ++i) {
            if (!Running(job_)) return;
            if (folder->type(i) != Type::File || !Shown(*folder, i)) continue;
            if (!folder->Matches(i, job_.mask)) continue;
            if (job_.textSearch) {
                job_.progress.SetName(folder->name(i));
                if (!job_.pattern || !folder->Holds(i, *job_.pattern)) continue;
            }
            hits.push_back(i);
        }
        if (!hits.empty()) Record(*folder, hits, prefix);
    }

private:
    // Makes the records of a folder's hits and hands them to the job, in the walk's order.
    // Where a record costs a stat, only the name and what the reading told are kept: most
    // hits are never looked at, and the stat was most of a mask-only search's time.
    void Record(ScannedFolder& folder, const std::vector<size_t>& hits, const QString& prefix) {
        const EntryKind kind = folder.fileKind();
        const bool later = folder.RecordCostsALook();
        std::vector<SearchHit> made;
        made.reserve(hits.size());
        for (const size_t i : hits) {
            if (!Running(job_)) break;
            SearchHit& hit = made.emplace_back();
            if (later) {
                hit.record.name = folder.name(i);
                hit.record.attributes = folder.attributes(i);
                hit.complete = false;
            } else if (!folder.Record(i, hit.record)) { // went meanwhile
                made.pop_back();
                continue;
            }
            hit.kind = kind;
            if (!prefix.isEmpty()) hit.record.name.prepend(prefix);
        }
        if (made.empty()) return;
        job_.progress.SetName(FileNamePart(made.back().record.name, QLatin1Char('/')));
        const int found = int(made.size());
        job_.AddHits(made);
        job_.progress.files.fetch_add(found);
    }

    bool Shown(const ScannedFolder& folder, size_t i) const {
        const uint32_t a = folder.attributes(i);
        return (job_.showHidden || !(a & attr::Hidden)) && (job_.showInRom || !(a & attr::InRom));
    }

    SearchJob& job_;
    const int maxDepth_;
};

} // namespace

bool CompleteHitRecord(const QString& root, FindRecord& record) {
    FindRecord made = record;
    if (!platform::StatPathKeepingName(root + record.name, made,
                                       (record.attributes & attr::InRom) != 0))
        return false;
    record = std::move(made);
    return true;
}

void RunSearch(SearchJob& job) {
    const platform::ScopedCancel cancelScope(&job.cancel);
    if (job.pattern) job.pattern->SetStillRunning([&job] { return Running(job); });
    Walk(job).Folder(QString(), 0);
    if (job.pattern) job.pattern->SetStillRunning({});
    job.progress.Finish();
}

} // namespace velmar
