#include "sources/InetFtpDirSource.h"

#include "platform/LocalFind.h"
#include "sources/ListingThread.h"

namespace velmar {

bool InetFtpDirSource::Open(const QString& path) {
    mask = path;
    pattern_ = ServerPath(path);
    const qsizetype slash = pattern_.lastIndexOf(QLatin1Char('/'));
    fileMask_ = pattern_.mid(slash + 1);
    // The usual mask passes every file: no test per entry.
    matchAll_ =
        fileMask_.isEmpty() || fileMask_ == QLatin1String("*.*") || fileMask_ == QLatin1String("*");
    phase = 1;
    folders_.clear();
    files_.clear();
    position_ = 0;
    listed_ = false;
    ended_ = false;
    return true;
}

void InetFtpDirSource::SetConnection(FtpConnection* connection, const std::atomic<bool>* stop) {
    connection_ = connection;
    stop_ = stop;
    ownClient_ = connection && connection->IsOwnClient();
}

void InetFtpDirSource::ReportFailure() {
    if (stop_ && stop_->load()) return; // stopped on purpose: no failure to tell
    const FtpStatusInfo status = connection_->LastStatus();
    // The window layer decides what to tell; a folder refused keeps the connection.
    if (owner) PostToWindow(owner, new ListingFailedEvent(status.text, status.lost()));
}

bool InetFtpDirSource::List(const FtpConnection::RecordSink& each) {
    listed_ = true;
    const qsizetype slash = pattern_.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? pattern_.left(slash + 1) : QStringLiteral("/");
    if (stop_) connection_->SetStopFlag(stop_);
    const bool ok = connection_->ListFolder(folder, each);
    connection_->SetStopFlag(nullptr);
    return ok;
}

bool InetFtpDirSource::ListOnce() {
    if (listed_) return true;
    const bool ok = List([this](FindRecord& r) {
        (r.isFolder() ? folders_ : files_).push_back(std::move(r));
    });
    if (!ok) {
        folders_.clear();
        files_.clear();
        ReportFailure();
    }
    return ok;
}

DirSource::PushResult InetFtpDirSource::Push(const Take& take,
                                             const std::function<void()>& drop) {
    if (listed_ || !connection_) return PushResult::Done; // nothing (more) to list
    ended_ = true;
    // A stop ends the listing through the stop flag; until then what the consumer refuses
    // is only skipped.
    bool taking = true;
    const bool ok = List([&](FindRecord& r) {
        if (!taking) return;
        const bool isFolder = r.isFolder();
        if (!isFolder && !matchAll_ && !platform::MatchMask(r.name, fileMask_)) return;
        taking = take(r, isFolder ? kEntryFolder : kEntryFile);
    });
    if (ok) return PushResult::Done;
    // Nothing of a listing that broke off is shown as if it were the folder.
    drop();
    ReportFailure();
    return PushResult::Failed;
}

EntryKind InetFtpDirSource::Next(FindRecord& out) {
    if (ended_ || !connection_) return kEntryEnd;
    if (!ListOnce()) {
        ended_ = true;
        return kEntryEnd;
    }
    if (phase == 1) {
        if (position_ < folders_.size()) {
            out = std::move(folders_[position_++]);
            return kEntryFolder;
        }
        phase = 0;
        position_ = 0;
    }
    while (position_ < files_.size()) {
        FindRecord& r = files_[position_++];
        if (matchAll_ || platform::MatchMask(r.name, fileMask_)) {
            out = std::move(r);
            return kEntryFile;
        }
    }
    ended_ = true;
    return kEntryEnd;
}

namespace {
std::unique_ptr<DirSource> MakeInetFtpDirSource() {
    return std::make_unique<InetFtpDirSource>();
}
} // namespace

void RegisterInetFtpDirSource() {
    RegisterDirSourceFactory(kSourceFtp, &MakeInetFtpDirSource);
}

} // namespace velmar
