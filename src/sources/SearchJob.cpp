#include "sources/SearchJob.h"

#include "platform/LocalFind.h"
#include "sources/PatternSearch.h"
#include "sources/SizeText.h"

#include <condition_variable>
#include <deque>
#include <thread>

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
    enum class State { Waiting, Taken, Made } state = State::Waiting;
};

// Makes the records of the hits on a thread of its own while the walk goes on (a hit's
// record costs a stat, about as much as finding it); once the walk is over, the walking
// thread makes the last ones too. Batches reach the job in the order given, so hits keep
// the walk's order; few wait at once, so a fast walk holds little.
class HitRecorder {
public:
    explicit HitRecorder(SearchJob& job) : job_(job) {}
    ~HitRecorder() { Close(); }

    void Add(HitBatch batch) {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        changed_.wait(lock, [this] { return waiting_ < kMaxWaiting; });
        queue_.push_back(std::make_unique<HitBatch>(std::move(batch)));
        ++waiting_;
        changed_.notify_all();
    }

    // Makes what still waits, from the last batch back, beside the thread; returns once
    // every hit given is in the job.
    void Close() {
        std::unique_lock lock(mutex_);
        closed_ = true;
        changed_.notify_all();
        while (HitBatch* batch = Take(lock, false)) {
            (void)batch;
        }
        changed_.wait(lock, [this] { return queue_.empty(); });
        lock.unlock();
        if (thread_.joinable()) thread_.join();
    }

private:
    static constexpr int kMaxWaiting = 32;

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return closed_ || waiting_ > 0; });
            if (!Take(lock, true)) return;
        }
    }

    // Takes the first (or last) waiting batch and makes its records; null when none waits.
    HitBatch* Take(std::unique_lock<std::mutex>& lock, bool first) {
        if (waiting_ == 0) return nullptr;
        HitBatch* batch = nullptr;
        if (first) {
            for (auto it = queue_.begin(); !batch; ++it)
                if ((*it)->state == HitBatch::State::Waiting) batch = it->get();
        } else {
            for (auto it = queue_.rbegin(); !batch; ++it)
                if ((*it)->state == HitBatch::State::Waiting) batch = it->get();
        }
        batch->state = HitBatch::State::Taken;
        --waiting_;
        changed_.notify_all();
        lock.unlock();
        Make(*batch);
        lock.lock();
        batch->state = HitBatch::State::Made;
        Publish();
        return batch;
    }

    void Make(HitBatch& batch) {
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
    }

    // Hands the made batches at the front to the job, in order.
    void Publish() {
        bool any = false;
        while (!queue_.empty() && queue_.front()->state == HitBatch::State::Made) {
            std::vector<SearchHit>& made = queue_.front()->made;
            if (!made.empty()) {
                job_.progress.SetName(FileNamePart(made.back().record.name, QLatin1Char('/')));
                const int found = int(made.size());
                job_.AddHits(made);
                job_.progress.files.fetch_add(found);
            }
            queue_.pop_front();
            any = true;
        }
        if (any) changed_.notify_all();
    }

    SearchJob& job_;
    std::mutex mutex_;
    std::condition_variable changed_; // a batch came, was taken or was handed on
    std::deque<std::unique_ptr<HitBatch>> queue_;
    int waiting_ = 0;
    bool closed_ = false;
    std::thread thread_;
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
        recorder.Close();
    }
    if (job.pattern) job.pattern->SetStillRunning({});
    job.progress.Finish();
}

} // namespace velmar
