#pragma once
// The directory source of an FTP pane: one LIST of the folder through the pane's connection
// (either back end), handed out folders first, then the files that match the mask; or, to a
// consumer that orders them itself, each as it arrives.

#include "sources/DirSource.h"
#include "ftp/FtpConnection.h"

#include <QEvent>
#include <atomic>
#include <deque>

namespace velmar {

class InetFtpDirSource : public DirSource {
public:
    bool Open(const QString& path) override;
    EntryKind Next(FindRecord& out) override;
    // The entries as the server's answer brings them, each file matched against the mask.
    PushResult Push(const Take& take, const std::function<void()>& drop) override;

    // Borrows the pane's connection (none: the source lists nothing). `stop` ends a blocked
    // listing early.
    void SetConnection(FtpConnection* connection, const std::atomic<bool>* stop = nullptr);
    bool ownClient() const { return ownClient_; }

private:
    // Lists the folder once; on failure reports a ListingFailedEvent to the owner.
    // The one LIST of the folder the pattern names, each record to `each` as it comes.
    bool List(const FtpConnection::RecordSink& each);
    bool ListOnce();
    void ReportFailure();

    FtpConnection* connection_ = nullptr;
    const std::atomic<bool>* stop_ = nullptr;
    bool ownClient_ = false;
    QString pattern_;
    QString fileMask_; // the mask after the pattern's last slash
    bool matchAll_ = true;
    // Filled record by record as the listing arrives, folders apart from files, so each
    // phase walks only its own: a deque grows without copying what it holds into fresh
    // memory, which a large folder would pay for in page faults.
    std::deque<FindRecord> folders_;
    std::deque<FindRecord> files_;
    size_t position_ = 0;  // in the current phase's deque
    bool listed_ = false;
    bool ended_ = false;
};

// Registers the FTP kind with CreateDirSource.
void RegisterInetFtpDirSource();

} // namespace velmar
