#pragma once
// The internet layer over libcurl: the process-wide state (global initialisation and one
// share object for host-name lookups) and an FTP connection bound to a host, port, user and
// password whose control connection stays open between operations (libcurl keeps it in the
// easy handle). Passive data connections. Paths are server bytes, absolute ("/dir/file").

#include "ftp/FtpOptions.h"
#include "ftp/FtpProtocol.h"
#include "trust/PeerIdentity.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velmar::ftp {

// Opens the process-wide internet state once; false when libcurl cannot be set up.
bool OpenInternet();
bool InternetIsOpen();
// At exit, after every connection is gone.
void CloseInternet();
// libcurl's own text for one of its codes.
QString CurlErrorText(int code);

// The URL path naming the absolute server path `path`: every byte of every name is
// percent-encoded and the first slash is sent as "%2F", so the path is read from the
// server's root rather than from the log-in folder. A folder ends in "/".
QByteArray EncodeFtpUrlPath(const QByteArray& path);

// How a secure connection is made and checked.
struct CurlSecurity {
    FtpProtocol protocol = FtpProtocol::Ftp;
    // TLS: the SHA-256 (hex) of the certificate the user trusted for this host and port. Empty:
    // only a certificate the system's store vouches for, for this host name, is accepted.
    QByteArray pinnedCertificate;
    QString knownHosts; // SFTP: the host keys checked against (empty: ~/.ssh/known_hosts)
    QString sshDir;     // SFTP: the user's key files (empty: ~/.ssh)
};

// The path of an SFTP URL for an absolute server path: every byte of every name
// percent-encoded, read from the root. A folder ends in "/".
QByteArray EncodeSftpUrlPath(const QByteArray& path);
// An SFTP quote command's argument: quoted, with its quotes and backslashes escaped.
QByteArray SftpQuoted(const QByteArray& path);

class CurlFtp {
public:
    // Results: 0 or a libcurl code (CURLcode); kStopped when the stop flag ended it.
    static constexpr int kStopped = -2;

    using Sink = std::function<bool(const char* data, size_t size)>;
    using Source = std::function<int64_t(char* buffer, size_t capacity)>;

    CurlFtp(const QString& host, int port, const QByteArray& user, const QByteArray& password,
            const FtpOptions& options, const CurlSecurity& security = {});
    ~CurlFtp();
    CurlFtp(const CurlFtp&) = delete;
    CurlFtp& operator=(const CurlFtp&) = delete;

    // Connects and logs in (goes to "/"), keeping the connection for what follows.
    int Login();
    // The LIST answer of a folder, handed to `sink` as it arrives.
    int List(const QByteArray& folder, const Sink& sink);
    int Retrieve(const QByteArray& path, const Sink& sink);
    int Store(const QByteArray& path, const Source& source);
    // Raw commands in order (DELE, MKD, RNFR + RNTO ...), each needing a 2xx or 3xx answer.
    int Commands(const std::vector<QByteArray>& commands);
    int Size(const QByteArray& path, uint64_t& size);
    // MDTM through libcurl's file time; CURLE_REMOTE_FILE_NOT_FOUND when the server gave none.
    int ModifiedTime(const QByteArray& path, int64_t& seconds);

    // Watched by every operation: when it reads true the operation ends with kStopped.
    void SetStopFlag(const std::atomic<bool>* stop) { stop_.store(stop); }
    void SetRunningFlag(const std::atomic<int>* running) { running_.store(running); }
    // Ends the operation in progress soon, from any thread; cleared when the next starts.
    void Abort() { abort_.store(true); }

    // The server's reply lines to the last command sent ("\r\n" kept).
    QByteArray LastReply() const { return lastReply_; }
    // What the peer showed of its identity on the last connection made (TLS or SSH); its
    // state says why it was refused when the connection was.
    const trust::PeerIdentity& Peer() const { return peer_; }

private:
    struct Handle;
    void LogOut();
    int Perform(const QByteArray& urlPath);
    int Head(const QByteArray& path, int info, int64_t& value); // info: a CURLINFO_*_T
    void UseLargeBuffers();
    bool ShouldStop() const;
    static int OnProgress(void* self, int64_t, int64_t, int64_t, int64_t);
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static size_t OnRead(char* data, size_t size, size_t count, void* self);
    static int OnDebug(void*, int type, char* data, size_t size, void* self);
    static int OnSslContext(void*, void* sslContext, void* self);
    static int OnHostKey(void*, const void* knownKey, const void* foundKey, int match, void* self);
    static int OnVerify(int preverified, void* storeContext);
    QByteArray UrlPath(const QByteArray& path) const;
    void SetSecurity(void* easy);
    int Finish(int rc);

    std::unique_ptr<Handle> h_;
    QByteArray base_; // "ftp://host:port"
    QByteArray user_;
    QByteArray password_;
    FtpOptions timeouts_;
    const Sink* sink_ = nullptr;
    const Source* source_ = nullptr;
    bool sinkRefused_ = false;
    std::atomic<const std::atomic<bool>*> stop_{nullptr};
    std::atomic<const std::atomic<int>*> running_{nullptr};
    std::atomic<bool> abort_{false};
    bool stopped_ = false;
    bool quitting_ = false;
    QByteArray lastReply_;
    CurlSecurity security_;
    QString host_;
    int port_ = 0;
    trust::PeerIdentity peer_;
};

} // namespace velmar::ftp
