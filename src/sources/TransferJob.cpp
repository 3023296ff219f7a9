#include "sources/TransferJob.h"

#include "sources/CopyPool.h"
#include "sources/SizeText.h"

#include <QSet>
#include <algorithm>
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

void JobProgress::Finish(const QString& failure) {
    SetName(failure.isEmpty() ? QStringLiteral("Done") : failure);
    running.store(0);
    ended.store(true);
}

namespace {

// Passes every question and message on, keeping the last failure told.
class TellingMessages final : public FileMessages {
public:
    explicit TellingMessages(FileMessages& inner) : inner_(inner) {}
    bool Ask(const QString& question) override { return inner_.Ask(question); }
    void Tell(const QString& text) override {
        last = text;
        inner_.Tell(text);
    }
    FailureAnswer AskOnFailure(const QString& text) override {
        last = text.section(QStringLiteral("\n\n"), 0, 0); // the entry and its failure
        return inner_.AskOnFailure(text);
    }
    QString last;

private:
    FileMessages& inner_;
};

// The failures of a job of many entries: each is a question (skip it, skip all such, stop)
// rather than a box to close per file, until the user passes over that kind of failure.
class FailureQuestions final : public FileMessages {
public:
    FailureQuestions(FileMessages& user, std::atomic<int>& running)
        : user_(user), running_(running) {}

    // The entry at work: failures name it, and are of one kind whatever the entry.
    void SetEntry(const QString& from, const QString& to) {
        from_ = from;
        to_ = to;
    }
    bool Ask(const QString& question) override { return user_.Ask(question); }
    void Tell(const QString& text) override {
        QString kind = text;
        if (!to_.isEmpty()) kind.replace(to_, QStringLiteral("%1"));
        if (!from_.isEmpty()) kind.replace(from_, QStringLiteral("%1"));
        if (passedOver_.contains(kind)) {
            ++silent_;
            return;
        }
        switch (user_.AskOnFailure(kAskOnFailure.arg(to_.isEmpty() ? from_ : to_, text))) {
        case FailureAnswer::Skip:
            break;
        case FailureAnswer::SkipAll:
            passedOver_.insert(kind);
            break;
        case FailureAnswer::Stop:
            running_.store(0);
            break;
        }
    }
    // What was passed over without a question is told once, at the end.
    void Finish() {
        if (silent_ > 0) user_.Tell(kFailuresPassedOver.arg(silent_));
    }

private:
    FileMessages& user_;
    std::atomic<int>& running_;
    QString from_, to_;
    QSet<QString> passedOver_;
    int silent_ = 0;
};

// Questions nobody sees: what a look ahead finds out is told when the file itself is copied.
class Unheard final : public FileMessages {
public:
    bool Ask(const QString&) override { return false; }
    void Tell(const QString&) override {}
};

class Worker {
public:
    explicit Worker(TransferJob& job)
        : job_(job), p_(job.progress), control_{&p_.running, &p_.done},
          failures_(*job.messages, job.progress.running) {
        sizedControl_ = control_;
        sizedControl_.sized = &sized_;
        many_ = job.items.size() > 1 ||
                std::any_of(job.items.begin(), job.items.end(),
                            [](const TransferItem& i) { return i.folder; });
    }

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
        Drain();
        failures_.Finish();
    }

private:
    bool GoingOn() const {
        return p_.running.load() != 0 && job_.source.usable() && job_.target.usable();
    }
    FileMessages& messages() { return many_ ? failures_ : *job_.messages; }
    void AtWork(const QString& from, const QString& to) { failures_.SetEntry(from, to); }

    void File(const TransferItem& item) {
        p_.SetName(item.name);
        const QString src = job_.sourcePath + item.name;
        // A search hit is named "sub/a.txt": the copy is "a.txt" in the target folder.
        const QString dst = job_.targetPath + FileNamePart(item.name, QLatin1Char('/'));
        AtWork(src, dst);
        // A move on one file system is a rename: it needs no room.
        const bool renames =
            !job_.copy && SameSide() && job_.source.side->OnOneVolume(src, job_.targetPath);
        if (item.hasRecord && !renames &&
            !CheckRoomForFile(item.size, job_.targetPath, job_.target, messages()))
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
        AtWork(from, to);
        // A link to a folder is the row itself: it goes as a link, never what it points to.
        if (SameSide() && job_.source.side->IsLink(from)) {
            Link(from, to);
            return;
        }
        if (IntoItself(from, to)) {
            messages().Tell(kIntoItselfRefused.arg(from));
            return;
        }
        // One file system or one server: a folder moves as a whole by renaming it. The count
        // still says how many files went, as a move by copying would (local only: on a
        // server the count would cost a listing per folder).
        if (!job_.copy && SameSide() &&
            job_.source.side->MoveWithin(from, to, false, control_) == SideResult::Ok) {
            if (job_.target.side->Site().isEmpty()) CountMovedFiles(to);
            return;
        }
        QSet<QString> arrived;
        {
            // Below the chosen folders nothing is reached through a link meanwhile put in
            // the place of a folder, on either side.
            const std::unique_ptr<TreeHold> source = job_.source.side->HoldTree(from);
            arrived_ = job_.copy ? nullptr : &arrived;
            Tree(from, to);
            Drain(); // every file back before the holds go and before anything is removed
            arrived_ = nullptr;
            targetHold_.reset();
        }
        if (job_.copy || p_.running.load() == 0 || !job_.source.usable()) return;
        AtWork(from, QString());
        if (!messages().Ask(kAskRemoveFolder.arg(from))) return;
        // What arrived is on the disk before anything of the source goes.
        if (!job_.target.side->Flush(to)) {
            TellTargetError();
            return;
        }
        if (!job_.source.side->RemoveArrived(from, arrived, messages()))
            job_.messages->Tell(kNotRemovedWhole.arg(from)); // a notice, not a question
    }

    // Adds the files (and links) below the moved folder `folder` to the count, never walking
    // into a link; a stop ends the count.
    void CountMovedFiles(const QString& folder) {
        std::vector<ListedEntry> entries;
        if (!job_.target.side->List(folder + QLatin1Char('/'), entries, false)) return;
        for (const ListedEntry& e : entries) {
            if (p_.running.load() == 0) return;
            if (e.folder && !e.link && !e.linkToFolder)
                CountMovedFiles(folder + QLatin1Char('/') + e.name);
            else
                p_.files.fetch_add(1); // a link counts as one, as a copy takes it
        }
    }

    void TellTargetError() {
        if (!job_.target.side->ErrorText().isEmpty())
            messages().Tell(job_.target.side->ErrorText());
    }

    // Copies or moves the link `from` as a link (a rename first when moving).
    void Link(const QString& from, const QString& to) {
        Side& side = *job_.source.side;
        bool ok = false;
        if (!job_.copy) {
            SideResult r = side.MoveWithin(from, to, false, control_);
            if (r == SideResult::Exists && messages().Ask(kAskOverwrite.arg(to)))
                r = side.MoveWithin(from, to, true, control_);
            if (r == SideResult::Unsupported) // another file system: a new link, then the old goes
                ok = CopyLinkEntry(from, to) && side.Flush(to) &&
                     DeleteEntry(from, job_.source, messages());
            else
                ok = Finished(r, side, to);
        } else {
            ok = CopyLinkEntry(from, to);
        }
        if (ok) p_.files.fetch_add(1);
    }

    bool Finished(SideResult r, const Side& side, const QString& to) {
        if (r == SideResult::SameFile) messages().Tell(kSameFileRefused.arg(to));
        if (r == SideResult::Failed && !side.ErrorText().isEmpty())
            messages().Tell(side.ErrorText());
        return r == SideResult::Ok;
    }

    bool MakeTargetFolder(const QString& to) {
        if (job_.target.side->EnsureFolder(to)) return true;
        // A lost connection ends the job; the pane tells of it.
        if (job_.target.usable() && !job_.target.side->ErrorText().isEmpty())
            messages().Tell(job_.target.side->ErrorText());
        return false;
    }

    // Copies the tree `from` to `to` with the source pane's filters; records in arrived_
    // (a move) every source file whose copy is complete.
    void Tree(const QString& from, const QString& to) {
        AtWork(from, to);
        if (!MakeTargetFolder(to)) return;
        if (!targetHold_) targetHold_ = job_.target.side->HoldTree(to); // the top folder
        if (!targetHold_) targetHold_ = std::make_unique<TreeHold>();
        // Between two local folders the copy itself tells each file's size as it opens the
        // source: the listing need not look at every file for it.
        const bool local = SameSide() && job_.source.side->Site().isEmpty();
        std::vector<ListedEntry> entries;
        if (!ListShownEntries(job_.source, from + QLatin1Char('/'), entries, !local)) {
            if (job_.source.usable()) messages().Tell(kCannotReadFolder.arg(from));
            return;
        }
        std::vector<const ListedEntry*> folders;
        FolderRoom room; // for the pool, looked at with the folder's first file
        for (const ListedEntry& e : entries) {
            if (!GoingOn()) return;
            const QString src = from + QLatin1Char('/') + e.name;
            const QString dst = to + QLatin1Char('/') + e.name;
            AtWork(src, dst);
            // A link stays a link on one side, and is never walked into.
            if (e.link && SameSide()) {
                Drain(); // its question, if any, after those of the files before it
                AtWork(src, dst);
                p_.SetName(e.name);
                if (CopyLinkEntry(src, dst)) {
                    p_.files.fetch_add(1);
                    if (arrived_) arrived_->insert(src);
                }
                continue;
            }
            if (e.folder || e.linkToFolder) {
                if (!e.linkToFolder) folders.push_back(&e);
                continue;
            }
            if (e.special) {
                Drain();
                AtWork(src, dst);
                messages().Tell(kSpecialFileRefused.arg(src));
                continue;
            }
            if (local) {
                if (Pooled(src, dst, e.name, from, to, room)) continue;
                Drain(); // what went before it comes back first
                CopyHere(src, dst, e.name, to);
                continue;
            }
            p_.SetName(e.name);
            p_.done.store(0);
            p_.total.store(std::max<uint64_t>(e.size, 1));
            if (!RoomFor(e.size, to)) continue;
            if (CopyEntry(control_, src, dst, job_.source, job_.target, messages())) {
                p_.files.fetch_add(1);
                if (arrived_) arrived_->insert(src);
            }
        }
        if (pool_) pool_->Seal(); // this folder's files may go
        for (const ListedEntry* f : folders) {
            if (!GoingOn()) return;
            Tree(from + QLatin1Char('/') + f->name, to + QLatin1Char('/') + f->name);
        }
    }

    // A file of a local tree copied on this thread, its size told as its copy starts.
    void CopyHere(const QString& src, const QString& dst, const QString& name,
                  const QString& folder) {
        AtWork(src, dst);
        p_.SetName(name);
        p_.done.store(0);
        sizedFolder_ = &folder;
        if (CopyEntry(sizedControl_, src, dst, job_.source, job_.target, messages())) {
            p_.files.fetch_add(1);
            if (arrived_) arrived_->insert(src);
        }
    }

    // What the pool needs of a pair of folders, looked at with their first file.
    struct FolderRoom {
        std::shared_ptr<CopyPool::Room> room; // null: the pool does not copy into the folder
        // The two folders as this thread reaches them: a pool thread reaches the same ones.
        std::shared_ptr<const platform::HeldRoots> folders;
        bool looked = false;
    };

    // Gives a file of a local tree to the pool; false where there is none (one core), no core
    // is free when the folder is started, or the room of the target folder cannot be told:
    // the file is to be copied here.
    bool Pooled(const QString& src, const QString& dst, const QString& name, const QString& from,
                const QString& to, FolderRoom& room) {
        if (poolThreads_ == 0) return false;
        if (!room.looked) {
            room.looked = true;
            Unheard quiet;
            uint64_t left = 0;
            if (CopyPool::CoreFree()) room.folders = platform::HoldFolders({from, to});
            if (room.folders && CheckRoomForFile(0, to, job_.target, quiet, &left))
                room.room = std::make_shared<CopyPool::Room>(left);
        }
        if (!room.room) return false;
        if (!pool_) pool_ = std::make_unique<CopyPool>(&p_.running, poolThreads_);
        while (pool_->Full())
            Collect(*pool_->Next(true));
        pool_->Submit({src, dst, name, to, room.room, room.folders});
        while (CopyPool::File* done = pool_->Next(false))
            Collect(*done);
        return true;
    }

    // A file back from the pool: counted when copied there, else copied here as if the pool
    // had not been (its question or its failure comes now, in the tree's order). Nothing more
    // is copied once the job stops.
    void Collect(const CopyPool::File& f) {
        if (!f.copied) {
            if (GoingOn()) CopyHere(f.src, f.dst, f.name, f.folder);
            return;
        }
        p_.SetName(f.name);
        p_.total.store(std::max<uint64_t>(f.size, 1));
        p_.done.store(f.size);
        p_.files.fetch_add(1);
        if (arrived_) arrived_->insert(f.src);
    }

    // Takes back every file given to the pool.
    void Drain() {
        if (!pool_) return;
        pool_->Seal();
        while (CopyPool::File* done = pool_->Next(true))
            Collect(*done);
    }

    // The size of a file of a local tree copy, told as its copy starts: the progress total
    // and the room check.
    bool Sized(uint64_t size) {
        p_.total.store(std::max<uint64_t>(size, 1));
        return RoomFor(size, *sizedFolder_);
    }

    // The room check of a file in a tree: one look at the free space per folder, then what
    // this copy itself used is taken off it. Space taken by others meanwhile only makes a
    // copy fail as a full disk does (its part goes, nothing else is touched).
    bool RoomFor(uint64_t size, const QString& folder) {
        if (folder == roomFolder_ && roomLeft_ > size) {
            roomLeft_ -= size;
            return true;
        }
        roomFolder_.clear();
        uint64_t left = 0;
        if (!CheckRoomForFile(size, folder, job_.target, messages(), &left)) return false;
        roomFolder_ = folder;
        roomLeft_ = left;
        return true;
    }

    bool CopyLinkEntry(const QString& src, const QString& dst) {
        Side& side = *job_.source.side;
        SideResult r = side.CopyLink(src, dst, false);
        if (r == SideResult::Exists && messages().Ask(kAskOverwrite.arg(dst)))
            r = side.CopyLink(src, dst, true);
        return Finished(r, side, dst);
    }

    TransferJob& job_;
    JobProgress& p_;
    TransferControl control_;
    const std::function<bool(uint64_t)> sized_ = [this](uint64_t size) { return Sized(size); };
    TransferControl sizedControl_;     // control_ telling Sized(): files of a local tree
    const QString* sizedFolder_ = nullptr; // the target folder of those files
    FailureQuestions failures_;
    bool many_ = false; // failures are questions
    std::unique_ptr<TreeHold> targetHold_; // while a tree is copied
    QString roomFolder_;                    // where roomLeft_ was last looked at
    uint64_t roomLeft_ = 0;
    const int poolThreads_ = CopyPool::Threads();
    std::unique_ptr<CopyPool> pool_;              // made with a local tree's first file
    QSet<QString>* arrived_ = nullptr;                 // the files of a move that arrived
};

} // namespace

void RunTransfer(TransferJob& job) {
    const platform::ScopedCancel cancelScope(&job.progress.cancel);
    FileMessages* const user = job.messages;
    TellingMessages told(*user);
    job.messages = &told;
    Worker(job).Run();
    job.messages = user;
    job.progress.Finish(told.last);
}

void RunDelete(DeleteJob& job) {
    const platform::ScopedCancel cancelScope(&job.progress.cancel);
    JobProgress& p = job.progress;
    for (const TransferItem& item : job.items) {
        // Cancel takes effect between entries; a folder tree asks its own question.
        if (p.running.load() == 0 || !job.side.usable()) break;
        p.SetName(item.name);
        const QString path = job.folder + item.name;
        if (job.trash) {
            // Nothing is removed yet, so no folder question: that comes with a delete for good.
            const SideResult trashed = job.side.side->MoveToTrash(path);
            if (trashed == SideResult::Ok && !item.folder) p.files.fetch_add(1);
            if (trashed == SideResult::Failed) job.messages->Tell(job.side.side->ErrorText());
            if (trashed != SideResult::Unsupported || !job.messages->Ask(kAskNoTrash.arg(path)))
                continue;
        }
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
