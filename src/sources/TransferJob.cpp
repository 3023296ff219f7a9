#include "sources/TransferJob.h"

#include "sources/SizeText.h"

#include <QSet>
#include <chrono>
#include <thread>

namespace velmar {

void JobProgress::SetName(const QString& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
}

JobProgress::Snapshot JobProgress::Take() const {
    Snapshot s;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        s.name = name_;
    }
    s.files = files.load();
    s.done = done.load();
    s.total = total.load();
    s.ended = ended.load();
    return s;
}

void JobProgress::Stop(int graceMs) {
    running.store(0);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(graceMs);
    while (!ended.load() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!ended.load()) cancel.Cancel();
}

void JobProgress::Finish() {
    SetName(QStringLiteral("Done"));
    running.store(0);
    ended.store(true);
}

namespace {

class Worker {
public:
    explicit Worker(TransferJob& job)
        : job_(job), p_(job.progress), control_{&p_.running, &p_.done} {}

    void Run() {
        for (const TransferItem& item : job_.items) {
            if (!GoingOn()) break;
            p_.done.store(0);
            p_.total.store(item.hasRecord ? std::max<uint64_t>(item.size, 1) : 1);
            if (item.folder)
                Folder(item);
            else
                File(item);
        }
        p_.Finish();
    }

private:
    bool GoingOn() const {
        return p_.running.load() != 0 && job_.source.usable() && job_.target.usable();
    }
    FileMessages& messages() { return *job_.messages; }

    void File(const TransferItem& item) {
        p_.SetName(item.name);
        const QString src = job_.sourcePath + item.name;
        // A search hit is named "sub/a.txt": the copy is "a.txt" in the target folder.
        const QString dst = job_.targetPath + FileNamePart(item.name, QLatin1Char('/'));
        if (item.hasRecord && !CheckRoomForFile(item.size, job_.targetPath, job_.target, messages()))
            return;
        const bool ok = job_.copy
                            ? CopyEntry(control_, src, dst, job_.source, job_.target, messages())
                            : MoveEntry(control_, src, dst, job_.source, job_.target, messages());
        if (ok) p_.files.fetch_add(1);
    }

    bool SameSide() const { return job_.source.side->Site() == job_.target.side->Site(); }

    bool IntoItself(const QString& from, const QString& to) const {
        return SameSide() && job_.source.side->IsSameOrBelow(from, to);
    }

    void Folder(const TransferItem& item) {
        const QString from = job_.sourcePath + item.name;
        const QString to = job_.targetPath + item.name;
        p_.SetName(item.name);
        if (IntoItself(from, to)) {
            messages().Tell(kIntoItselfRefused.arg(from));
            return;
        }
        // One file system or one server: a folder moves as a whole by renaming it.
        if (!job_.copy && SameSide() &&
            job_.source.side->MoveWithin(from, to, false, control_) == SideResult::Ok)
            return;
        QSet<QString> arrived;
        Tree(from, to, job_.copy ? nullptr : &arrived);
        if (job_.copy || p_.running.load() == 0 || !job_.source.usable()) return;
        if (!messages().Ask(kAskRemoveFolder.arg(from))) return;
        if (!RemoveArrived(from, arrived)) messages().Tell(kNotRemovedWhole.arg(from));
    }

    bool MakeTargetFolder(const QString& to) {
        if (job_.target.side->EnsureFolder(to)) return true;
        // A lost connection ends the job; the pane tells of it.
        if (job_.target.usable() && !job_.target.side->ErrorText().isEmpty())
            messages().Tell(job_.target.side->ErrorText());
        return false;
    }

    // Copies the tree `from` to `to` with the source pane's filters; records in `arrived`
    // every source file whose copy is complete.
    void Tree(const QString& from, const QString& to, QSet<QString>* arrived) {
        if (!MakeTargetFolder(to)) return;
        std::vector<ListedEntry> entries;
        if (!ListShownEntries(job_.source, from + QLatin1Char('/'), entries, true)) {
            if (job_.source.usable()) messages().Tell(kCannotReadFolder.arg(from));
            return;
        }
        std::vector<const ListedEntry*> folders;
        for (const ListedEntry& e : entries) {
            if (!GoingOn()) return;
            if (e.folder) {
                if (!e.linkToFolder) folders.push_back(&e);
                continue;
            }
            p_.SetName(e.name);
            p_.done.store(0);
            p_.total.store(std::max<uint64_t>(e.size, 1));
            if (!CheckRoomForFile(e.size, to, job_.target, messages())) continue;
            const QString src = from + QLatin1Char('/') + e.name;
            if (CopyEntry(control_, src, to + QLatin1Char('/') + e.name, job_.source, job_.target,
                          messages())) {
                p_.files.fetch_add(1);
                if (arrived) arrived->insert(src);
            }
        }
        for (const ListedEntry* f : folders) {
            if (!GoingOn()) return;
            Tree(from + QLatin1Char('/') + f->name, to + QLatin1Char('/') + f->name, arrived);
        }
    }

    // Removes below `folder` only the files in `arrived`, then every folder left empty.
    // True when `folder` itself went.
    bool RemoveArrived(const QString& folder, const QSet<QString>& arrived) {
        PaneSide everything = job_.source; // the same side, without the pane's filters
        everything.showHidden = true;
        everything.showInRom = true;
        std::vector<ListedEntry> entries;
        if (!ListShownEntries(everything, folder + QLatin1Char('/'), entries, false)) return false;
        bool whole = true;
        for (const ListedEntry& e : entries) {
            const QString path = folder + QLatin1Char('/') + e.name;
            if (e.folder && !e.linkToFolder) {
                if (!RemoveArrived(path, arrived)) whole = false;
            } else if (!arrived.contains(path) || !DeleteEntry(path, everything, messages())) {
                whole = false;
            }
            if (!everything.usable()) break;
        }
        if (!whole || !everything.usable()) return false;
        if (job_.source.side->RemoveFolder(folder)) return true;
        if (!job_.source.side->ErrorText().isEmpty())
            messages().Tell(job_.source.side->ErrorText());
        return false;
    }

    TransferJob& job_;
    JobProgress& p_;
    TransferControl control_;
};

} // namespace

void RunTransfer(TransferJob& job) {
    const platform::ScopedCancel cancelScope(&job.progress.cancel);
    Worker(job).Run();
}

void RunDelete(DeleteJob& job) {
    const platform::ScopedCancel cancelScope(&job.progress.cancel);
    JobProgress& p = job.progress;
    for (const TransferItem& item : job.items) {
        // Cancel takes effect between entries; a folder tree asks its own question.
        if (p.running.load() == 0 || !job.side.usable()) break;
        p.SetName(item.name);
        const QString path = job.folder + item.name;
        const bool gone = item.folder ? RemoveFolder(path, job.side, *job.messages)
                                      : DeleteEntry(path, job.side, *job.messages);
        if (gone && !item.folder) p.files.fetch_add(1);
    }
    p.Finish();
}

void RunNewFolder(PaneSide& side, const QString& path, JobProgress& progress,
                  FileMessages& messages) {
    const platform::ScopedCancel cancelScope(&progress.cancel);
    progress.SetName(FileNamePart(WithoutTrailingSlash(path), QLatin1Char('/')));
    if (side.usable() && CreateFolder(side, path, messages)) progress.files.store(1);
    progress.Finish();
}

} // namespace velmar
