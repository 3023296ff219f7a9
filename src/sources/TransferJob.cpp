#include "sources/TransferJob.h"

#include "platform/FileOps.h"
#include "sources/FtpPrimitives.h"

#include <QSet>

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

void JobProgress::Finish() {
    SetName(QStringLiteral("Done"));
    running.store(0);
    ended.store(true);
}

namespace {

// Swallows messages: for steps whose failure shows up again in the next step.
class QuietMessages : public FileMessages {
public:
    bool Ask(const QString&) override { return false; }
    void Tell(const QString&) override {}
};

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
        const QString dst = job_.targetPath + item.name;
        if (!job_.target.isFtp() && item.hasRecord &&
            !CheckRoomForFile(item.size, job_.targetPath, messages()))
            return;
        const bool ok = job_.copy
                            ? CopyEntry(control_, src, dst, job_.source, job_.target, messages())
                            : MoveEntry(control_, src, dst, job_.source, job_.target, messages());
        if (ok) p_.files.fetch_add(1);
    }

    bool SameSide() const {
        return job_.source.kind == job_.target.kind &&
               (!job_.source.isFtp() || job_.source.site == job_.target.site);
    }

    bool IntoItself(const QString& from, const QString& to) const {
        if (!SameSide()) return false;
        if (!job_.source.isFtp()) return IsSameOrBelow(from, to);
        const QString f = from + QLatin1Char('/');
        return to == from || to.startsWith(f);
    }

    void Folder(const TransferItem& item) {
        const QString from = job_.sourcePath + item.name;
        const QString to = job_.targetPath + item.name;
        p_.SetName(item.name);
        if (IntoItself(from, to)) {
            messages().Tell(kIntoItselfRefused.arg(from));
            return;
        }
        // One file system: a folder moves as a whole by renaming it.
        if (!job_.copy && !job_.source.isFtp() && !job_.target.isFtp() &&
            platform::RenamePath(from, to, false) == 0)
            return;
        QSet<QString> arrived;
        Tree(from, to, job_.copy ? nullptr : &arrived);
        if (job_.copy || p_.running.load() == 0 || !job_.source.usable()) return;
        if (!messages().Ask(kAskRemoveFolder.arg(from))) return;
        if (!RemoveArrived(from, arrived)) messages().Tell(kNotRemovedWhole.arg(from));
    }

    bool MakeTargetFolder(const QString& to) {
        if (job_.target.isFtp()) {
            // It may be there already; a folder that cannot be made fails its uploads.
            QuietMessages quiet;
            CreateFtpFolder(job_.target, to, quiet);
            return job_.target.usable();
        }
        platform::FileIdentity id;
        if (platform::Identify(to, id) == 0 && id.folder) return true;
        return CreateLocalFolder(to, messages());
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
            if (!job_.target.isFtp() && !CheckRoomForFile(e.size, to, messages())) continue;
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
        PaneSide everything = job_.source;
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
        job_.source.lost = everything.lost;
        if (!whole || !everything.usable()) return false;
        if (job_.source.isFtp()) return ftpprim::RemoveDir(job_.source, folder, messages());
        const int rc = platform::RemoveEmptyFolder(folder);
        if (rc != 0) messages().Tell(platform::SystemErrorText(rc));
        return rc == 0;
    }

    TransferJob& job_;
    JobProgress& p_;
    TransferControl control_;
};

} // namespace

void RunTransfer(TransferJob& job) {
    Worker(job).Run();
}

} // namespace velmar
