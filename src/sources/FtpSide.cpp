// A server as a side, through a pane's connection (either back end).

#include "sources/Side.h"

#include "ftp/FtpConnection.h"
#include "platform/Cancel.h"
#include "sources/SizeText.h"

#include <QRandomGenerator>
#include <chrono>
#include <thread>
#include <utility>

namespace velmar {
namespace {

// A private name beside `remote` on the server, for an upload not yet complete.
QString ServerTempName(const QString& remote) {
    const QString folder = ParentOf(remote);
    return (folder == QLatin1String("/") ? QString() : folder) + QStringLiteral("/.vlf") +
           QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
}

const QString kUploadKeptAs =
    QStringLiteral("The server would not rename the upload: it stays there as %1");

// The last name of a path to be made on the server. A backslash in it would go out as a
// slash: a local file named "..\\x" must not land two folders up.
QString NameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A server folder from one LIST, with the records it told.
class FtpScannedFolder final : public ScannedFolder {
public:
    std::vector<FindRecord> records;

    size_t size() const override { return records.size(); }
    QString name(size_t i) const override { return records[i].name; }
    Type type(size_t i) const override {
        return records[i].isFolder() ? Type::Folder : Type::File;
    }
    uint32_t attributes(size_t i) const override { return records[i].attributes; }
    bool Record(size_t i, FindRecord& out) override {
        out = records[i];
        return true;
    }
    // A server's files are searched by name only.
    bool Holds(size_t, PatternSearch&) override { return false; }
    EntryKind fileKind() const override { return kEntryFtp; }
};

// A tree search on a server goes this many levels down at most.
constexpr int kServerSearchDepth = 32;

class FtpFiles final : public Side {
public:
    FtpFiles(FtpConnection* connection, QString site)
        : connection_(connection), site_(std::move(site)) {}

    QString Site() const override { return site_; }
    bool Usable() const override { return connection_ && !lost_; }
    bool Lost() const override { return lost_; }

    bool List(const QString& folder, std::vector<ListedEntry>& out, bool) override {
        out.clear();
        std::vector<FindRecord> records;
        if (!ListRecords(folder, records)) return false;
        out.reserve(records.size());
        for (FindRecord& r : records) {
            if (IsDotEntry(r.name)) continue;
            ListedEntry e;
            e.name = std::move(r.name);
            e.folder = r.isFolder();
            e.size = r.size;
            e.attributes = r.attributes;
            out.push_back(std::move(e));
        }
        return true;
    }

    std::unique_ptr<ScannedFolder> ScanFolder(const QString& folder) override {
        auto scan = std::make_unique<FtpScannedFolder>();
        if (!ListRecords(folder, scan->records)) return nullptr;
        // Servers pad names: one trailing blank goes, as in the pane's listing.
        for (FindRecord& r : scan->records)
            TrimOneTrailingBlank(r.name);
        std::erase_if(scan->records,
                      [](const FindRecord& r) { return r.name.isEmpty() || IsDotEntry(r.name); });
        return scan;
    }
    int SearchDepth() const override { return kServerSearchDepth; }

    bool ReadFile(const QString& path, const BlockSink& sink,
                  const TransferControl& control) override {
        if (!Usable()) return false;
        if (connection_->ReadFile(ServerPath(path), sink, control.running, control.counter))
            return true;
        return control.goingOn() ? Failed() : Quiet();
    }

    // Under a private name first: a cut transfer never stands under the target's name. A
    // server that lets us store but neither rename nor delete (an anonymous upload folder)
    // gets the file under its own name from then on.
    bool WriteFile(const QString& path, const BlockSource& source,
                   const TransferControl& control) override {
        writeAgain_ = false;
        if (!Usable() || !Sendable(path)) return false;
        const QString target = ServerPath(path);
        if (storeDirectly_) {
            if (connection_->WriteFile(target, source, control.running, control.counter))
                return true;
            return control.goingOn() ? Failed() : Quiet();
        }
        const QString temp = ServerTempName(target);
        const bool ok = connection_->WriteFile(temp, source, control.running, control.counter);
        if (!ok || !control.goingOn()) {
            if (control.goingOn()) Failed();
            else Quiet();
            DropTemp(temp);
            return false;
        }
        if (connection_->Rename(temp, target)) return true;
        if (!Usable() || connection_->IsLost()) return Failed();
        // A server that will not rename over a file: the caller agreed to replace it.
        if (connection_->DeleteFile(target)) {
            if (connection_->Rename(temp, target)) return true;
            // The old file is gone and the private one is now the only whole copy: it stays.
            Failed();
            SetError(ErrorText() + QLatin1Char('\n') + kUploadKeptAs.arg(temp));
            return false;
        }
        // Neither rename nor delete: store under the target's name, once more from the start.
        storeDirectly_ = true;
        writeAgain_ = true;
        ClearError();
        if (!connection_->DeleteFile(temp)) SetError(kUploadKeptAs.arg(temp));
        return false;
    }
    bool WriteAgain() override { return std::exchange(writeAgain_, false); }

    bool DeleteFile(const QString& path) override {
        return Usable() && (connection_->DeleteFile(ServerPath(path)) || Failed());
    }
    bool RemoveFolder(const QString& path) override {
        return Usable() && (connection_->RemoveDir(ServerPath(path)) || Failed());
    }
    bool MakeFolder(const QString& path) override {
        return Usable() && Sendable(path) &&
               (connection_->MakeDir(ServerPath(path)) || Failed());
    }
    bool EnsureFolder(const QString& path) override {
        if (!Usable() || !Sendable(path)) return false;
        // It may be there already; a folder that cannot be made fails its uploads.
        if (!connection_->MakeDir(ServerPath(path))) Failed();
        return Usable();
    }
    bool Exists(const QString& path, uint64_t* size) override {
        uint64_t bytes = 0;
        if (!Usable()) return false;
        if (!connection_->FileSize(ServerPath(path), bytes)) {
            // Not there is an answer, not a failure; a lost connection shows here. A server
            // that cannot tell (no SIZE, a listing line we cannot read) may well have the
            // file: it counts as there, so the user is asked before it is replaced.
            const FtpStatusInfo status = connection_->LastStatus();
            if (status.lost()) lost_ = true;
            const bool unknown = status.result == FtpResult::BadReply ||
                                 (status.result == FtpResult::Refused &&
                                  status.replyCode >= 500 && status.replyCode <= 504);
            if (unknown && size) *size = 0;
            return unknown;
        }
        if (size) *size = bytes;
        return true;
    }

    // Best effort both ways: a server without MDTM or MFMT is no failure of the copy.
    bool ModifiedTime(const QString& path, int64_t& seconds) override {
        return Usable() && connection_->ModifiedTime(ServerPath(path), seconds);
    }
    bool SetModifiedTime(const QString& path, int64_t seconds) override {
        return Usable() && connection_->SetModifiedTime(ServerPath(path), seconds);
    }

    // No server copies a file by itself: only the one refusal is ours to make.
    SideResult CopyWithin(const QString& from, const QString& to, bool,
                          const TransferControl&) override {
        return ServerPath(from) == ServerPath(to) ? SideResult::SameFile
                                                  : SideResult::Unsupported;
    }

    SideResult MoveWithin(const QString& from, const QString& to, bool replace,
                          const TransferControl& control) override {
        const QString a = ServerPath(from);
        const QString b = ServerPath(to);
        if (a == b) return SideResult::SameFile;
        if (!control.goingOn() || !Usable()) return SideResult::Cancelled;
        if (!replace && Exists(b, nullptr)) return SideResult::Exists;
        if (!Usable()) return SideResult::Failed;
        if (connection_->Rename(a, b)) return SideResult::Ok;
        if (replace && connection_->DeleteFile(b) && connection_->Rename(a, b))
            return SideResult::Ok;
        Failed();
        return SideResult::Failed;
    }

private:
    bool Sendable(const QString& path) {
        const QString name = NameOf(path);
        if (!name.contains(QLatin1Char('\\'))) return true;
        SetError(QStringLiteral("%1: a name holding a backslash cannot be sent to a server")
                     .arg(name));
        return false;
    }
    // Takes the connection's last failure; a lost connection marks the side.
    // One LIST of `folder`; false (the failure kept) when it failed.
    bool ListRecords(const QString& folder, std::vector<FindRecord>& records) {
        if (!Usable()) return false;
        if (!connection_->ListFolder(ServerPath(WithoutTrailingSlash(folder)), records))
            return Failed();
        return true;
    }
    static bool IsDotEntry(const QString& name) {
        return name == QLatin1String(".") || name == QLatin1String("..");
    }
    bool Failed() {
        const FtpStatusInfo status = connection_->LastStatus();
        if (status.lost()) lost_ = true;
        SetError(status.text);
        return false;
    }
    bool Quiet() {
        ClearError();
        return false;
    }
    // Tried even after a cut that marked the side lost: libcurl connects anew for each
    // command (a server refusing the rest of an upload looks like a lost connection to it).
    // The user's stop has usually fired the thread's token by now; the part is no whole copy
    // and still goes, under a token of its own that fires after a short bound instead.
    void DropTemp(const QString& temp) {
        const QString error = ErrorText();
        platform::CancelToken finished, bound;
        std::thread timer([&] {
            if (platform::PauseUnlessCancelled(&finished, kDropTempMs)) bound.Cancel();
        });
        {
            const platform::ScopedCancel scope(&bound);
            // A cut upload may leave the line broken, and the server busy with the cut for a
            // moment: a failed log-in again is tried again, a refusal is the server's answer.
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (connection_->DeleteFile(temp) || !connection_->IsLost()) break;
                if (!platform::PauseUnlessCancelled(&bound, 100 << attempt)) break;
            }
        }
        finished.Cancel();
        timer.join();
        SetError(error);
    }
    static constexpr int kDropTempMs = 2000;

    FtpConnection* connection_;
    QString site_;
    bool lost_ = false;
    bool storeDirectly_ = false; // the server refuses renames: no private name
    bool writeAgain_ = false;
};

} // namespace

std::shared_ptr<Side> MakeFtpSide(FtpConnection* connection, const QString& site) {
    return std::make_shared<FtpFiles>(connection, site);
}

} // namespace velmar
