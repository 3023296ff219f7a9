#pragma once
// Our own FTP client: one control connection, passive data connections, every operation
// blocking the calling thread for at most the time-outs it was made with. Bytes come from and
// go to the caller's callbacks (the client owns no local file). Failures are results; the
// reason is the status (code, message). One thread at a time uses a client; Abort() may come
// from any thread, and so may the calling thread's cancel token (platform/Cancel.h).

#include "ftp/FtpOptions.h"
#include "ftp/FtpResult.h"
#include "ftp/ListParser.h"
#include "platform/Cancel.h"
#include "ftp/client/ReplyReader.h"
#include "platform/FindRecord.h"
#include "platform/TimedSocket.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

namespace velmar::ftp {

// The socket layer lives in the platform, shared with the network tools.
using platform::LastSocketError;
using platform::SocketErrorText;
using platform::TimedSocket;
namespace sockerr = platform::sockerr;

// The command table; codes 1 to 17 take an argument, 18 and 20 may.
enum class FtpCommand : int {
    None = 0,
    CWD,
    MKD,
    RMD,
    XMKD,
    XRWD,
    XCWD,
    PASS,
    PORT,
    RETR,
    TYPE,
    USER,
    MODE,
    DELE,
    STOR,
    RNFR,
    RNTO,
    APPE,
    NLST,
    ABOR,
    LIST,
    PWD,
    XPWD,
    PASV,
    QUIT,
    HELP,
    SYST,
    STOU,
    NOOP,
    CDUP,
};
const char* CommandName(FtpCommand code);

// From reply lines (outside input): the folder of a PWD answer, the text between the first
// pair of double quotes, a doubled quote inside standing for one (empty without a closing
// quote); and a word of a reply such as SYST's, from the fifth character up to the first of
// `stops` or the end.
QByteArray QuotedPath(const QByteArray& line);
QByteArray WordAfterCode(const QByteArray& line, const char* stops);

// The client's status: the typed result, the server's reply behind it, and the text shown.
using FtpStatus = FtpStatusInfo;

// Transfer types as TYPE sends them: A, I, E.
namespace type {
constexpr int Ascii = 0;
constexpr int Image = 1;
constexpr int Ebcdic = 2;
} // namespace type

class FtpClient {
public:
    enum TimeoutIndex {
        ConnectTimeout = 0,
        SpareTimeout = 1,
        ControlSendTimeout = 2,
        ControlReceiveTimeout = 3,
        DataSendTimeout = 4,
        DataReceiveTimeout = 5,
    };
    // Bytes per receive or send of a transfer: progress and the continue flag are seen
    // once per block, and the blocks are large enough for full loopback speed.
    static constexpr size_t kBlockSize = 256 * 1024;
    static constexpr size_t kUploadBlockSize = 64 * 1024; // see Upload
    static constexpr int kMaxArgument = 127;              // bytes sent, after encoding
    static constexpr int kMaxRaw = 253;
    // The most a listing takes from a server.
    static constexpr uint64_t kMaxInMemory = uint64_t(256) << 20;

    explicit FtpClient(const FtpOptions& options = {});
    virtual ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    const FtpStatus& Status() const { return status_; }
    FtpResult Result() const { return status_.result; }
    const QString& StatusMessage() const { return status_.text; }

    // Ends the operation in progress soon, from any thread: its socket waits return at once
    // (the control connection is then dropped, as after a lost connection). Stays in force
    // until ClearAbort, which the next operation's owner calls on its own thread.
    void Abort() { abort_.Cancel(); }
    void ClearAbort() { abort_.Reset(); }

    // Connection
    bool Connect(const QString& host, const QString& user, const QString& password, int port);
    bool Disconnect();
    bool IsConnected() const { return connected_; }
    QString GetSystemType() const;
    int Port() const { return port_; }

    // Commands and replies
    int SendCommand(FtpCommand code);
    int SendCommand(FtpCommand code, const QString& argument);
    int SendRaw(const QString& text);
    bool ReadReply(std::initializer_list<int> expected, bool queueOnly = false);

    // Single-command operations
    QString GetCurrentDir();
    bool ChangeDir(const QString& path);
    bool MakeDir(const QString& name);
    bool RemoveDir(const QString& name);
    bool DeleteFile(const QString& name);
    bool Rename(const QString& from, const QString& to);
    // MDTM and MFMT: a file's modification time, seconds since 1970, UTC.
    bool ModifiedTime(const QString& name, int64_t& seconds);
    bool SetModifiedTime(const QString& name, int64_t seconds);
    bool SetType(int transferType);
    bool Noop();
    const QString& CurrentFolder() const { return currentFolder_; }
    const QString& StartFolder() const { return startFolder_; }
    int CurrentType() const { return currentType_; }

    // Listings. The sink form hands each record to `take` as soon as it is parsed (`take`
    // may move from it), so a large listing is never copied on its way; on failure the
    // records already taken are the caller's to drop.
    using RecordSink = std::function<void(FindRecord&)>;
    bool ListDir(const RecordSink& take, const QString& path);
    bool ListDir(std::vector<FindRecord>& records, const QString& path);
    bool GetFileInfo(const QString& name, FindRecord& record);
    virtual bool ParseListLine(std::string_view line, FindRecord& record);

    // Data connection and transfers
    bool OpenPassive();
    void CloseData();
    // Gets each block read; false stops the transfer as failed (the caller's write error).
    using BlockSink = std::function<bool(const char* data, size_t size)>;
    // Fills up to `capacity` bytes; the count, 0 at the end, -1 on the caller's read error.
    using BlockSource = std::function<int64_t(char* buffer, size_t capacity)>;
    // RETR in image type, every block to `sink`. `bytesDone` (optional) grows by every block;
    // the transfer stops between two blocks once `continueFlag` (optional) clears. True only
    // when every byte arrived and the server confirmed it.
    bool Retrieve(const QString& remote, const BlockSink& sink,
                  const std::atomic<int>* continueFlag = nullptr,
                  std::atomic<uint64_t>* bytesDone = nullptr);
    // STOR (STOU when `remote` is empty) in image type from `source`. An upload that did not
    // end whole is reset, so the server never takes a cut file for a complete one.
    bool Store(const QString& remote, const BlockSource& source,
               const std::atomic<int>* continueFlag = nullptr,
               std::atomic<uint64_t>* bytesDone = nullptr);

protected:
    void ClearStatus() { status_ = {}; }
    void SetStatus(FtpResult result, const QString& text);
    // A socket call failed with `code`: cancelled, timed out or lost.
    void SetSocketError(int code);
    static FtpStatus SocketFailure(int code);
    void FatalReset();

private:
    bool RequireName(const QString& name);
    bool RequireLogin();
    int SendLine(const QByteArray& line);
    // `verb` and the encoded argument; refused (0) when the argument cannot be sent.
    int SendVerb(const QByteArray& verb, const QString& argument);
    bool ReadFromServer(std::initializer_list<int> expected);
    bool WaitDataReply() { return ReadReply({150, 125}); }
    // The newest reply, arrived at or after `since` (ReplyQueue::NextSerial before the
    // command went out), has this code; it is consumed.
    bool AnsweredWith(int code, uint64_t since);
    bool SendWithArgument(FtpCommand code, const QString& argument);
    enum class DataEnd { Closed, Wanted, Failed };
    // Reads the data connection to its end into dataBuffer_. Failed (status set) on a
    // time-out, an error, a cancel or more than kMaxInMemory.
    DataEnd ReadDataToMemory();
    // False (status set) when the listing did not arrive whole.
    bool ReadListing(const RecordSink& take);
    // False when cancelled (failure left empty) or failed (failure says why).
    bool Upload(const BlockSource& source, const std::atomic<int>* continueFlag,
                std::atomic<uint64_t>* bytesDone, FtpStatus& failure);
    bool FinishUpload(bool complete, const FtpStatus& failure, std::initializer_list<int> confirm);

    FtpStatus status_;
    uint8_t dataIp_[4] = {0, 0, 0, 0};
    uint16_t dataPort_ = 0;
    TimedSocket control_;
    TimedSocket data_;
    std::array<int, 6> timeouts_{};
    int port_ = 21;
    QByteArray systemType_;
    ControlBuffer controlBuffer_;
    ReplyQueue replies_;
    QByteArray dataBuffer_;
    uint64_t dataCount_ = 0;
    bool connected_ = false;
    int currentType_ = type::Ascii;
    QString currentFolder_;
    QString startFolder_;
    bool linger_ = false;
    platform::CancelToken abort_; // watched by both sockets' waits
    std::vector<char> block_;
    Reply consumed_;                       // the reply the last successful ReadReply took
    ListClock clock_ = CurrentListClock(); // "now" for the listing in progress
};

// A logged-in client, or nothing (port 0 means 21).
std::unique_ptr<FtpClient> ConnectClient(const QString& host, int port, const QString& user,
                                         const QString& password, const FtpOptions& options = {});

} // namespace velmar::ftp
