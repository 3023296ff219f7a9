#include "sources/FtpPrimitives.h"

#include "platform/FileOps.h"
#include "platform/LocalFiles.h"
#include "ftp/FtpConnection.h"
#include "sources/SizeText.h"

#include <QRandomGenerator>
#include <cerrno>

namespace velmar::ftpprim {

namespace {

// Shows the connection's last failure; a lost connection marks the side so that nothing
// more is tried on it.
void Report(PaneSide& side, FileMessages& messages) {
    QString text;
    const int code = side.connection->ErrorText(text);
    if (code == -1) side.lost = true;
    if (code != 0 && !text.isEmpty()) messages.Tell(text);
}

bool Cancelled(const TransferControl& control) {
    return !control.goingOn();
}

// A private name beside `remote` on the server, for an upload not yet complete.
QString ServerTempName(const QString& remote) {
    const QString folder = ParentOf(remote);
    return (folder == QLatin1String("/") ? QString() : folder) + QStringLiteral("/.vlf") +
           QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
}

bool Exists(PaneSide& side, const QString& remote) {
    uint64_t size = 0;
    return side.connection->FileSize(ServerPath(remote), size);
}

} // namespace

bool ListFolder(PaneSide& side, const QString& folder, std::vector<ListedEntry>& out) {
    std::vector<FindRecord> records;
    if (!side.connection->ListFolder(ServerPath(WithoutTrailingSlash(folder)), records)) {
        QString text;
        if (side.connection->ErrorText(text) == -1) side.lost = true;
        return false;
    }
    for (FindRecord& r : records) {
        if (r.name == QLatin1String(".") || r.name == QLatin1String("..")) continue;
        if ((r.attributes & attr::Hidden) && !side.showHidden) continue;
        if ((r.attributes & attr::InRom) && !side.showInRom) continue;
        ListedEntry e;
        e.name = std::move(r.name);
        e.folder = r.isFolder();
        e.size = r.size;
        e.attributes = r.attributes;
        out.push_back(std::move(e));
    }
    return true;
}

bool DeleteFile(PaneSide& side, const QString& path, FileMessages& messages) {
    if (!side.usable()) return false;
    if (side.connection->DeleteFile(ServerPath(path))) return true;
    Report(side, messages);
    return false;
}

bool RemoveDir(PaneSide& side, const QString& path, FileMessages& messages) {
    if (!side.usable()) return false;
    if (side.connection->RemoveDir(ServerPath(path))) return true;
    Report(side, messages);
    return false;
}

bool MakeDir(PaneSide& side, const QString& path, FileMessages& messages) {
    if (!side.usable()) return false;
    if (side.connection->MakeDir(ServerPath(path))) return true;
    Report(side, messages);
    return false;
}

bool Download(const TransferControl& control, PaneSide& from, const QString& remote,
              const QString& local, bool failIfExists, FileMessages& messages) {
    if (failIfExists && platform::Exists(local) && !messages.Ask(kAskOverwrite.arg(local)))
        return false;
    // Into a private file beside the target, renamed over it only when complete.
    QString temp;
    const int slash = local.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash > 0 ? local.left(slash) : QStringLiteral("/");
    if (int rc = platform::MakeTempFile(folder, QStringLiteral(".vlf"), temp); rc != 0) {
        messages.Tell(platform::SystemErrorText(rc));
        return false;
    }
    const bool ok =
        from.connection->ReadFileTo(ServerPath(remote), temp, control.running, control.counter);
    if (!ok || Cancelled(control)) {
        platform::RemoveFile(temp);
        if (!ok && !Cancelled(control)) Report(from, messages);
        return false;
    }
    platform::SetNewFileMode(temp);
    if (int rc = platform::RenamePath(temp, local, true); rc != 0) {
        platform::RemoveFile(temp);
        messages.Tell(platform::SystemErrorText(rc));
        return false;
    }
    return true;
}

bool Upload(const TransferControl& control, PaneSide& to, const QString& local,
            const QString& remote, FileMessages& messages) {
    FtpConnection& conn = *to.connection;
    const bool existed = Exists(to, remote);
    if (!to.usable()) return false;
    if (existed && !messages.Ask(kAskOverwrite.arg(remote))) return false;
    // Under a private name first: a cut transfer never stands under the target's name.
    const QString temp = ServerTempName(ServerPath(remote));
    bool ok = conn.WriteFileFrom(local, temp, control.running, control.counter);
    // Tried even after a cut that marked the side lost: libcurl connects anew for each
    // command (a server refusing the rest of an upload looks like a lost connection to it).
    const auto dropTemp = [&] { conn.DeleteFile(temp); };
    if (!ok || Cancelled(control)) {
        const bool cancelled = Cancelled(control);
        if (!cancelled) Report(to, messages);
        dropTemp();
        return false;
    }
    bool placed = conn.Rename(temp, ServerPath(remote));
    // A server that will not rename over a file: the user agreed to replace it.
    if (!placed && existed && conn.DeleteFile(ServerPath(remote)))
        placed = conn.Rename(temp, ServerPath(remote));
    if (!placed) {
        Report(to, messages);
        dropTemp();
    }
    return placed;
}

bool CopyBetweenServers(const TransferControl& control, const QString& src, const QString& dst,
                        PaneSide& from, PaneSide& to, FileMessages& messages) {
    if (from.site == to.site && ServerPath(src) == ServerPath(dst)) {
        messages.Tell(kSameFileRefused.arg(dst));
        return false;
    }
    QString temp;
    if (int rc = platform::MakeTempFile(platform::TempFolder(), QStringLiteral("vlf"), temp);
        rc != 0) {
        messages.Tell(platform::SystemErrorText(rc));
        return false;
    }
    bool ok = Download(control, from, src, temp, false, messages);
    if (ok) {
        if (control.counter) control.counter->store(0);
        ok = Upload(control, to, temp, dst, messages);
    }
    platform::RemoveFile(temp); // whatever happened
    return ok;
}

bool MoveOnServer(const TransferControl& control, const QString& src, const QString& dst,
                  PaneSide& side, FileMessages& messages) {
    if (ServerPath(src) == ServerPath(dst)) {
        messages.Tell(kSameFileRefused.arg(dst));
        return false;
    }
    if (!control.goingOn()) return false;
    const bool existed = Exists(side, dst);
    if (!side.usable()) return false;
    if (existed && !messages.Ask(kAskOverwrite.arg(dst))) return false;
    FtpConnection& conn = *side.connection;
    if (conn.Rename(ServerPath(src), ServerPath(dst))) return true;
    if (existed && conn.DeleteFile(ServerPath(dst)) &&
        conn.Rename(ServerPath(src), ServerPath(dst)))
        return true;
    Report(side, messages);
    return false;
}

} // namespace velmar::ftpprim
