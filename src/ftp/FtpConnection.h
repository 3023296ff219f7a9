#pragma once
// A pane's FTP connection, whichever back end made it: libcurl ("internet" side) or our own
// FtpClient (setting InternalFTP). Listing, transfers and the file primitives call only this.
//
// Paths are absolute server paths ("/" is the server's root as the log-in sees it, not the
// log-in folder); a backslash in a path is sent as a slash. Names are QStrings decoded with
// platform::DecodeName, so bytes that are not UTF-8 travel back to the server unchanged.
//
// One thread at a time uses a connection. A transfer stops between blocks when its running
// flag becomes 0. Every wait of either back end ends at once when the calling thread's cancel
// token (platform/Cancel.h) fires or Abort() is called from another thread.
//
// Options (time-outs) come in when the connection is made; nothing here reads the settings.

#include "ftp/FtpOptions.h"
#include "ftp/FtpProtocol.h"
#include "ftp/FtpResult.h"
#include "trust/PeerIdentity.h"
#include "platform/FindRecord.h"

#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace velmar {

struct FtpLogin {
    QString host;
    int port = 21; // 0 means the protocol's port
    QString user;  // empty: anonymous (SFTP: this machine's user)
    QString password;
    // Our own client speaks plain FTP only: any other protocol connects through libcurl.
    FtpProtocol protocol = FtpProtocol::Ftp;
    // Initialised here so that a log-in written as {host, port, user, password} stays whole.
    QByteArray pinnedCertificate{}; // TLS: the certificate the user trusted (SHA-256, hex)
    QString knownHosts{};           // SFTP: empty for ~/.ssh/known_hosts
    QString sshDir{};               // SFTP: the user's keys; empty for ~/.ssh
};

class FtpConnection {
public:
    // Gets each block read; false stops the transfer as failed (a local write error).
    using BlockSink = std::function<bool(const char* data, size_t size)>;
    // Fills up to `capacity` bytes; returns the count, 0 at the end, -1 on a read error.
    using BlockSource = std::function<int64_t(char* buffer, size_t capacity)>;

    virtual ~FtpConnection() = default;

    // True for our own FtpClient, false for libcurl.
    virtual bool IsOwnClient() const = 0;

    // The entries of a folder ("." and ".." left out), in the server's order, each handed to
    // `take` as soon as it is read (`take` may move from it). A large listing is parsed on a
    // thread beside the one receiving it: `take` runs on one thread at a time, not always
    // the caller's, and never after ListFolder returns. On failure the entries taken so far
    // are the caller's to drop.
    using RecordSink = std::function<void(FindRecord&)>;
    virtual bool ListFolder(const QString& folder, const RecordSink& take) = 0;
    // The same into a vector, empty after a failure.
    bool ListFolder(const QString& folder, std::vector<FindRecord>& records);

    // Server file to `sink`, block by block; adds each block to `counter`. Returns false when
    // it failed or when `running` became 0 before the end.
    virtual bool ReadFile(const QString& remote, const BlockSink& sink,
                          const std::atomic<int>* running, std::atomic<uint64_t>* counter) = 0;
    // Server file written from `source` (STOR), block by block, counted.
    virtual bool WriteFile(const QString& remote, const BlockSource& source,
                           const std::atomic<int>* running, std::atomic<uint64_t>* counter) = 0;
    // Server file into a local file, made anew (an existing one is replaced). A failed or
    // cancelled download leaves the local file as it was (none when there was none).
    bool ReadFileTo(const QString& remote, const QString& local, const std::atomic<int>* running,
                    std::atomic<uint64_t>* counter);
    bool WriteFileFrom(const QString& local, const QString& remote,
                       const std::atomic<int>* running, std::atomic<uint64_t>* counter);

    virtual bool DeleteFile(const QString& remote) = 0;
    virtual bool MakeDir(const QString& remote) = 0;
    virtual bool RemoveDir(const QString& remote) = 0;
    virtual bool Rename(const QString& from, const QString& to) = 0;
    virtual bool FileSize(const QString& remote, uint64_t& size) = 0;
    // The modification time of a server file (MDTM), seconds since 1970, UTC.
    virtual bool ModifiedTime(const QString& remote, int64_t& seconds) = 0;
    // Sets it (MFMT); false where the server has no such command.
    virtual bool SetModifiedTime(const QString& remote, int64_t seconds) = 0;

    // Ends a blocked operation of another thread at once (it then fails). Safe from any
    // thread; the next operation started clears it.
    virtual void Abort() = 0;
    // While set, every operation watches `stop` and ends soon (failing, with no error to show)
    // once it reads true: how a listing thread's stop flag ends a blocked LIST.
    virtual void SetStopFlag(const std::atomic<bool>* stop) = 0;

    // How the last operation ended (Ok after a success), with the text the user reads.
    virtual FtpStatusInfo LastStatus() const = 0;
    // The last operation lost the connection: the owner drops it.
    bool IsLost() const { return LastStatus().lost(); }

protected:
    // The last operation failed on our side (a local file, errno `error`), not the server's.
    virtual void LocalFailure(int error) = 0;
};

// Connects and logs in through the chosen back end. On failure: null, and `status` says why;
// `peer` (when given) gets what a secure peer showed of itself: its state says whether it was
// refused as unknown (to be asked about) or changed.
std::unique_ptr<FtpConnection> ConnectFtp(bool ownClient, const FtpLogin& login,
                                          const FtpOptions& options, FtpStatusInfo& status,
                                          trust::PeerIdentity* peer = nullptr);

namespace platform {
class CancelToken;
}

// A connect made on a thread of its own, so that the window's thread never waits for a
// server: the caller keeps its event loop running until the result is ready. `cancel`
// (optional, fired from any thread, outliving the connect) ends its socket waits at once.
struct FtpConnectResult {
    std::unique_ptr<FtpConnection> connection; // null on failure
    FtpStatusInfo status;
    trust::PeerIdentity peer;
};
std::future<FtpConnectResult> ConnectFtpBeside(bool ownClient, const FtpLogin& login,
                                               const FtpOptions& options,
                                               platform::CancelToken* cancel = nullptr);

// A time as MDTM gives it and MFMT takes it: "YYYYMMDDHHMMSS", UTC. The reading takes
// a reply's text after the code ("20240102030405" or with ".sss" after it); false for
// anything else.
bool ParseFtpTime(const QByteArray& text, int64_t& seconds);
QByteArray FtpTimeText(int64_t seconds);

// Every backslash of a path as a slash: the form a server path travels in.
QString ServerPath(const QString& path);

} // namespace velmar
