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

// The hits of one folder, on their way to the job.
struct HitBatch {
    std::unique_ptr<ScannedFolder> folder;
    std::vector<size_t> hits; // entries of `folder`, in order
    QString prefix;           // the folder relative to the root, ending with "/" or empty
    std::vector<SearchHit> made;
};

// Makes the records of a folder's hits (a stat each) and hands them to the job, in the
// walk's order. A second thread for this only paid off with a free core, and the job's
// progress name was then written from two threads.
class HitRecorder {
public:
    explicit HitRecorder(SearchJob& job) : job_(job) {}

    void Add(HitBatch batch) {
        ScannedFolder& folder = *batch.folder;
        const EntryKind kind = folder.fileKind();
        batch.made.reserve(batch.hits.size());
        for (const size_t i : batch.hits) {
            if (!Running(job_)) break;
            SearchHit& hit = batch.made.emplace_back();
            if (!folder.Record(i, hit.record)) { // went meanwhile
                batch.made.pop_back();
                continue;
            }
            hit.kind = kind;
            if (!batch.prefix.isEmpty()) hit.record.name.prepend(batch.prefix);
        }
        batch.folder.reset(); // its descriptor closes here
        if (batch.made.empty()) return;
        job_.progress.SetName(FileNamePart(batch.made.back().record.name, QLatin1Char('/')));
        const int found = int(batch.made.size());
        job_.AddHits(batch.made);
        job_.progress.files.fetch_add(found);
    }

private:
    SearchJob& job_;
};

class Walk {
public:
    Walk(SearchJob& job, HitRecorder& recorder)
        : job_(job), recorder_(recorder), maxDepth_(job.side->SearchDepth()) {}

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
        HitBatch batch;
        for (size_t i = 0; i < n; ++i) {
            if (!Running(job_)) return;
            if (folder->type(i) != Type::File || !Shown(*folder, i)) continue;
            if (!folder->Matches(i, job_.mask)) continue;
            if (job_.textSearch) {
                job_.progress.SetName(folder->name(i));
                if (!job_.pattern || !folder->Holds(i, *job_.pattern)) continue;
            }
            batch.hits.push_back(i);
        }
        if (batch.hits.empty()) return;
        batch.folder = std::move(folder);
        batch.prefix = prefix;
        recorder_.Add(std::move(batch));
    }

private:
    bool Shown(const ScannedFolder& folder, size_t i) const {
        const uint32_t a = folder.attributes(i);
        return (job_.showHidden || !(a & attr::Hidden)) && (job_.showInRom || !(a & attr::InRom));
    }

    SearchJob& job_;
    HitRecorder& recorder_;
    const int maxDepth_;
};

} // namespace

void RunSearch(SearchJob& job) {
    const platform::ScopedCancel cancelScope(&job.cancel);
    if (job.pattern) job.pattern->SetStillRunning([&job] { return Running(job); });
    {
        HitRecorder recorder(job);
        Walk(job, recorder).Folder(QString(), 0);
    }
    if (job.pattern) job.pattern->SetStillRunning({});
    job.progress.Finish();
}

} // namespace velmar
